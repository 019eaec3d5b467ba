#include "tools/small_pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace zephran::tools {
namespace {

constexpr int kCheckSize = 20;
constexpr int kFrameWidth = 3;
constexpr int kCornerCut = 2;
constexpr Rgb kFrameGreen = FromHex(0x00FF00);
constexpr Rgb kCrossGreen = FromHex(0x40FF40);

bool IsFramePixel(int x, int y) {
  const int last = kCheckSize - 1;
  const bool in_band =
      x < kFrameWidth || y < kFrameWidth || x > last - kFrameWidth || y > last - kFrameWidth;
  // Dropping the pixels less than two steps from a corner cuts it off along a diagonal.
  const int to_corner = std::min(x, last - x) + std::min(y, last - y);
  return in_band && to_corner >= kCornerCut;
}

Canvas DrawFrame() {
  Canvas picture(kCheckSize, kCheckSize);
  for (int y = 0; y < kCheckSize; ++y) {
    for (int x = 0; x < kCheckSize; ++x) {
      if (IsFramePixel(x, y)) {
        picture.At(x, y) = kFrameGreen;
      }
    }
  }
  return picture;
}

// Icon design in unit coordinates (y downwards): a "Z" of three curved strokes between two
// dots.
struct IconDesign {
  std::vector<std::vector<Point>> strokes;
  std::vector<Point> dots;
  double stroke_half_width = 0.0;
  double dot_radius = 0.0;
};

std::vector<Point> Cubic(Point p0, Point p1, Point p2, Point p3) {
  std::vector<Point> line;
  constexpr int kSteps = 48;
  for (int i = 0; i <= kSteps; ++i) {
    const double t = static_cast<double>(i) / kSteps;
    const double u = 1.0 - t;
    const double a = u * u * u;
    const double b = 3.0 * u * u * t;
    const double c = 3.0 * u * t * t;
    const double d = t * t * t;
    line.push_back(
        {a * p0.x + b * p1.x + c * p2.x + d * p3.x, a * p0.y + b * p1.y + c * p2.y + d * p3.y});
  }
  return line;
}

IconDesign MakeIconDesign(int size) {
  IconDesign design;
  design.strokes.push_back(Cubic({0.27, 0.29}, {0.40, 0.17}, {0.55, 0.31}, {0.73, 0.22}));
  design.strokes.push_back(Cubic({0.71, 0.25}, {0.60, 0.42}, {0.42, 0.58}, {0.30, 0.75}));
  design.strokes.push_back(Cubic({0.27, 0.78}, {0.45, 0.69}, {0.60, 0.83}, {0.74, 0.71}));
  design.dots = {{0.125, 0.50}, {0.875, 0.50}};
  // The smallest image gets bolder lines so that no stroke falls between pixels.
  design.stroke_half_width = size <= 16 ? 0.07 : 0.055;
  design.dot_radius = size <= 16 ? 0.08 : 0.07;
  return design;
}

double DesignDistance(const IconDesign& design, double x, double y) {
  double best = 1e9;
  for (const auto& stroke : design.strokes) {
    best = std::min(best, DistanceToPolyline(stroke, x, y) - design.stroke_half_width);
  }
  for (const Point dot : design.dots) {
    best = std::min(best, std::hypot(x - dot.x, y - dot.y) - design.dot_radius);
  }
  return best;
}

struct IconCoverage {
  double glyph = 0.0;
  double shadow = 0.0;
};

// Fraction of each pixel covered by the glyph and by its shadow, which lies down and to
// the right and gives the flat glyph its light-grey lower edge. At 16 px a shadow only
// blurs the strokes, so the smallest image has none.
IconCoverage CoverageAt(const IconDesign& design, int size, int px, int py) {
  const double shadow_offset = size <= 16 ? 0.0 : 1.5 / 32.0;
  const auto covered = [&](double x, double y, double shift) {
    return DesignDistance(design, x - shift, y - shift) <= 0.0 ? 1.0 : 0.0;
  };
  IconCoverage coverage;
  if (size > 64) {
    // Large images: the distance field is smooth enough for a one-pixel ramp.
    const double x = (px + 0.5) / size;
    const double y = (py + 0.5) / size;
    coverage.glyph = Clamp01(0.5 - DesignDistance(design, x, y) * size);
    coverage.shadow =
        Clamp01(0.5 - DesignDistance(design, x - shadow_offset, y - shadow_offset) * size);
    return coverage;
  }
  constexpr int kSub = 8;
  for (int sy = 0; sy < kSub; ++sy) {
    for (int sx = 0; sx < kSub; ++sx) {
      const double x = (px + (sx + 0.5) / kSub) / size;
      const double y = (py + (sy + 0.5) / kSub) / size;
      coverage.glyph += covered(x, y, 0.0);
      if (shadow_offset > 0.0) {
        coverage.shadow += covered(x, y, shadow_offset);
      }
    }
  }
  coverage.glyph /= kSub * kSub;
  coverage.shadow /= kSub * kSub;
  return coverage;
}

// The icon's colours, as indexes into the standard palette and as colours for the
// smooth rendering.
constexpr std::uint8_t kPaletteDarkCyan = 6;
constexpr std::uint8_t kPaletteLightGrey = 7;
constexpr std::uint8_t kPaletteWhite = 15;
constexpr Rgb kDarkCyan = FromHex(0x008080);
constexpr Rgb kLightGrey = FromHex(0xC0C0C0);
constexpr Rgb kWhite = FromHex(0xFFFFFF);

}  // namespace

Canvas DrawCheckOff() {
  return DrawFrame();
}

Canvas DrawCheckOn() {
  Canvas picture = DrawFrame();
  const int first = kFrameWidth;
  const int last = kCheckSize - 1 - kFrameWidth;
  for (int y = first; y <= last; ++y) {
    for (int x = first; x <= last; ++x) {
      // Pixel centres within one pixel of either corner-to-corner line: a stroke 2 px
      // wide measured across it.
      const bool on_main = std::abs(x - y) <= 1;
      const bool on_anti = std::abs(x + y - (first + last)) <= 1;
      if (on_main || on_anti) {
        picture.At(x, y) = kCrossGreen;
      }
    }
  }
  return picture;
}

IndexedImage DrawIconIndexed(int size) {
  const IconDesign design = MakeIconDesign(size);
  IndexedImage image{size, size, std::vector<std::uint8_t>(static_cast<std::size_t>(size * size))};
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const IconCoverage coverage = CoverageAt(design, size, x, y);
      std::uint8_t index = kPaletteDarkCyan;
      if (coverage.glyph >= 0.5) {
        index = kPaletteWhite;
      } else if (coverage.shadow >= 0.5 || coverage.glyph >= (size <= 16 ? 0.3 : 0.25)) {
        index = kPaletteLightGrey;
      }
      image.indices[static_cast<std::size_t>(y * size + x)] = index;
    }
  }
  return image;
}

Canvas DrawIconSmooth(int size) {
  const IconDesign design = MakeIconDesign(size);
  Canvas picture(size, size, kDarkCyan);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const IconCoverage coverage = CoverageAt(design, size, x, y);
      Rgb colour = Mix(picture.At(x, y), kLightGrey, coverage.shadow);
      colour = Mix(colour, kWhite, coverage.glyph);
      picture.At(x, y) = colour;
    }
  }
  return picture;
}

}  // namespace zephran::tools
