#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/canvas.h"

// Writers for the formats the window loads. The ICO is written by hand: the
// window needs a 4-bit icon with the standard palette, and Qt's writer chooses
// its own depth. Qt writes the BMPs and PNGs.
namespace zephran::tools {

using Bytes = std::vector<std::uint8_t>;

// The standard 16-colour Windows palette, 0xRRGGBB, in its usual index order.
const std::array<std::uint32_t, 16>& WindowsPalette16();

// Uncompressed, bottom-up, 24 bits per pixel, 96 dots per inch.
bool WriteBmp24(const std::filesystem::path& file, const Canvas& picture);

// One ICO holding every image in the given order, each 4 bits per pixel with the
// standard palette and an all-zero (fully opaque) AND mask. Sizes must be 1..256.
Bytes EncodeIco4(const std::vector<IndexedImage>& images);

Canvas ToCanvas(const IndexedImage& image, const std::array<std::uint32_t, 16>& palette);

bool WriteBytes(const std::filesystem::path& file, const Bytes& bytes);
bool WriteText(const std::filesystem::path& file, const std::string& text);
bool WritePng(const std::filesystem::path& file, const Canvas& picture);

}  // namespace zephran::tools
