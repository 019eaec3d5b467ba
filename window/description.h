#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace zephran::window {

// The launcher's one window as data: what every toolkit window builds, and
// the only place its look is written down. Sizes are client-area pixels at
// 96 dots per inch.

// The fifteen controls, in the order the window holds them.
enum class ControlId {
  ListCol,
  ModeFenet,
  ModeCinema,
  ModeSousT,
  ListSlot,
  ListChoixResol,
  TextCol,
  Lien_txt,
  beta,
  BoutLancerNouveau,
  BoutLoad,
  TexteST,
  TexteCinema,
  TextFenetre,
  TextResol,
};
inline constexpr int kControlCount = 15;

enum class ControlKind {
  kList,      // a pick-only drop-down list
  kCheckBox,  // a picture push button that latches
  kLabel,     // transparent text that takes clicks and moves over its whole box
};

// What a label is to assistive technology: drawn words, or words that act
// when pressed (a click, or an assistive tool's action).
enum class LabelRole {
  kText,
  kButton,  // launches, like a push button
  kLink,    // opens the read-me
};

struct Box {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// 0xRRGGBB, or the system's colour for text on buttons.
struct Colour {
  std::uint32_t rgb = 0;
  bool system_button_text = false;

  friend constexpr bool operator==(const Colour&, const Colour&) = default;
};
inline constexpr Colour kBlack{0x000000};
inline constexpr Colour kWhite{0xFFFFFF};
inline constexpr Colour kSystemButtonText{0x000000, true};

// The two faces: the captions' comic one ("Comic Sans MS") and the small
// sans-serif one ("MS Sans Serif"). Each toolkit picks what stands for them.
enum class Face { kComic, kSans };
enum class FontStyle { kRegular, kBold, kBoldItalic };

struct Font {
  Face face = Face::kSans;
  int pixel_size = 0;  // 15.75, 9.75 and 8.25 pt at 96 dpi: 21, 13, 11
  FontStyle style = FontStyle::kRegular;
  bool underline = false;
};

struct ControlDescription {
  ControlId id = ControlId::ListCol;
  std::string_view name;  // also the toolkit object's name
  ControlKind kind = ControlKind::kLabel;
  Box box;
  std::string_view text;     // labels only; UTF-8
  Font font;                 // labels and lists
  Colour text_colour;        // labels and lists
  Colour background;         // lists and check boxes
  std::string_view tooltip;  // empty: none
  // What assistive technology calls it: the words that stand for it on
  // screen, without a caption's closing " :".
  std::string_view accessible_name;
  std::span<const std::string_view> items;  // lists only, in this order
  LabelRole label_role = LabelRole::kText;  // labels only
};

// The picture that fills the window, drawn at its own size from the top-left
// corner: 300 x 300, so a 2 px strip of the background colour shows at the
// right and its last row lies outside the client area.
struct WindowDescription {
  std::string_view title;
  int client_width = 0;
  int client_height = 0;
  Colour background;
  std::array<ControlDescription, kControlCount> controls;  // indexed by ControlId
  // Lists and check boxes are drawn over labels: the caption "Colors :"
  // reaches under ListCol.
  std::array<ControlId, kControlCount> bottom_to_top;
  // The focusable controls in Tab order; Shift+Tab runs backwards.
  std::array<ControlId, 6> tab_cycle;
  // Where the focus goes when the window is first activated.
  ControlId first_focus = ControlId::ModeFenet;
  // The text buttons light up as a pair under the mouse.
  Colour highlighted_button;
  Colour other_button;
};

const WindowDescription& MainPageDescription();

inline const ControlDescription& Describe(ControlId id) {
  return MainPageDescription().controls[static_cast<int>(id)];
}

// The caption label that names a list or check box: the text label that goes
// by the same accessible name. None for the slot list, which stands beside
// the "Load :" button.
std::optional<ControlId> CaptionOf(ControlId control);

}  // namespace zephran::window
