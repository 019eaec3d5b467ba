// Draws the launcher window's pictures and writes them, with their resource list, into
// the folder given as the only argument. The output is the same byte for byte on every
// run, so regenerating only changes the files when the drawing code changes.

#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "tools/background.h"
#include "tools/image_files.h"
#include "tools/small_pictures.h"

namespace zephran::tools {
namespace {

const char* const kResourceList =
    "<RCC>\n"
    "  <qresource prefix=\"/assets\">\n"
    "    <file>background.bmp</file>\n"
    "    <file>check_off.bmp</file>\n"
    "    <file>check_on.bmp</file>\n"
    "    <file>icon-16.png</file>\n"
    "    <file>icon-32.png</file>\n"
    "    <file>icon-256.png</file>\n"
    "    <file>zephran.ico</file>\n"
    "  </qresource>\n"
    "</RCC>\n";

bool WriteAll(const std::filesystem::path& folder) {
  const IndexedImage icon_32 = DrawIconIndexed(32);
  const IndexedImage icon_16 = DrawIconIndexed(16);
  const auto& palette = WindowsPalette16();

  struct Output {
    const char* name;
    bool written;
  };
  const std::vector<Output> outputs = {
      {"background.bmp", WriteBmp24(folder / "background.bmp", DrawBackground())},
      {"check_off.bmp", WriteBmp24(folder / "check_off.bmp", DrawCheckOff())},
      {"check_on.bmp", WriteBmp24(folder / "check_on.bmp", DrawCheckOn())},
      {"zephran.ico", WriteBytes(folder / "zephran.ico", EncodeIco4({icon_32, icon_16}))},
      {"icon-16.png", WritePng(folder / "icon-16.png", ToCanvas(icon_16, palette))},
      {"icon-32.png", WritePng(folder / "icon-32.png", ToCanvas(icon_32, palette))},
      {"icon-256.png", WritePng(folder / "icon-256.png", DrawIconSmooth(256))},
      // Menus ask for 48 px and more. There the pixel art is repeated whole
      // pixels at a time, so it stays crisp and is the icon the window shows.
      {"icon-48.png", WritePng(folder / "icon-48.png", ToCanvas(ScaledUp(icon_16, 3), palette))},
      {"icon-64.png", WritePng(folder / "icon-64.png", ToCanvas(ScaledUp(icon_32, 2), palette))},
      {"icon-128.png", WritePng(folder / "icon-128.png", ToCanvas(ScaledUp(icon_32, 4), palette))},
      {"assets.qrc", WriteText(folder / "assets.qrc", kResourceList)},
  };
  bool all_written = true;
  for (const Output& output : outputs) {
    std::cout << (output.written ? "wrote " : "FAILED ") << (folder / output.name).string() << '\n';
    all_written = all_written && output.written;
  }
  return all_written;
}

}  // namespace
}  // namespace zephran::tools

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: draw_assets <assets folder>\n";
    return 2;
  }
  const std::filesystem::path folder(argv[1]);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) {
    std::cerr << "cannot create " << folder.string() << ": " << error.message() << '\n';
    return 1;
  }
  return zephran::tools::WriteAll(folder) ? 0 : 1;
}
