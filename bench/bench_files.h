#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace zephran::bench {

// A fresh folder under the system's temporary folder ($TMPDIR), removed with
// everything in it when the object goes. The benchmarks of the real file
// system work in here, so they measure the disk the user's temporary files
// live on.
class TempFolder {
 public:
  explicit TempFolder(std::string_view stem);
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

void WriteFile(const std::filesystem::path& path, std::string_view bytes);
std::string ReadFile(const std::filesystem::path& path);

// Settings text of exactly `size` bytes (at least a few hundred): the game's
// [Display] section first, then filler sections such as tools and mods leave
// behind, and the [Audio] section with "Subtitles" last, so that reading or
// writing that key walks the whole file.
std::string MakeSettings(std::size_t size);

}  // namespace zephran::bench
