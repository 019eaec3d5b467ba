#include "win32/fonts.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <utility>

#include "win32/resources.h"

namespace zephran::win32 {

namespace {

struct Search {
  const wchar_t* family = nullptr;
  bool found = false;
  DWORD type = 0;
};

int CALLBACK OnFamily(const LOGFONTW* font, const TEXTMETRICW* /*metrics*/, DWORD type,
                      LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  if (::lstrcmpiW(font->lfFaceName, search->family) == 0) {
    search->found = true;
    search->type = type;
    return 0;
  }
  return 1;
}

// The family by exactly this name, not by a substitute.
Search FindFamily(const wchar_t* family) {
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  ::lstrcpynW(wanted.lfFaceName, family, LF_FACESIZE);
  Search search{family, false, 0};
  const WindowDc screen(nullptr);
  ::EnumFontFamiliesExW(screen.Get(), &wanted, OnFamily, reinterpret_cast<LPARAM>(&search), 0);
  return search;
}

constexpr DWORD Tag(char a, char b, char c, char d) {
  // GetFontData takes a table's tag as it lies in memory, first byte lowest.
  return static_cast<DWORD>(a) | static_cast<DWORD>(b) << 8 | static_cast<DWORD>(c) << 16 |
         static_cast<DWORD>(d) << 24;
}

// A big-endian 16-bit field of a font table, or nullopt when the table or
// the field is missing.
std::optional<int> TableField(HDC dc, DWORD table, DWORD offset, bool is_signed) {
  std::array<unsigned char, 2> bytes{};
  if (::GetFontData(dc, table, offset, bytes.data(), 2) != 2) {
    return std::nullopt;
  }
  const auto value = static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
  return is_signed ? static_cast<int>(static_cast<std::int16_t>(value)) : static_cast<int>(value);
}

}  // namespace

int TextTopShift(HDC dc) {
  TEXTMETRICW metrics{};
  if (::GetTextMetricsW(dc, &metrics) == FALSE) {
    return 0;
  }
  const std::optional<int> units = TableField(dc, Tag('h', 'e', 'a', 'd'), 18, false);
  const std::optional<int> selection = TableField(dc, Tag('O', 'S', '/', '2'), 62, false);
  // The OS/2 table's typographic ascent where the face asks for it
  // (USE_TYPO_METRICS), else the horizontal header's.
  constexpr int kUseTypoMetrics = 0x80;
  const std::optional<int> ascent = selection && (*selection & kUseTypoMetrics) != 0
                                        ? TableField(dc, Tag('O', 'S', '/', '2'), 68, true)
                                        : TableField(dc, Tag('h', 'h', 'e', 'a'), 4, true);
  if (!units || *units == 0 || !ascent || *ascent <= 0) {
    return 0;
  }
  const int pixels = metrics.tmHeight - metrics.tmInternalLeading;
  const int wanted = static_cast<int>(std::lround(static_cast<double>(*ascent) * pixels / *units));
  return wanted - metrics.tmAscent;
}

bool HasFamily(const wchar_t* family) {
  return FindFamily(family).found;
}

Fonts::Fonts(HINSTANCE instance)
    : instance_(instance),
      comic_(Choose(L"Comic Sans MS", L"Comic Neue",
                    {ZEPHRAN_FONT_COMIC_BOLD, ZEPHRAN_FONT_COMIC_BOLD_ITALIC})),
      sans_(Choose(L"MS Sans Serif", L"Liberation Sans",
                   {ZEPHRAN_FONT_SANS_REGULAR, ZEPHRAN_FONT_SANS_BOLD})) {}

Fonts::Choice Fonts::Choose(const wchar_t* system_family, const wchar_t* carried_family,
                            std::initializer_list<int> resources) const {
  if (const Search found = FindFamily(system_family); found.found) {
    return {system_family, (found.type & RASTER_FONTTYPE) == 0};
  }
  // Private to this process, read where the resource lies in the program.
  for (const int id : resources) {
    HRSRC resource = ::FindResourceW(instance_, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));
    HGLOBAL data = resource != nullptr ? ::LoadResource(instance_, resource) : nullptr;
    void* bytes = data != nullptr ? ::LockResource(data) : nullptr;
    DWORD faces = 0;
    HANDLE handle =
        bytes != nullptr
            ? ::AddFontMemResourceEx(bytes, ::SizeofResource(instance_, resource), nullptr, &faces)
            : nullptr;
    // A face that fails to load leaves the system's substitute: the text
    // still shows, in another face.
    if (handle != nullptr) {
      loaded_.emplace_back(handle);
    }
  }
  return {carried_family, true};
}

