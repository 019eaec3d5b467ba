#include "win32/scaled_text.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "win32/gdi.h"

namespace zephran::win32 {

namespace {

int Width(HDC dc, std::wstring_view text) {
  SIZE extent{};
  ::GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &extent);
  return extent.cx;
}

// The lines DrawTextW makes of `text` in `width` with DT_WORDBREAK: as many
// words as fit, a word too long for any line on a line of its own.
std::vector<std::wstring_view> BreakLines(HDC dc, std::wstring_view text, int width) {
  std::vector<std::wstring_view> lines;
  while (!text.empty()) {
    if (Width(dc, text) <= width) {
      lines.push_back(text);
      break;
    }
    std::size_t end = text.find(L' ');
    for (std::size_t next = end; next != std::wstring_view::npos;
         next = text.find(L' ', next + 1)) {
      if (Width(dc, text.substr(0, next)) > width) {
        break;
      }
      end = next;
    }
    lines.push_back(text.substr(0, end));
    if (end == std::wstring_view::npos) {
      break;
    }
    text.remove_prefix(end);
    text.remove_prefix(std::min(text.find_first_not_of(L' '), text.size()));
  }
  return lines;
}

// Where each character of `line` ends, in `font`'s pixels.
std::vector<int> Ends(HDC dc, HFONT font, std::wstring_view line) {
  const Selection in(dc, font);
  std::vector<int> ends(line.size());
  SIZE extent{};
  ::GetTextExtentExPointW(dc, line.data(), static_cast<int>(line.size()), 0, nullptr, ends.data(),
                          &extent);
  return ends;
}

// The step from each character to the next at the exact scaled size, each
// character on the pixel its exact place lies in.
std::vector<int> Steps(HDC dc, const ScaledFace& face, double factor, std::wstring_view line,
                       int& width) {
  const bool designed = face.design != nullptr && face.design_size > 0;
  const std::vector<int> ends = Ends(dc, designed ? face.design : face.base, line);
  const double to_pixels = designed ? face.pixel_size * factor / face.design_size : factor;
  std::vector<int> steps(line.size());
  int before = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const int end = static_cast<int>(std::floor(ends[i] * to_pixels));
    steps[i] = end - before;
    before = end;
  }
  width = before;
  return steps;
}

// The underline as the Qt window draws it: under the whole line, a whole
// pixel thick at 96 dpi (or the face's thickness where that is more), its
// top the face's underline centre below the baseline, rounded down to
// the pixel at 96 dpi; then scaled, taking the rows whose middles it covers.
void Underline(HDC dc, const ScaledFace& face, double factor, const RECT& area, int baseline96,
               int width) {
  if (face.design == nullptr || face.design_size <= 0) {
    return;
  }
  OUTLINETEXTMETRICW metrics{};
  metrics.otmSize = sizeof metrics;
  {
    const Selection in(dc, face.design);
    if (::GetOutlineTextMetricsW(dc, sizeof metrics, &metrics) == 0) {
      return;
    }
  }
  const double to_pixels = static_cast<double>(face.pixel_size) / face.design_size;
  const double centre =
      (metrics.otmsUnderscoreSize / 2.0 - metrics.otmsUnderscorePosition) * to_pixels;
  const int top = baseline96 + static_cast<int>(std::ceil(centre));
  const int thickness =
      std::max(1, static_cast<int>(std::lround(metrics.otmsUnderscoreSize * to_pixels)));
  const auto row = [factor](int at) { return static_cast<int>(std::ceil(at * factor - 0.5)); };
  RECT line{area.left, area.top + row(top), area.left + width, area.top + row(top + thickness)};
  if (::IntersectRect(&line, &line, &area) != FALSE) {
    FillColour(dc, line, ::GetTextColor(dc));
  }
}

}  // namespace

void DrawScaledText(HDC dc, std::wstring_view text, const RECT& area, int shift,
                    const ScaledFace& face, const Scale& scale, UINT format) {
  if (scale == Scale()) {
    RECT text_area = area;
    text_area.top += shift;
    const Selection in(dc, face.base);
    ::DrawTextW(dc, text.data(), static_cast<int>(text.size()), &text_area,
                format | DT_LEFT | DT_NOPREFIX);
    return;
  }
  const double factor = static_cast<double>(scale.Dpi()) / Scale::kBaseDpi;
  TEXTMETRICW metrics{};
  std::vector<std::wstring_view> lines;
  {
    const Selection in(dc, face.base);
    ::GetTextMetricsW(dc, &metrics);
    lines = (format & DT_WORDBREAK) != 0 ? BreakLines(dc, text, scale.Base(area.right - area.left))
                                         : std::vector{text};
  }
  // A line centred in the area's height at 96 dpi, to the fraction of a
  // pixel, as the Qt window centres it.
  const double centring =
      (format & DT_VCENTER) != 0 ? ((area.bottom - area.top) / factor - metrics.tmHeight) / 2 : 0;
  std::vector<std::vector<int>> steps;
  std::vector<int> widths(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    steps.push_back(Steps(dc, face, factor, lines[i], widths[i]));
  }
  const Selection in(dc, face.scaled);
  const UINT alignment = ::SetTextAlign(dc, TA_LEFT | TA_BASELINE | TA_NOUPDATECP);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const int baseline = shift + static_cast<int>(i) * metrics.tmHeight + metrics.tmAscent;
    ::ExtTextOutW(
        dc, area.left, area.top + static_cast<int>(std::floor((centring + baseline) * factor)),
        ETO_CLIPPED, &area, lines[i].data(), static_cast<UINT>(lines[i].size()), steps[i].data());
    if (face.underline) {
      Underline(dc, face, factor, area, baseline, widths[i]);
    }
  }
  ::SetTextAlign(dc, alignment);
}

}  // namespace zephran::win32
