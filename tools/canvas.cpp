#include "tools/canvas.h"

#include <algorithm>
#include <cmath>

namespace zephran::tools {

Rgb Mix(Rgb a, Rgb b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb Scale(Rgb c, double k) {
  return {c.r * k, c.g * k, c.b * k};
}

Rgb Add(Rgb a, Rgb b) {
  return {a.r + b.r, a.g + b.g, a.b + b.b};
}

Rgb Screen(Rgb base, Rgb light) {
  const auto screen = [](double a, double b) {
    const double na = std::clamp(a, 0.0, 255.0) / 255.0;
    const double nb = std::clamp(b, 0.0, 255.0) / 255.0;
    return 255.0 * (1.0 - (1.0 - na) * (1.0 - nb));
  };
  return {screen(base.r, light.r), screen(base.g, light.g), screen(base.b, light.b)};
}

IndexedImage ScaledUp(const IndexedImage& image, int factor) {
  IndexedImage scaled{image.width * factor, image.height * factor, {}};
  scaled.indices.reserve(static_cast<std::size_t>(scaled.width * scaled.height));
  for (int y = 0; y < scaled.height; ++y) {
    for (int x = 0; x < scaled.width; ++x) {
      scaled.indices.push_back(
          image.indices[static_cast<std::size_t>((y / factor) * image.width + x / factor)]);
    }
  }
  return scaled;
}

double Clamp01(double v) {
  return std::clamp(v, 0.0, 1.0);
}

double SmoothStep(double edge0, double edge1, double v) {
  const double t = Clamp01((v - edge0) / (edge1 - edge0));
  return t * t * (3.0 - 2.0 * t);
}

double DistanceToPolyline(const std::vector<Point>& line, double x, double y) {
  if (line.empty()) {
    return 1e9;
  }
  double best = std::hypot(x - line.front().x, y - line.front().y);
  for (std::size_t i = 1; i < line.size(); ++i) {
    const Point a = line[i - 1];
    const Point b = line[i];
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double length_sq = dx * dx + dy * dy;
    double t = 0.0;
    if (length_sq > 0.0) {
      t = std::clamp(((x - a.x) * dx + (y - a.y) * dy) / length_sq, 0.0, 1.0);
    }
    best = std::min(best, std::hypot(x - (a.x + t * dx), y - (a.y + t * dy)));
  }
  return best;
}

std::vector<Point> SmoothCurve(const std::vector<Point>& through, int samples_per_span) {
  if (through.size() < 2) {
    return through;
  }
  std::vector<Point> result;
  const std::size_t last = through.size() - 1;
  for (std::size_t i = 0; i < last; ++i) {
    const Point p0 = through[i == 0 ? 0 : i - 1];
    const Point p1 = through[i];
    const Point p2 = through[i + 1];
    const Point p3 = through[std::min(i + 2, last)];
    for (int s = 0; s < samples_per_span; ++s) {
      const double t = static_cast<double>(s) / samples_per_span;
      const double t2 = t * t;
      const double t3 = t2 * t;
      const auto blend = [&](double a, double b, double c, double d) {
        return 0.5 * (2.0 * b + (c - a) * t + (2.0 * a - 5.0 * b + 4.0 * c - d) * t2 +
                      (3.0 * b - a - 3.0 * c + d) * t3);
      };
      result.push_back({blend(p0.x, p1.x, p2.x, p3.x), blend(p0.y, p1.y, p2.y, p3.y)});
    }
  }
  result.push_back(through.back());
  return result;
}

Canvas::Canvas(int width, int height, Rgb fill)
    : width_(width),
      height_(height),
      pixels_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill) {}

std::uint32_t Canvas::PixelHex(int x, int y) const {
  const Rgb c = At(x, y);
  const auto channel = [](double v) {
    return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 255.0)));
  };
  return (channel(c.r) << 16) | (channel(c.g) << 8) | channel(c.b);
}

Field::Field(int width, int height, double fill)
    : width_(width),
      height_(height),
      values_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), fill) {}

double Field::Clamped(int x, int y) const {
  return At(std::clamp(x, 0, width_ - 1), std::clamp(y, 0, height_ - 1));
}

Field GaussianBlur(const Field& source, double sigma) {
  const int radius = static_cast<int>(std::ceil(sigma * 3.0));
  std::vector<double> kernel;
  double total = 0.0;
  for (int i = -radius; i <= radius; ++i) {
    kernel.push_back(std::exp(-(i * i) / (2.0 * sigma * sigma)));
    total += kernel.back();
  }
  for (double& k : kernel) {
    k /= total;
  }

  Field across(source.Width(), source.Height());
  for (int y = 0; y < source.Height(); ++y) {
    for (int x = 0; x < source.Width(); ++x) {
      double sum = 0.0;
      for (int i = -radius; i <= radius; ++i) {
        sum += kernel[static_cast<std::size_t>(i + radius)] * source.Clamped(x + i, y);
      }
      across.At(x, y) = sum;
    }
  }
  Field result(source.Width(), source.Height());
  for (int y = 0; y < source.Height(); ++y) {
    for (int x = 0; x < source.Width(); ++x) {
      double sum = 0.0;
      for (int i = -radius; i <= radius; ++i) {
        sum += kernel[static_cast<std::size_t>(i + radius)] * across.Clamped(x, y + i);
      }
      result.At(x, y) = sum;
    }
  }
  return result;
}

std::uint64_t Rng::Next() {
  state_ += 0x9E3779B97F4A7C15ULL;
  std::uint64_t z = state_;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

double Rng::Unit() {
  return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0);
}

int Rng::Below(int count) {
  return count <= 0 ? 0 : static_cast<int>(Next() % static_cast<std::uint64_t>(count));
}

}  // namespace zephran::tools
