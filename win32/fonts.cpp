#include "win32/fonts.h"

#include "win32/resources.h"

namespace zephran::win32 {

namespace {

struct Search {
  const wchar_t* family = nullptr;
  bool found = false;
};

int CALLBACK OnFamily(const LOGFONTW* font, const TEXTMETRICW* /*metrics*/, DWORD /*type*/,
                      LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  if (::lstrcmpiW(font->lfFaceName, search->family) == 0) {
    search->found = true;
    return 0;
  }
  return 1;
}

}  // namespace

bool HasFamily(const wchar_t* family) {
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  ::lstrcpynW(wanted.lfFaceName, family, LF_FACESIZE);
  Search search{family, false};
  HDC screen = ::GetDC(nullptr);
  ::EnumFontFamiliesExW(screen, &wanted, OnFamily, reinterpret_cast<LPARAM>(&search), 0);
  ::ReleaseDC(nullptr, screen);
  return search.found;
}

Fonts::Fonts(HINSTANCE instance)
    : comic_(Choose(instance, L"Comic Sans MS", L"Comic Neue",
                    {ZEPHRAN_FONT_COMIC_BOLD, ZEPHRAN_FONT_COMIC_BOLD_ITALIC})),
      sans_(Choose(instance, L"MS Sans Serif", L"Liberation Sans",
                   {ZEPHRAN_FONT_SANS_REGULAR, ZEPHRAN_FONT_SANS_BOLD})) {}

Fonts::~Fonts() {
  for (const auto& [key, font] : made_) {
    ::DeleteObject(font);
  }
  for (HANDLE handle : loaded_) {
    ::RemoveFontMemResourceEx(handle);
  }
}

Fonts::Choice Fonts::Choose(HINSTANCE instance, const wchar_t* system_family,
                            const wchar_t* carried_family, std::initializer_list<int> resources) {
  if (HasFamily(system_family)) {
    return {system_family, false};
  }
  // Private to this process, read where the resource lies in the program.
  for (const int id : resources) {
    HRSRC resource = ::FindResourceW(instance, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));
    HGLOBAL data = resource != nullptr ? ::LoadResource(instance, resource) : nullptr;
    void* bytes = data != nullptr ? ::LockResource(data) : nullptr;
    DWORD faces = 0;
    HANDLE handle =
        bytes != nullptr
            ? ::AddFontMemResourceEx(bytes, ::SizeofResource(instance, resource), nullptr, &faces)
            : nullptr;
    if (handle != nullptr) {
      loaded_.push_back(handle);
    }
  }
  return {carried_family, true};
}

HFONT Fonts::Get(const window::Font& font) const {
  const auto key = std::make_tuple(font.face, font.pixel_size, font.style, font.underline);
  if (const auto found = made_.find(key); found != made_.end()) {
    return found->second;
  }
  const bool bold = font.style != window::FontStyle::kRegular;
  const bool italic = font.style == window::FontStyle::kBoldItalic;
  // A negative height is the characters' own height, without the leading
  // above them: the font's pixel size.
  HFONT made =
      ::CreateFontW(-font.pixel_size, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic, font.underline,
                    FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                    DEFAULT_PITCH | FF_DONTCARE, Family(font.face).c_str());
  made_.emplace(key, made);
  return made;
}

const std::wstring& Fonts::Family(window::Face face) const {
  return face == window::Face::kComic ? comic_.family : sans_.family;
}

bool Fonts::Carried(window::Face face) const {
  return face == window::Face::kComic ? comic_.carried : sans_.carried;
}

}  // namespace zephran::win32
