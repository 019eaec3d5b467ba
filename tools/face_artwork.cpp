#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>
#include <vector>

#include "tools/background.h"

namespace zephran::tools {
namespace {

constexpr double kCentreX = 150.0;
// Mean colour the finished artwork is graded to, so that the light-grey captions keep
// the contrast they were designed against.
constexpr Rgb kTargetMean = FromHex(0x374F3A);

double Blob(double x, double y, double cx, double cy, double sx, double sy) {
  const double u = (x - cx) / sx;
  const double v = (y - cy) / sy;
  return std::exp(-0.5 * (u * u + v * v));
}

double Ridge(const std::vector<Point>& line, double x, double y, double sigma) {
  const double d = DistanceToPolyline(line, x, y);
  return std::exp(-0.5 * d * d / (sigma * sigma));
}

// Mirrors a curve drawn for the viewer's left half of the face onto the right half.
std::vector<Point> Mirrored(const std::vector<Point>& curve) {
  std::vector<Point> result;
  result.reserve(curve.size());
  for (const Point p : curve) {
    result.push_back({2.0 * kCentreX - p.x, p.y});
  }
  return result;
}

// The features as curves; index 0 is the viewer's left side, 1 the right.
struct FaceCurves {
  std::array<std::vector<Point>, 2> brow;
  std::array<std::vector<Point>, 2> furrow;
  std::array<std::vector<Point>, 2> lid_crease;
  std::array<std::vector<Point>, 2> eye_bag;
  std::array<std::vector<Point>, 2> cheekbone;
  std::array<std::vector<Point>, 2> cheek_fold;
  std::vector<Point> mouth;
  std::vector<Point> upper_lip;
  std::vector<Point> chin_groove;
  std::vector<Point> forehead_upper;
  std::vector<Point> forehead_lower;
};

void BothSides(std::array<std::vector<Point>, 2>& pair, const std::vector<Point>& left) {
  pair[0] = SmoothCurve(left);
  pair[1] = Mirrored(pair[0]);
}

FaceCurves MakeCurves() {
  FaceCurves c;
  // A frown: the brows' inner ends are pulled down and together.
  BothSides(c.brow, std::vector<Point>{{137, 87}, {118, 80}, {92, 72}, {66, 71}, {48, 77}});
  BothSides(c.furrow, std::vector<Point>{{143, 62}, {142.5, 75}, {143.5, 89}});
  BothSides(c.lid_crease, std::vector<Point>{{128, 96}, {110, 91}, {90, 91}, {74, 96}});
  BothSides(c.eye_bag, std::vector<Point>{{126, 111}, {110, 116}, {90, 115}, {76, 109}});
  BothSides(c.cheekbone, std::vector<Point>{{115, 128}, {90, 124}, {60, 118}, {40, 112}});
  BothSides(c.cheek_fold,
            std::vector<Point>{{132, 150}, {124, 163}, {117, 180}, {112, 198}, {110, 216}});
  c.mouth = SmoothCurve(
      {{112, 199}, {124, 193}, {138, 190}, {150, 189.5}, {162, 190}, {176, 193}, {188, 199}});
  c.upper_lip = SmoothCurve({{118, 190}, {134, 184}, {150, 185}, {166, 184}, {182, 190}});
  c.chin_groove = SmoothCurve({{134, 209}, {150, 206.5}, {166, 209}});
  c.forehead_upper = SmoothCurve({{92, 40}, {120, 34}, {150, 33}, {180, 34}, {208, 40}});
  c.forehead_lower = SmoothCurve({{100, 52}, {125, 47}, {150, 48}, {175, 47}, {200, 52}});
  return c;
}

// Half-width of the head at a row: a broad skull narrowing to a strong jaw.
double HeadHalfWidth(double y) {
  const double below = std::max(0.0, y - 110.0);
  const double above = std::max(0.0, 110.0 - y);
  return 152.0 - 0.0045 * below * below - 0.0035 * above * above;
}

// 1 on the face, 0 on the dark surroundings.
double HeadMask(double x, double y) {
  const double edge = HeadHalfWidth(y) - std::abs(x - kCentreX);
  return SmoothStep(-14.0, 18.0, edge);
}

// Height of the face surface, in pixels towards the viewer.
double FaceHeight(const FaceCurves& c, double x, double y) {
  const double hx = (x - kCentreX) / (HeadHalfWidth(y) + 12.0);
  const double hy = (y - 110.0) / 260.0;
  double h = 90.0 * std::sqrt(std::max(0.0, 1.0 - hx * hx - hy * hy));
  h += 6.0 * Blob(x, y, kCentreX, 30, 60, 26);
  h -= 0.7 * Ridge(c.forehead_upper, x, y, 2.0);
  h -= 0.9 * Ridge(c.forehead_lower, x, y, 1.8);

  for (int side = 0; side < 2; ++side) {
    const double s = side == 0 ? -1.0 : 1.0;
    const double eye_x = kCentreX + s * 50.0;
    h += 9.0 * Ridge(c.brow[side], x, y, 7.0);
    h += 4.0 * Blob(x, y, kCentreX + s * 15.0, 81, 7, 6);
    h -= 2.0 * Ridge(c.furrow[side], x, y, 2.0);
    // The socket is steep under the brow and shallow towards the cheek, so its lower rim
    // does not catch the light as a bright band.
    h -= 19.0 * Blob(x, y, eye_x, 100, 24, y < 100 ? 10.0 : 16.0);
    h += 8.0 * Blob(x, y, eye_x, 102, 16, 6.5);
    h -= 2.0 * Ridge(c.lid_crease[side], x, y, 1.5);
    h -= 1.6 * Ridge(c.eye_bag[side], x, y, 2.2);
    h += 10.0 * Blob(x, y, kCentreX + s * 64.0, 142, 26, 24);
    h += 5.0 * Ridge(c.cheekbone[side], x, y, 8.0);
    h -= 7.0 * Ridge(c.cheek_fold[side], x, y, 2.8);
    h += 7.0 * Blob(x, y, kCentreX + s * 16.0, 153, 7, 6);
    h -= 6.0 * Blob(x, y, kCentreX + s * 9.0, 160, 4, 2.2);
    h -= 4.0 * Blob(x, y, kCentreX + s * 38.0, 199, 3, 3);
  }

  // Nose: a ridge that widens and rises towards the tip.
  const double along = SmoothStep(86, 148, y);
  const double window = SmoothStep(84, 96, y) * (1.0 - SmoothStep(150, 162, y));
  const double width = 5.5 + 4.0 * along;
  const double across = (x - kCentreX) / width;
  h += window * (4.0 + 13.0 * along) * std::exp(-0.5 * across * across);
  h += 9.0 * Blob(x, y, kCentreX, 147, 9, 8);

  // Mouth and chin.
  h += 5.0 * Blob(x, y, kCentreX, 188, 40, 20);
  h += 2.0 * Ridge(c.upper_lip, x, y, 2.5);
  h += 3.5 * Blob(x, y, kCentreX, 198, 21, 4.5);
  h -= 6.0 * Ridge(c.mouth, x, y, 1.5);
  h -= 3.0 * Ridge(c.chin_groove, x, y, 2.5);
  h += 10.0 * Blob(x, y, kCentreX, 236, 30, 20);
  return h;
}

Field SculptFace(const FaceCurves& curves, int width, int height) {
  Field field(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      field.At(x, y) = FaceHeight(curves, x + 0.5, y + 0.5);
    }
  }
  return field;
}

// Deposits a soft short line into a mask (hair strokes).
void StrokeInto(Field& mask, Point from, Point to, double strength) {
  const double length = std::hypot(to.x - from.x, to.y - from.y);
  const int steps = std::max(2, static_cast<int>(length * 3.0));
  for (int i = 0; i <= steps; ++i) {
    const double t = static_cast<double>(i) / steps;
    const double x = from.x + (to.x - from.x) * t;
    const double y = from.y + (to.y - from.y) * t;
    const int px = static_cast<int>(std::floor(x));
    const int py = static_cast<int>(std::floor(y));
    if (px < 0 || py < 0 || px >= mask.Width() || py >= mask.Height()) {
      continue;
    }
    mask.At(px, py) = std::max(mask.At(px, py), strength);
  }
}

// Where hair darkens the skin: the two brows and the hairline at the top corners.
Field HairMask(const FaceCurves& curves, int width, int height, Rng& rng) {
  Field mask(width, height);
  for (int side = 0; side < 2; ++side) {
    const auto& brow = curves.brow[side];
    for (int i = 0; i < 700; ++i) {
      const double u = rng.Unit();
      const auto at = static_cast<std::size_t>(u * static_cast<double>(brow.size() - 1));
      const Point p = brow[at];
      const Point q = brow[std::min(at + 1, brow.size() - 1)];
      double tx = q.x - p.x;
      double ty = q.y - p.y;
      const double tl = std::max(std::hypot(tx, ty), 1e-6);
      tx /= tl;
      ty /= tl;
      // Thick and bushy where the brows knit together, thin at the outer ends.
      const double thickness = 3.0 + 5.0 * (1.0 - u);
      const double off = rng.Range(-thickness, thickness);
      const Point start{p.x - ty * off, p.y + tx * off};
      const double length = rng.Range(3.0, 7.0);
      const double lift = rng.Range(-0.5, 0.1);
      StrokeInto(mask, start,
                 {start.x + (tx - ty * lift) * length, start.y + (ty + tx * lift) * length},
                 rng.Range(0.55, 1.0));
    }
  }
  for (int i = 0; i < 2600; ++i) {
    const double x = rng.Range(0.0, width);
    const double limit = -25.0 + 0.0055 * (x - kCentreX) * (x - kCentreX);
    if (limit < -3.0) {
      continue;
    }
    const double y = rng.Range(-4.0, limit);
    const double lean = (x - kCentreX) / 150.0;
    const double length = rng.Range(6.0, 16.0);
    // One draw per statement: inside a single call the compiler picks the order of the
    // draws, and the picture would then differ between compilers.
    const double strength = rng.Range(0.5, 1.0);
    const double drift = rng.Range(-2.0, 2.0);
    StrokeInto(mask, {x, y}, {x + lean * length * 0.6 + drift, y + length}, strength);
  }
  return GaussianBlur(mask, 0.5);
}

struct EyeParts {
  double opening = 0.0;  // 1 inside the lids
  double iris = 0.0;
  double pupil = 0.0;
  double glint = 0.0;
  double lashes = 0.0;  // the dark line along the upper lid
};

// Narrowed, angry eyes: the upper lid presses down on the iris.
EyeParts EyeAt(double x, double y) {
  EyeParts parts;
  for (int side = 0; side < 2; ++side) {
    const double s = side == 0 ? -1.0 : 1.0;
    const double eye_x = kCentreX + s * 50.0;
    const double t = (x - eye_x) / 20.5 * s;  // -1 at the inner corner, 1 at the outer
    if (std::abs(t) >= 1.0) {
      continue;
    }
    const double bulge = 1.0 - t * t;
    const double upper = 101.5 - 4.6 * bulge - 1.6 * t;
    const double lower = 101.5 + 3.0 * bulge - 0.4 * t;
    const double above_lid = (y - (upper - 0.5)) / 0.9;
    parts.lashes = std::max(parts.lashes, (0.35 + 0.65 * bulge) * std::exp(-above_lid * above_lid));
    const double inside =
        SmoothStep(upper - 0.6, upper + 0.6, y) * (1.0 - SmoothStep(lower - 0.6, lower + 0.6, y));
    parts.opening = std::max(parts.opening, inside);
    const double iris_x = eye_x - s * 2.0;
    const double r = std::hypot(x - iris_x, y - 100.0);
    parts.iris = std::max(parts.iris, inside * (1.0 - SmoothStep(6.0, 7.0, r)));
    parts.pupil = std::max(parts.pupil, inside * (1.0 - SmoothStep(2.4, 3.3, r)));
    parts.glint = std::max(parts.glint, inside * Blob(x, y, iris_x + 2.0, 98.3, 0.9, 0.8));
  }
  return parts;
}

// Skin reflectance: hair, lips, nostrils, stubble and a little grain.
Field Albedo(const FaceCurves& curves, const Field& hair, int width, int height, Rng& rng) {
  Field grain(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      grain.At(x, y) = rng.Unit();
    }
  }
  grain = GaussianBlur(grain, 0.7);

