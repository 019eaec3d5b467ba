#include "tools/image_files.h"

#include <QImage>
#include <QString>

#include <fstream>
#include <string>

namespace zephran::tools {
namespace {

constexpr std::uint32_t kBitmapInfoHeaderSize = 40;
// 96 dots per inch expressed as the pixels per metre the header wants.
constexpr std::uint32_t kPixelsPerMetre = 3780;

void Put16(Bytes& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void Put32(Bytes& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

std::uint32_t RowStride(int width, int bits_per_pixel) {
  const auto bits = static_cast<std::uint32_t>(width) * static_cast<std::uint32_t>(bits_per_pixel);
  return ((bits + 31) / 32) * 4;
}

void PutInfoHeader(Bytes& out, int width, int stored_height, int bits_per_pixel,
                   std::uint32_t image_size, std::uint32_t pixels_per_metre) {
  Put32(out, kBitmapInfoHeaderSize);
  Put32(out, static_cast<std::uint32_t>(width));
  Put32(out, static_cast<std::uint32_t>(stored_height));
  Put16(out, 1);  // planes
  Put16(out, static_cast<std::uint32_t>(bits_per_pixel));
  Put32(out, 0);  // BI_RGB: uncompressed
  Put32(out, image_size);
  Put32(out, pixels_per_metre);
  Put32(out, pixels_per_metre);
  Put32(out, 0);  // every palette entry used
  Put32(out, 0);  // every colour important
}

Bytes EncodeIcoImage(const IndexedImage& image) {
  const std::uint32_t xor_stride = RowStride(image.width, 4);
  const std::uint32_t and_stride = RowStride(image.width, 1);
  const auto height = static_cast<std::uint32_t>(image.height);
  Bytes out;
  // An icon's header counts the colour rows and the mask rows together.
  PutInfoHeader(out, image.width, image.height * 2, 4, (xor_stride + and_stride) * height, 0);
  for (const std::uint32_t colour : WindowsPalette16()) {
    out.push_back(static_cast<std::uint8_t>(colour & 0xFF));
    out.push_back(static_cast<std::uint8_t>((colour >> 8) & 0xFF));
    out.push_back(static_cast<std::uint8_t>((colour >> 16) & 0xFF));
    out.push_back(0);
  }
  for (int y = image.height - 1; y >= 0; --y) {
    Bytes row(xor_stride, 0);
    for (int x = 0; x < image.width; ++x) {
      const std::uint8_t index =
          image.indices[static_cast<std::size_t>(y * image.width + x)] & 0x0F;
      row[static_cast<std::size_t>(x / 2)] |=
          static_cast<std::uint8_t>(x % 2 == 0 ? index << 4 : index);
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  out.insert(out.end(), static_cast<std::size_t>(and_stride * height), 0);
  return out;
}

}  // namespace

const std::array<std::uint32_t, 16>& WindowsPalette16() {
  static const std::array<std::uint32_t, 16> palette = {
      0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
      0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  return palette;
}

Bytes EncodeIco4(const std::vector<IndexedImage>& images) {
  constexpr std::uint32_t kDirectoryHeaderSize = 6;
  constexpr std::uint32_t kDirectoryEntrySize = 16;
  std::vector<Bytes> encoded;
  for (const IndexedImage& image : images) {
    encoded.push_back(EncodeIcoImage(image));
  }

  Bytes out;
  Put16(out, 0);  // reserved
  Put16(out, 1);  // resource type: icon
  Put16(out, static_cast<std::uint32_t>(images.size()));
  std::uint32_t offset =
      kDirectoryHeaderSize + kDirectoryEntrySize * static_cast<std::uint32_t>(images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    // A stored 0 means 256 in the one-byte size fields.
    out.push_back(static_cast<std::uint8_t>(images[i].width & 0xFF));
    out.push_back(static_cast<std::uint8_t>(images[i].height & 0xFF));
    out.push_back(16);  // colours in the palette
    out.push_back(0);   // reserved
    Put16(out, 1);      // planes
    Put16(out, 4);      // bits per pixel
    Put32(out, static_cast<std::uint32_t>(encoded[i].size()));
    Put32(out, offset);
    offset += static_cast<std::uint32_t>(encoded[i].size());
  }
  for (const Bytes& image : encoded) {
    out.insert(out.end(), image.begin(), image.end());
  }
  return out;
}

Canvas ToCanvas(const IndexedImage& image, const std::array<std::uint32_t, 16>& palette) {
  Canvas canvas(image.width, image.height);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const std::uint8_t index = image.indices[static_cast<std::size_t>(y * image.width + x)];
      canvas.At(x, y) = FromHex(palette[index & 0x0F]);
    }
  }
  return canvas;
}

bool WriteBytes(const std::filesystem::path& file, const Bytes& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool WriteText(const std::filesystem::path& file, const std::string& text) {
  return WriteBytes(file, Bytes(text.begin(), text.end()));
}

namespace {

QImage ToQImage(const Canvas& picture, QImage::Format format) {
  QImage image(picture.Width(), picture.Height(), format);
  for (int y = 0; y < picture.Height(); ++y) {
    for (int x = 0; x < picture.Width(); ++x) {
      image.setPixel(x, y, 0xFF000000U | picture.PixelHex(x, y));
    }
  }
  return image;
}

QString QtPath(const std::filesystem::path& file) {
  return QString::fromStdU16String(file.u16string());
}

}  // namespace

bool WriteBmp24(const std::filesystem::path& file, const Canvas& picture) {
  // Qt writes an image without a palette as an uncompressed, bottom-up,
  // 24-bit BMP with the image's own resolution.
  QImage image = ToQImage(picture, QImage::Format_RGB888);
  image.setDotsPerMeterX(kPixelsPerMetre);
  image.setDotsPerMeterY(kPixelsPerMetre);
  return image.save(QtPath(file), "BMP");
}

bool WritePng(const std::filesystem::path& file, const Canvas& picture) {
  return ToQImage(picture, QImage::Format_RGB32).save(QtPath(file), "PNG");
}

}  // namespace zephran::tools
