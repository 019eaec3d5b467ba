#include "bench/bench_files.h"

#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace zephran::bench {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kHead =
    "[Display]\r\nScreenWidth=400\r\nScreenHeight=300\r\nFullScreen=0\r\nVideoWidth=512\r\n"
    "VideoHeight=384\r\nCinemaScope=1\r\nBitsPerPixel=16\r\nGamma=4\r\n\r\n";
constexpr std::string_view kTail = "[Audio]\r\nMusicVolume=80\r\nSubtitles=1\r\n";

std::string FillerSection(std::size_t number) {
  std::string section = "[Extra" + std::to_string(number) + "]\r\n";
  for (int key = 0; key < 8; ++key) {
    section += "Key" + std::to_string(key) + " = some value of moderate length\r\n";
  }
  return section + "; a comment line\r\n\r\n";
}

}  // namespace

TempFolder::TempFolder(std::string_view stem) {
  std::string name = (fs::temp_directory_path() / (std::string(stem) + "-XXXXXX")).string();
  if (::mkdtemp(name.data()) == nullptr) {
    throw std::runtime_error("cannot create a temporary folder in " + name);
  }
  path_ = name;
}

TempFolder::~TempFolder() {
  std::error_code error;
  fs::remove_all(path_, error);
}

void WriteFile(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    throw std::runtime_error("cannot write " + path.string());
  }
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::string MakeSettings(std::size_t size) {
  std::string text(kHead);
  std::size_t number = 0;
  while (text.size() + kTail.size() < size) {
    text += FillerSection(number++);
  }
  // Cut the last filler back so the size comes out exact. Ending the cut with
  // a line break keeps whatever line it falls in a line of its own, so the
  // [Audio] section still starts on a line of its own.
  const std::size_t body = size > kHead.size() + kTail.size() ? size - kTail.size() : kHead.size();
  text.resize(body);
  if (text.size() > kHead.size()) {
    text.back() = '\n';
    if (text.size() >= 2) {
      text[text.size() - 2] = '\r';
    }
  }
  return text + std::string(kTail);
}

}  // namespace zephran::bench