  Field albedo(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double px = x + 0.5;
      const double py = y + 0.5;
      double a = 1.0 + 0.45 * (grain.At(x, y) - 0.5);
      a *= 1.0 - 0.85 * hair.At(x, y);
      a *= 1.0 - 0.55 * Ridge(curves.mouth, px, py, 1.1);
      a *= 1.0 - 0.12 * Blob(px, py, kCentreX, 194, 24, 7);
      for (int side = 0; side < 2; ++side) {
        const double s = side == 0 ? -1.0 : 1.0;
        a *= 1.0 - 0.6 * Blob(px, py, kCentreX + s * 9.0, 160.5, 3.2, 1.8);
      }
      // Stubble on the upper lip, the jaw and the chin, kept off the lips themselves.
      const double beard = SmoothStep(164, 172, py) *
                           (1.0 - 0.9 * Blob(px, py, kCentreX, 194, 26, 8)) *
                           (1.0 - SmoothStep(90, 130, std::abs(px - kCentreX)));
      if (rng.Unit() < 0.2 * beard) {
        a *= rng.Range(0.7, 0.88);
      }
      albedo.At(x, y) = a;
    }
  }
  return albedo;
}

struct Light {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

// How much of the key light reaches a point: marches towards the light over the height
// field, so the brows shade the eyes and the nose shades the far cheek.
double LightReaching(const Field& height, int x, int y, Light light) {
  const double planar = std::hypot(light.x, light.y);
  const double step_x = light.x / planar;
  const double step_y = light.y / planar;
  const double rise = light.z / planar;
  const double start = height.At(x, y);
  double lit = 1.0;
  for (int i = 1; i <= 60; ++i) {
    const int sx = static_cast<int>(std::lround(x + step_x * i));
    const int sy = static_cast<int>(std::lround(y + step_y * i));
    if (sx < 0 || sy < 0 || sx >= height.Width() || sy >= height.Height()) {
      break;
    }
    const double above = height.At(sx, sy) - (start + rise * i);
    lit = std::min(lit, Clamp01(1.0 - above / 2.5));
  }
  return lit;
}

// Luminance of the lit face, 0..~1.3: a hard key light from the upper right, where the
// captions are short, a weak rim light from the left, darkness beyond the head.
Field LightFace(const Field& height, const Field& albedo) {
  const int width = height.Width();
  const int rows = height.Height();
  const Field smooth = GaussianBlur(height, 5.0);
  const Light key = [] {
    const double x = 0.72;
    const double y = -0.5;
    const double z = 0.5;
    const double n = std::sqrt(x * x + y * y + z * z);
    return Light{x / n, y / n, z / n};
  }();
  const double half_len = std::sqrt(key.x * key.x + key.y * key.y + (key.z + 1.0) * (key.z + 1.0));
  const Light half{key.x / half_len, key.y / half_len, (key.z + 1.0) / half_len};
  Field lum(width, rows);
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < width; ++x) {
      const double dx = 0.5 * (height.Clamped(x + 1, y) - height.Clamped(x - 1, y));
      const double dy = 0.5 * (height.Clamped(x, y + 1) - height.Clamped(x, y - 1));
      const double n_len = std::sqrt(dx * dx + dy * dy + 1.0);
      const double nx = -dx / n_len;
      const double ny = -dy / n_len;
      const double nz = 1.0 / n_len;
      const double shadow = LightReaching(height, x, y, key);
      const double diffuse = std::max(0.0, nx * key.x + ny * key.y + nz * key.z) * shadow;
      const double rim = std::pow(std::max(0.0, -nx * 0.9 - ny * 0.1 + nz * 0.25), 2.0);
      const double cavity = std::clamp(1.0 + 0.10 * (height.At(x, y) - smooth.At(x, y)), 0.2, 1.15);
      const double gloss =
          shadow * std::pow(std::max(0.0, nx * half.x + ny * half.y + nz * half.z), 30.0);
      const double mask = HeadMask(x + 0.5, y + 0.5);
      lum.At(x, y) =
          mask * (albedo.At(x, y) * (0.08 + 1.0 * diffuse + 0.15 * rim) * cavity + 0.22 * gloss);
    }
  }
  return lum;
}