HFONT Fonts::Get(const window::Font& font, const Scale& scale) const {
  return Make(Family(font.face, scale), scale.Px(font.pixel_size), font.style, font.underline);
}

ScaledFace Fonts::Face(const window::Font& font, const Scale& scale) const {
  const HFONT base = Get(font, Scale());
  ScaledFace made{base, base, nullptr, 0, font.pixel_size, font.underline};
  if (scale == Scale()) {
    return made;
  }
  // The nearest whole size, a half rounded down: the system draws a face a
  // shade heavier than the Qt window does.
  const int nearest =
      (2 * font.pixel_size * scale.Dpi() + Scale::kBaseDpi - 1) / (2 * Scale::kBaseDpi);
  const std::wstring& family = Family(font.face, scale);
  made.scaled = Make(family, nearest, font.style, false);
  const Key key{family, 0, font.style, false};
  auto found = design_sizes_.find(key);
  if (found == design_sizes_.end()) {
    // The em square of an outline face, in its design units.
    const MemoryDc dc = MakeMemoryDc(nullptr, "a drawing surface");
    const Selection in(dc.Get(), made.scaled);
    OUTLINETEXTMETRICW metrics{};
    metrics.otmSize = sizeof metrics;
    const int size = ::GetOutlineTextMetricsW(dc.Get(), sizeof metrics, &metrics) != 0
                         ? static_cast<int>(metrics.otmEMSquare)
                         : 0;
    found = design_sizes_.emplace(key, size).first;
  }
  if (found->second > 0) {
    made.design = Make(family, found->second, font.style, false);
    made.design_size = found->second;
  }
  return made;
}

HFONT Fonts::Make(const std::wstring& family, int pixel_size, window::FontStyle style,
                  bool underline) const {
  const Key key{family, pixel_size, style, underline};
  if (const auto found = made_.find(key); found != made_.end()) {
    return found->second.Get();
  }
  const bool bold = style != window::FontStyle::kRegular;
  const bool italic = style == window::FontStyle::kBoldItalic;
  // A negative height is the characters' own height, without the leading
  // above them: the font's pixel size.
  Font made(::CreateFontW(-pixel_size, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic, underline,
                          FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                          DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, family.c_str()));
  const HFONT handle = Checked(made.Get(), "a font");
  made_.emplace(key, std::move(made));
  return handle;
}

int Fonts::TextShift(const window::Font& font) const {
  const Key key{Family(font.face), font.pixel_size, font.style, font.underline};
  if (const auto found = shifts_.find(key); found != shifts_.end()) {
    return found->second;
  }
  const HFONT handle = Get(font, Scale());
  const MemoryDc dc = MakeMemoryDc(nullptr, "a drawing surface");
  const Selection in(dc.Get(), handle);
  const int shift = TextTopShift(dc.Get());
  shifts_.emplace(key, shift);
  return shift;
}

const std::wstring& Fonts::Family(window::Face face, const Scale& scale) const {
  if (face == window::Face::kComic) {
    return comic_.family;
  }
  if (sans_.outlines || scale == Scale()) {
    return sans_.family;
  }
  if (!outline_sans_) {
    outline_sans_ = Choose(L"Microsoft Sans Serif", L"Liberation Sans",
                           {ZEPHRAN_FONT_SANS_REGULAR, ZEPHRAN_FONT_SANS_BOLD});
  }
  return outline_sans_->family;
}

}  // namespace zephran::win32
