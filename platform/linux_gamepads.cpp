#include "platform/linux_gamepads.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace zephran::platform {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kFirstPadButton = 0x120;  // BTN_JOYSTICK, BTN_TRIGGER
constexpr std::size_t kLastPadButton = 0x13e;   // BTN_THUMBR, the gamepad range's last

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  constexpr std::string_view kSpace = " \t\n";
  for (std::size_t start = text.find_first_not_of(kSpace); start != std::string_view::npos;) {
    const std::size_t end = std::min(text.find_first_of(kSpace, start), text.size());
    words.push_back(text.substr(start, end - start));
    start = text.find_first_not_of(kSpace, end);
  }
  return words;
}

// The whole of a small file, empty when it is gone; nullopt when it cannot
// be read.
std::optional<std::string> ReadSmallFile(const fs::path& path) {
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) {
    // A device unplugged since the folder was listed.
    return errno == ENOENT ? std::optional<std::string>("") : std::nullopt;
  }
  std::string text;
  char buffer[4096];
  ssize_t count = 0;
  while ((count = ::read(descriptor, buffer, sizeof buffer)) > 0) {
    text.append(buffer, static_cast<std::size_t>(count));
  }
  ::close(descriptor);
  if (count < 0) {
    return std::nullopt;
  }
  return text;
}

}  // namespace

bool HasPadButtons(std::string_view key_capabilities, int word_bits) {
  const std::vector<std::string_view> words = Words(key_capabilities);
  const auto bits = static_cast<std::size_t>(word_bits);
  for (std::size_t i = 0; i < words.size(); ++i) {
    // The last word holds bits 0 up.
    const std::size_t first_bit = (words.size() - 1 - i) * bits;
    const std::size_t from = std::max(first_bit, kFirstPadButton);
    const std::size_t to = std::min(first_bit + bits - 1, kLastPadButton);
    if (from > to) {
      continue;
    }
    std::uint64_t word = 0;
    const std::string_view digits = words[i];
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), word, 16);
    if (error != std::errc() || end != digits.data() + digits.size()) {
      continue;
    }
    for (std::size_t bit = from; bit <= to; ++bit) {
      if ((word >> (bit - first_bit)) & 1U) {
        return true;
      }
    }
  }
  return false;
}

bool GamepadMayBePresent(const fs::path& class_input) {
  std::error_code error;
  fs::directory_iterator entry(class_input, error);
  for (; !error && entry != fs::directory_iterator(); entry.increment(error)) {
    // The event devices are the ones SDL opens; each links to its input
    // device, which holds the capabilities.
    if (!entry->path().filename().string().starts_with("event")) {
      continue;
    }
    const std::optional<std::string> keys =
        ReadSmallFile(entry->path() / "device" / "capabilities" / "key");
    if (!keys || HasPadButtons(*keys)) {
      return true;
    }
  }
  return static_cast<bool>(error);
}

}  // namespace zephran::platform