// Code glyphs, 5 x 7, in the half-width katakana and mirrored digits of screen rain.
constexpr std::array<std::array<std::string_view, 7>, 22> kGlyphs = {{
    {"#####", "....#", "..#.#", "..##.", "..#..", ".#...", "#...."},
    {"..#..", "#####", "#...#", "....#", "...#.", "..#..", "##..."},
    {".#...", "#####", ".#..#", ".#..#", "#...#", "#...#", "#..##"},
    {".#.#.", "#####", ".#.#.", ".#.#.", "...#.", "..#..", "##..."},
    {"#....", ".#..#", "#...#", ".#..#", "...#.", "..#..", "##..."},
    {"#.#.#", "#.#.#", "....#", "....#", "...#.", "..#..", "##..."},
    {"####.", "....#", "####.", "....#", ".###.", "....#", "....."},
    {"#####", "..#..", "..#..", "#####", "..#..", "..#..", ".#..."},
    {"..#..", "..#..", "..##.", "..#.#", "..#..", "..#..", "..#.."},
    {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."},
    {"..#..", "..##.", "..#..", "..#..", "..#..", "..#..", ".###."},
    {".###.", "#...#", "#....", ".###.", "....#", "#...#", "#####"},
    {"#####", "#....", ".#...", "..##.", "....#", "#...#", ".###."},
    {"#####", "...#.", "..#..", ".#...", "#####", "...#.", "..#.."},
    {".....", "#####", "...#.", "..#..", ".#.#.", "#...#", "....."},
    {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"},
    {"..#..", ".#.#.", "#...#", ".....", "#####", ".....", "#####"},
    {"#####", "#...#", "....#", "...#.", "..#..", ".#...", "#...."},
    {".#...", ".#...", "#####", ".#..#", ".#.#.", ".#...", ".#..."},
    {"....#", "...#.", "#####", "..#..", "..#..", "..#..", "..#.."},
    {"#####", "....#", "....#", ".####", "....#", "....#", "#####"},
    {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."},
}};

constexpr int kColumnPitch = 8;
constexpr int kRowPitch = 9;

// Brightness of the falling code at each pixel, 0..1, and a separate mask for the bright
// heads of the trails, which are drawn nearly white.
struct Rain {
  Field body;
  Field heads;
};

Rain MakeRain(int width, int height, Rng& rng) {
  Rain rain{Field(width, height), Field(width, height)};
  const int columns = (width + kColumnPitch - 1) / kColumnPitch;
  const int rows = (height + kRowPitch - 1) / kRowPitch;
  for (int column = 0; column < columns; ++column) {
    const int trails = 2 + rng.Below(3);
    for (int trail = 0; trail < trails; ++trail) {
      const int head = rng.Below(rows + 8) - 2;
      const int length = 4 + rng.Below(12);
      const double peak = rng.Range(0.5, 1.0);
      for (int cell = head - length; cell <= head; ++cell) {
        if (cell < 0 || cell >= rows || rng.Unit() < 0.22) {
          continue;
        }
        const double along = static_cast<double>(head - cell) / length;
        const double strength = peak * std::pow(1.0 - along, 1.6);
        const bool is_head = cell == head;
        const auto& glyph =
            kGlyphs[static_cast<std::size_t>(rng.Below(static_cast<int>(kGlyphs.size())))];
        const bool flip = rng.Unit() < 0.5;
        const int left = column * kColumnPitch + 1;
        const int top = cell * kRowPitch + 1;
        for (int gy = 0; gy < 7; ++gy) {
          for (int gx = 0; gx < 5; ++gx) {
            const char bit =
                glyph[static_cast<std::size_t>(gy)][static_cast<std::size_t>(flip ? 4 - gx : gx)];
            const int x = left + gx;
            const int y = top + gy;
            if (bit != '#' || x >= width || y >= height) {
              continue;
            }
            rain.body.At(x, y) = std::max(rain.body.At(x, y), strength);
            if (is_head) {
              rain.heads.At(x, y) = std::max(rain.heads.At(x, y), peak);
            }
          }
        }
      }
    }
  }
  return rain;
}

// Dark at the left and right edges, and a little darker along the top where the small
// credit line and link stand.
double Vignette(double x, double y, int width) {
  const double sides = SmoothStep(-4.0, 78.0, x) * SmoothStep(-4.0, 78.0, width - x);
  const double top = 0.5 + 0.5 * SmoothStep(0.0, 48.0, y);
  return sides * top;
}

// Boxes of the option captions, which stand in light grey on the artwork. The face is
// shaded a little darker under them so that they read wherever the face is lit.
struct CaptionBox {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};
constexpr std::array<CaptionBox, 5> kCaptionBoxes = {{
    {32, 24, 129, 33},   // resolution
    {72, 60, 177, 33},   // windowed mode
    {72, 100, 217, 33},  // cinemascope mode
    {72, 140, 145, 25},  // sub-titles
    {56, 176, 105, 33},  // colours
}};

Field CaptionShade(int width, int height) {
  Field shade(width, height);
  for (const CaptionBox& box : kCaptionBoxes) {
    for (int y = box.y + 2; y < box.y + box.height - 4 && y < height; ++y) {
      for (int x = box.x; x < box.x + box.width && x < width; ++x) {
        shade.At(x, y) = 1.0;
      }
    }
  }
  return GaussianBlur(shade, 5.0);
}

struct ArtLayers {
  Field lum;
  Field caption_shade;
  Field eye_glow;
  Rain rain;
  Field glow;
  Field dither;
};

Canvas Compose(const ArtLayers& layers, Rgb face_gain) {
  const int width = layers.lum.Width();
  const int height = layers.lum.Height();
  Canvas art(width, height);
  const Rgb code_green = FromHex(0x2EF05A);
  const Rgb head_white = FromHex(0xD8FFD8);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const double lit = layers.lum.At(x, y);
      const double under_caption = layers.caption_shade.At(x, y);
      // Highlights are compressed so that no part of the face outshines the captions.
      const double lum = lit / (1.0 + 0.6 * lit) * (1.0 - 0.5 * under_caption);
      const double fade = Vignette(x + 0.5, y + 0.5, width);
      Rgb colour{lum * face_gain.r, lum * face_gain.g, lum * face_gain.b};
      // The code shines brightest where the face is lit, so the face shows through it.
      const double reveal = (0.7 + 0.3 * Clamp01(lit / 0.9)) * (1.0 - 0.45 * under_caption);
      const double code = layers.rain.body.At(x, y) * reveal;
      Rgb light = Scale(code_green, code);
      light = Add(light, Scale(code_green, 0.35 * layers.glow.At(x, y) * reveal));
      light = Mix(light, head_white, 0.75 * layers.rain.heads.At(x, y) * reveal);
      // A faint green fire in the irises.
      light = Add(light, Scale(code_green, 0.45 * layers.eye_glow.At(x, y)));
      colour = Screen(colour, light);
      colour = Scale(colour, fade);
      colour =
          Add(colour, Rgb{layers.dither.At(x, y), layers.dither.At(x, y), layers.dither.At(x, y)});
      art.At(x, y) = colour;
    }
  }
  return art;
}

Rgb MeanOf(const Canvas& art) {
  Rgb sum;
  for (int y = 0; y < art.Height(); ++y) {
    for (int x = 0; x < art.Width(); ++x) {
      sum = Add(sum, FromHex(art.PixelHex(x, y)));
    }
  }
  return Scale(sum, 1.0 / (art.Width() * art.Height()));
}

// Eyes are painted over the lit skin: dim whites, dark irises with a green glow, a hard
// glint, a dark lash line.
void PaintEyes(ArtLayers& layers) {
  for (int y = 0; y < layers.lum.Height(); ++y) {
    for (int x = 0; x < layers.lum.Width(); ++x) {
      const EyeParts eye = EyeAt(x + 0.5, y + 0.5);
      double& lum = layers.lum.At(x, y);
      lum += eye.opening * (0.42 - lum) * 0.85;
      lum += eye.iris * (0.16 - lum);
      lum += eye.pupil * (0.02 - lum);
      lum += eye.glint * (1.3 - lum);
      lum += 0.8 * eye.lashes * (0.03 - lum);
      layers.eye_glow.At(x, y) = std::max(0.0, eye.iris - eye.pupil);
    }
  }
  layers.eye_glow = GaussianBlur(layers.eye_glow, 0.8);
}

// Grades the face so that the finished artwork's mean lands on the target colour; the
// code glyphs keep their own colours.
Canvas ComposeGraded(const ArtLayers& layers) {
  Rgb gain = kTargetMean;
  for (int pass = 0; pass < 6; ++pass) {
    const Rgb mean = MeanOf(Compose(layers, gain));
    gain = {gain.r * kTargetMean.r / mean.r, gain.g * kTargetMean.g / mean.g,
            gain.b * kTargetMean.b / mean.b};
  }
  return Compose(layers, gain);
}

}  // namespace

void PaintFaceArtwork(Canvas& canvas, int rows) {
  const int width = canvas.Width();
  Rng rng(0x5A3B7A11C0DEULL);
  const FaceCurves curves = MakeCurves();
  const Field height = SculptFace(curves, width, rows);
  const Field hair = HairMask(curves, width, rows, rng);
  const Field albedo = Albedo(curves, hair, width, rows, rng);

  ArtLayers layers{LightFace(height, albedo),  CaptionShade(width, rows), Field(width, rows),
                   MakeRain(width, rows, rng), Field(width, rows),        Field(width, rows)};
  PaintEyes(layers);
  layers.glow = GaussianBlur(layers.rain.body, 1.6);
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < width; ++x) {
      layers.dither.At(x, y) = rng.Range(-0.5, 0.5);
    }
  }

  const Canvas art = ComposeGraded(layers);
  for (int y = 0; y < rows; ++y) {
    for (int x = 0; x < width; ++x) {
      canvas.At(x, y) = art.At(x, y);
    }
  }
}

}  // namespace zephran::tools
