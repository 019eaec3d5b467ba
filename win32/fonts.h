#pragma once

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "platform/windows_api.h"
#include "win32/gdi.h"
#include "window/description.h"

namespace zephran::win32 {

// The window's two faces. Where the system has "Comic Sans MS" and
// "MS Sans Serif" (every Windows), those are used; where it lacks them (Wine,
// which substitutes other faces of other widths), faces carried in the
// program stand in: Comic Neue and Liberation Sans, which fit the boxes.
class Fonts {
 public:
  explicit Fonts(HINSTANCE instance);
  Fonts(const Fonts&) = delete;
  Fonts& operator=(const Fonts&) = delete;
  ~Fonts() = default;

  // One font object per distinct font, kept for the window's life; throws
  // CreationError when the system cannot make it.
  HFONT Get(const window::Font& font) const;
  // TextTopShift of the font, worked out once.
  int TextShift(const window::Font& font) const;

  const std::wstring& Family(window::Face face) const;
  bool Carried(window::Face face) const;

 private:
  struct Choice {
    std::wstring family;
    bool carried = false;
  };
  Choice Choose(HINSTANCE instance, const wchar_t* system_family, const wchar_t* carried_family,
                std::initializer_list<int> resources);

  std::vector<FontResource> loaded_;
  Choice comic_;
  Choice sans_;
  using Key = std::tuple<window::Face, int, window::FontStyle, bool>;
  mutable std::map<Key, Font> made_;
  mutable std::map<Key, int> shifts_;
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
