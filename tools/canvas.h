#pragma once

#include <cstdint>
#include <vector>

// Small floating-point raster helpers shared by the picture generators. Everything is
// computed in doubles and rounded once at the end, so the written files only depend on
// the code, never on a paint engine's anti-aliasing or on the fonts of the build machine.
namespace zephran::tools {

// Channel values on the 0..255 scale; they may leave that range until they are written.
struct Rgb {
  double r = 0.0;
  double g = 0.0;
  double b = 0.0;
};

struct Point {
  double x = 0.0;
  double y = 0.0;
};

constexpr Rgb FromHex(std::uint32_t rgb) {
  return {static_cast<double>((rgb >> 16) & 0xFF), static_cast<double>((rgb >> 8) & 0xFF),
          static_cast<double>(rgb & 0xFF)};
}
Rgb Mix(Rgb a, Rgb b, double t);
Rgb Scale(Rgb c, double k);
Rgb Add(Rgb a, Rgb b);
// Brightens like light added through a screen: never passes white, keeps dark glyph
// trails from washing out what is under them.
Rgb Screen(Rgb base, Rgb light);

double Clamp01(double v);
double SmoothStep(double edge0, double edge1, double v);

// Distance from (x, y) to the nearest point of an open polyline.
double DistanceToPolyline(const std::vector<Point>& line, double x, double y);
// Catmull-Rom curve through the given points, sampled into a dense polyline.
std::vector<Point> SmoothCurve(const std::vector<Point>& through, int samples_per_span = 16);

class Canvas {
 public:
  Canvas(int width, int height, Rgb fill = {});

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  Rgb& At(int x, int y) { return pixels_[Index(x, y)]; }
  const Rgb& At(int x, int y) const { return pixels_[Index(x, y)]; }
  // The pixel as it is written to a file: rounded and clamped, 0xRRGGBB.
  std::uint32_t PixelHex(int x, int y) const;

 private:
  std::size_t Index(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
           static_cast<std::size_t>(x);
  }

  int width_ = 0;
  int height_ = 0;
  std::vector<Rgb> pixels_;
};

// One number per pixel: height maps, masks, coverage.
class Field {
 public:
  Field(int width, int height, double fill = 0.0);

  int Width() const { return width_; }
  int Height() const { return height_; }
  double& At(int x, int y) { return values_[Index(x, y)]; }
  double At(int x, int y) const { return values_[Index(x, y)]; }
  // Reads outside the field repeat the nearest edge value.
  double Clamped(int x, int y) const;

 private:
  std::size_t Index(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
           static_cast<std::size_t>(x);
  }

  int width_ = 0;
  int height_ = 0;
  std::vector<double> values_;
};

Field GaussianBlur(const Field& source, double sigma);

// Palette picture: one index per pixel into a palette the writer knows.
struct IndexedImage {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> indices;
};

// Each pixel repeated `factor` times across and down: pixel art made larger
// keeps its hard edges, where any other scaling would blur them.
IndexedImage ScaledUp(const IndexedImage& image, int factor);

// SplitMix64: fixed seeds give the same pictures on every machine and every run, which
// std::uniform_*_distribution does not promise across standard libraries.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}

  std::uint64_t Next();
  // Uniform in [0, 1).
  double Unit();
  // Uniform in [low, high).
  double Range(double low, double high) { return low + (high - low) * Unit(); }
  // Uniform in [0, count).
  int Below(int count);

 private:
  std::uint64_t state_ = 0;
};

}  // namespace zephran::tools
