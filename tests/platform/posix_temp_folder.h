#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/native_platform.h"

namespace zephran::test_support {

// A fresh folder under the temporary folder for each test, open to the
// unprivileged user some checks run as, and removed afterwards whatever
// permissions the test left on its contents.
class TempFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string name = (std::filesystem::temp_directory_path() / "zephran-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(name.data()), nullptr);
    root_ = std::filesystem::canonical(name);
    std::filesystem::permissions(root_, std::filesystem::perms(0755));
  }

  void TearDown() override {
    namespace fs = std::filesystem;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(root_, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
      if (!fs::is_symlink(it->symlink_status(error))) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
      }
    }
    fs::remove_all(root_, error);
  }

  // A file under the root with these bytes and modes, its folders created.
  std::filesystem::path Write(const std::filesystem::path& relative, std::string_view bytes,
                              unsigned mode = 0644) const {
    const std::filesystem::path path = root_ / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    std::filesystem::permissions(path, std::filesystem::perms(mode));
    return path;
  }

  static std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  std::filesystem::path root_;
};

}  // namespace zephran::test_support
