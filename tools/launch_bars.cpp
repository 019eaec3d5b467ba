#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

#include "tools/background.h"

namespace zephran::tools {
namespace {

constexpr Rgb kBarBlue = FromHex(0x55649D);
constexpr Rgb kLavender = FromHex(0xCCC4FA);
constexpr Rgb kSymbolGreen = FromHex(0x00C000);
constexpr Rgb kBlack = FromHex(0x000000);

// The bar is a capsule: a spine segment with a radius, its round ends reaching to
// within a pixel and a half of the picture's sides.
constexpr double kSpineLeft = 21.0;
constexpr double kSpineRight = 279.0;
constexpr double kRadius = 19.6;
constexpr double kBevel = 9.0;

struct Vec3 {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

Vec3 Normalised(Vec3 v) {
  const double length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  return {v.x / length, v.y / length, v.z / length};
}

double Dot(Vec3 a, Vec3 b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}

struct SpineOffset {
  double dx = 0.0;
  double dy = 0.0;
  double distance = 0.0;
};

SpineOffset FromSpine(double x, double y, double spine_y) {
  const double nearest_x = std::clamp(x, kSpineLeft, kSpineRight);
  const double dx = x - nearest_x;
  const double dy = y - spine_y;
  return {dx, dy, std::hypot(dx, dy)};
}

double Coverage(int px, int py, double spine_y) {
  constexpr int kSub = 4;
  int inside = 0;
  for (int sy = 0; sy < kSub; ++sy) {
    for (int sx = 0; sx < kSub; ++sx) {
      const double x = px + (sx + 0.5) / kSub;
      const double y = py + (sy + 0.5) / kSub;
      if (FromSpine(x, y, spine_y).distance <= kRadius) {
        ++inside;
      }
    }
  }
  return static_cast<double>(inside) / (kSub * kSub);
}

// Colour of the bar's surface at a pixel centre: flat top, rounded bevel all round, lit
// from the upper left so that the top edge catches light and the bottom edge falls dark.
Rgb BarSurface(double x, double y, double top) {
  const double spine_y = top + kBarRows / 2.0;
  const SpineOffset offset = FromSpine(x, y, spine_y);
  const double depth = std::max(kRadius - offset.distance, 0.0);

  Vec3 normal{0.0, 0.0, 1.0};
  if (depth < kBevel && offset.distance > 0.0) {
    const double u = 1.0 - depth / kBevel;  // 1 at the rim, 0 where the bevel meets the top
    const double slope = std::min(u / std::sqrt(std::max(1.0 - u * u, 1e-4)), 6.0);
    normal =
        Normalised({offset.dx / offset.distance * slope, offset.dy / offset.distance * slope, 1.0});
  }
  const Vec3 light = Normalised({-0.45, -0.8, 0.6});
  const Vec3 half_way = Normalised({light.x, light.y, light.z + 1.0});
  const double diffuse = std::max(Dot(normal, light), 0.0);
  const double flat_diffuse = light.z;
  double shade = (0.3 + 0.8 * diffuse) / (0.3 + 0.8 * flat_diffuse);
  // A slight fall-off down the flat top keeps it from looking printed on.
  shade *= 1.07 - 0.14 * Clamp01((y - top) / kBarRows);

  Rgb colour = Scale(kBarBlue, shade);
  const double gloss = std::pow(std::max(Dot(normal, half_way), 0.0), 40.0);
  colour = Mix(colour, kLavender, 0.55 * gloss);

  const double gx = (x - 45.0) / 21.0;
  const double gy = (y - (top + 8.0)) / 4.2;
  const double glow = std::exp(-(gx * gx + gy * gy));
  return Mix(colour, kLavender, 0.9 * glow);
}

// Signed distance to the triangle's outline, negative inside.
double TriangleDistance(double x, double y, Point a, Point b, Point c) {
  const auto edge = [&](Point p, Point q) {
    const double ex = q.x - p.x;
    const double ey = q.y - p.y;
    return ((x - p.x) * ey - (y - p.y) * ex) / std::hypot(ex, ey);
  };
  return std::max({edge(a, b), edge(b, c), edge(c, a)});
}

void PaintPlayTriangle(Canvas& canvas, int top) {
  // Fills x 19..39 and rows top+9..top+28 with a flat interior and a one-pixel soft edge.
  const Point a{19.5, top + 9.5};
  const Point b{39.5, top + 19.0};
  const Point c{19.5, top + 28.5};
  for (int y = top + 9; y <= top + 28; ++y) {
    for (int x = 19; x <= 39; ++x) {
      const double distance = TriangleDistance(x + 0.5, y + 0.5, a, b, c);
      const double amount = Clamp01(0.5 - distance);
      canvas.At(x, y) = Mix(canvas.At(x, y), kSymbolGreen, amount);
    }
  }
}

// 18 x 18: G body, K black detail (shutter with its slot, label with two written lines),
// '.' the bar showing through the clipped corner.
constexpr std::array<std::string_view, 18> kFloppy = {
    "GGGGKKKKKKKKKKGG..", "GGGGKKKKKKGGKKGGG.", "GGGGKKKKKKGGKKGGGG", "GGGGKKKKKKGGKKGGGG",
    "GGGGKKKKKKKKKKGGGG", "GGGGGGGGGGGGGGGGGG", "GGGGGGGGGGGGGGGGGG", "GGGGGGGGGGGGGGGGGG",
    "GGGGGGGGGGGGGGGGGG", "GGKKKKKKKKKKKKKKGG", "GGKKKKKKKKKKKKKKGG", "GGKKGGGGGGGGGGKKGG",
    "GGKKKKKKKKKKKKKKGG", "GGKKGGGGGGGGGGKKGG", "GGKKKKKKKKKKKKKKGG", "GGKKKKKKKKKKKKKKGG",
    "GGKKKKKKKKKKKKKKGG", "GGGGGGGGGGGGGGGGGG",
};

void PaintFloppyDisk(Canvas& canvas, int top) {
  constexpr int kLeft = 18;
  const int first_row = top + 10;
  for (std::size_t row = 0; row < kFloppy.size(); ++row) {
    for (std::size_t column = 0; column < kFloppy[row].size(); ++column) {
      const int x = kLeft + static_cast<int>(column);
      const int y = first_row + static_cast<int>(row);
      switch (kFloppy[row][column]) {
        case 'G':
          canvas.At(x, y) = kSymbolGreen;
          break;
        case 'K':
          canvas.At(x, y) = kBlack;
          break;
        default:
          break;
      }
    }
  }
}

}  // namespace

void PaintLaunchBar(Canvas& canvas, int top, BarSymbol symbol) {
  const double spine_y = top + kBarRows / 2.0;
  for (int y = top; y < top + kBarRows; ++y) {
    for (int x = 0; x < canvas.Width(); ++x) {
      const double coverage = Coverage(x, y, spine_y);
      if (coverage <= 0.0) {
        continue;
      }
      const Rgb surface = BarSurface(x + 0.5, y + 0.5, top);
      canvas.At(x, y) = Mix(kBlack, surface, coverage);
    }
  }
  if (symbol == BarSymbol::kPlayTriangle) {
    PaintPlayTriangle(canvas, top);
  } else {
    PaintFloppyDisk(canvas, top);
  }
}

}  // namespace zephran::tools
