#pragma once

#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/windows_api.h"
#include "win32/gdi.h"
#include "win32/scale.h"
#include "window/description.h"

namespace zephran::win32 {

// A label's or list's font as drawn at a scale (see DrawScaledText).
struct ScaledFace {
  // At the description's size, 96 dpi: lays the lines out.
  HFONT base = nullptr;
  // At the scale's size, to the nearest whole pixel: draws the characters.
  // Not underlined at a scale other than 96 dpi, where the line is drawn
  // by hand (see DrawScaledText).
  HFONT scaled = nullptr;
  // At the face's design size, one pixel a design unit, and that size:
  // where each character goes. None for a face without outlines.
  HFONT design = nullptr;
  int design_size = 0;
  // The description's pixel size.
  int pixel_size = 0;
  bool underline = false;
};

// The window's two faces. Where the system has "Comic Sans MS" and
// "MS Sans Serif" (every Windows), those are used; where it lacks them (Wine,
// which substitutes other faces of other widths), faces carried in the
// program stand in: Comic Neue and Liberation Sans, which fit the boxes.
// "MS Sans Serif" is a bitmap face, made for 96 dpi: at any other scale its
// outline twin "Microsoft Sans Serif" draws instead (or the carried face).
class Fonts {
 public:
  explicit Fonts(HINSTANCE instance);
  Fonts(const Fonts&) = delete;
  Fonts& operator=(const Fonts&) = delete;
  ~Fonts() = default;

  // One font object per distinct font and scale, kept for the window's
  // life; throws CreationError when the system cannot make it.
  HFONT Get(const window::Font& font, const Scale& scale) const;
  // The font's faces for drawing at `scale`; throws CreationError.
  ScaledFace Face(const window::Font& font, const Scale& scale) const;
  // TextTopShift of the font at 96 dpi, worked out once.
  int TextShift(const window::Font& font) const;

  // The family drawing `face` at `scale`.
  const std::wstring& Family(window::Face face, const Scale& scale = Scale()) const;

 private:
  struct Choice {
    std::wstring family;
    bool outlines = true;
  };
  HFONT Make(const std::wstring& family, int pixel_size, window::FontStyle style,
             bool underline) const;
  Choice Choose(const wchar_t* system_family, const wchar_t* carried_family,
                std::initializer_list<int> resources) const;

  HINSTANCE instance_ = nullptr;
  mutable std::vector<FontResource> loaded_;
  Choice comic_;
  Choice sans_;
  // Chosen the first time the sans face is drawn at another scale than
  // 96 dpi while the system's is a bitmap face.
  mutable std::optional<Choice> outline_sans_;
  using Key = std::tuple<std::wstring, int, window::FontStyle, bool>;
  mutable std::map<Key, Font> made_;
  mutable std::map<Key, int> shifts_;
  // The design size of each face and style, 0 for none.
  mutable std::map<Key, int> design_sizes_;
};

// How many pixels lower than the system puts it the first line of text in
// the font selected into `dc` belongs for its baseline to lie where Qt puts
// it with the same face: Qt places the baseline by the face's typographic
// ascent, the system by its (often taller) Windows ascent. Negative: higher.
// Zero for faces without those tables (bitmap faces).
int TextTopShift(HDC dc);

// Whether the system knows a face by exactly this name, not by a substitute.
bool HasFamily(const wchar_t* family);

}  // namespace zephran::win32
