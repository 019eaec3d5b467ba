#include "window/description.h"

namespace zephran::window {

namespace {

constexpr Colour kCaptionGrey{0xE0E0E0};
constexpr Colour kLinkCyan{0x80FFFF};
constexpr Colour kListGreen{0x00FF00};

constexpr Font kCaptionFont{Face::kComic, 21, FontStyle::kBoldItalic};
constexpr Font kButtonFont{Face::kComic, 21, FontStyle::kBold};
constexpr Font kListFont{Face::kSans, 13, FontStyle::kBold};
constexpr Font kSmallFont{Face::kSans, 11, FontStyle::kRegular};
constexpr Font kLinkFont{Face::kSans, 11, FontStyle::kRegular, /*underline=*/true};

// A caption and the control it names share one tooltip.
constexpr std::string_view kResolutionTip = "Select the resolution of the game";
constexpr std::string_view kWindowedTip =
    "Enable windowed mode (a black edge appears around the screen)";
constexpr std::string_view kCinemaTip = "Enable cinemascope feature (looks like 16/9)";
constexpr std::string_view kSubTitlesTip = "Enable sub-titles";
constexpr std::string_view kColourTip = "Select color depth";

constexpr std::array<std::string_view, 4> kResolutionItems{"640x480", "512x384", "400x300",
                                                           "320x240"};
constexpr std::array<std::string_view, 2> kColourItems{"16 bits", "32 bits"};

constexpr ControlDescription List(ControlId id, std::string_view name, Box box,
                                  std::string_view tooltip, std::string_view accessible_name,
                                  std::span<const std::string_view> items) {
  return {id,     name,    ControlKind::kList, box,  {}, kListFont, kListGreen,
          kBlack, tooltip, accessible_name,    items};
}

constexpr ControlDescription CheckBox(ControlId id, std::string_view name, Box box,
                                      std::string_view tooltip, std::string_view accessible_name) {
  return {id, name, ControlKind::kCheckBox, box, {}, {}, {}, kBlack, tooltip, accessible_name, {}};
}

constexpr ControlDescription Label(ControlId id, std::string_view name, Box box,
                                   std::string_view text, Font font, Colour colour,
                                   std::string_view tooltip, std::string_view accessible_name,
                                   LabelRole role = LabelRole::kText) {
  return {id, name,    ControlKind::kLabel, box, text, font, colour,
          {}, tooltip, accessible_name,     {},  role};
}

constexpr ControlDescription Caption(ControlId id, std::string_view name, Box box,
                                     std::string_view text, std::string_view tooltip,
                                     std::string_view accessible_name) {
  return Label(id, name, box, text, kCaptionFont, kCaptionGrey, tooltip, accessible_name);
}

using enum ControlId;

constexpr WindowDescription kMainPage{
    "Zephran Loader+",
    302,
    299,
    kBlack,
    {{
        List(ListCol, "ListCol", {144, 180, 73, 24}, kColourTip, "Colors", kColourItems),
        CheckBox(ModeFenet, "ModeFenet", {32, 62, 27, 25}, kWindowedTip, "Windowed mode"),
        CheckBox(ModeCinema, "ModeCinema", {32, 102, 27, 25}, kCinemaTip, "Cinemascope mode"),
        CheckBox(ModeSousT, "ModeSousT", {32, 142, 27, 25}, kSubTitlesTip, "Sub-titles"),
        List(ListSlot, "ListSlot", {136, 264, 129, 24}, "Select a saved game", "Saved game", {}),
        List(ListChoixResol, "ListChoixResol", {168, 27, 81, 24}, kResolutionTip, "Resolution",
             kResolutionItems),
        Caption(TextCol, "TextCol", {56, 176, 105, 33}, "Colors :", kColourTip, "Colors"),
        Label(Lien_txt, "Lien_txt", {168, 0, 65, 17}, "Read-me.txt", kLinkFont, kLinkCyan,
              "What you must know", "Read-me.txt", LabelRole::kLink),
        // UTF-8 bytes for the copyright sign, whatever the compiler's
        // execution character set.
        Label(beta, "beta", {48, 0, 121, 17}, "\xC2\xA9 2026 Zephran fans", kSmallFont, kWhite, {},
              "\xC2\xA9 2026 Zephran fans"),
        Label(BoutLancerNouveau, "BoutLancerNouveau", {96, 220, 105, 33}, "New game", kButtonFont,
              kBlack, "Launch a new game", "New game", LabelRole::kButton),
        Label(BoutLoad, "BoutLoad", {64, 260, 65, 33}, "Load :", kButtonFont, kSystemButtonText,
              "Load the game you've selected", "Load", LabelRole::kButton),
        Caption(TexteST, "TexteST", {72, 140, 145, 25}, "Sub-titles", kSubTitlesTip, "Sub-titles"),
        Caption(TexteCinema, "TexteCinema", {72, 100, 217, 33}, "Cinemascope mode", kCinemaTip,
                "Cinemascope mode"),
        Caption(TextFenetre, "TextFenetre", {72, 60, 177, 33}, "Windowed mode", kWindowedTip,
                "Windowed mode"),
        Caption(TextResol, "TextResol", {32, 24, 129, 33}, "Resolution :", kResolutionTip,
                "Resolution"),
    }},
    {TextCol, Lien_txt, beta, BoutLancerNouveau, BoutLoad, TexteST, TexteCinema, TextFenetre,
     TextResol, ListCol, ModeFenet, ModeCinema, ModeSousT, ListSlot, ListChoixResol},
    {ListChoixResol, ListSlot, ModeSousT, ModeCinema, ModeFenet, ListCol},
    ModeFenet,
    kWhite,
    kBlack,
};

// The table is indexed by ControlId.
constexpr bool InIdOrder() {
  for (int i = 0; i < kControlCount; ++i) {
    if (static_cast<int>(kMainPage.controls[i].id) != i) {
      return false;
    }
  }
  return true;
}
static_assert(InIdOrder());

}  // namespace

const WindowDescription& MainPageDescription() {
  return kMainPage;
}

std::optional<ControlId> CaptionOf(ControlId control) {
  const ControlDescription& named = Describe(control);
  if (named.kind == ControlKind::kLabel) {
    return std::nullopt;
  }
  for (const ControlDescription& label : kMainPage.controls) {
    if (label.kind == ControlKind::kLabel && label.label_role == LabelRole::kText &&
        label.accessible_name == named.accessible_name) {
      return label.id;
    }
  }
  return std::nullopt;
}

}  // namespace zephran::window
