#pragma once

#include <array>
#include <string_view>

// The eight writes of a launch in the order a launch makes them, with two
// sets of choices that differ in every value, so that each write changes the
// file and every state between two launches can be told apart.
namespace zephran::testing {

struct ProfileWrite {
  std::string_view section;
  std::string_view key;
  std::string_view value;
};

using LaunchWrites = std::array<ProfileWrite, 8>;

inline constexpr LaunchWrites kFullScreenLaunch{{
    {"Display", "ScreenWidth", "640"},
    {"Display", "ScreenHeight", "480"},
    {"Display", "FullScreen", "1"},
    {"Display", "VideoWidth", "640"},
    {"Display", "VideoHeight", "480"},
    {"Display", "CinemaScope", "0"},
    {"Audio", "Subtitles", "0"},
    {"Display", "BitsPerPixel", "16"},
}};

inline constexpr LaunchWrites kWindowedLaunch{{
    {"Display", "ScreenWidth", "320"},
    {"Display", "ScreenHeight", "240"},
    {"Display", "FullScreen", "0"},
    {"Display", "VideoWidth", "400"},
    {"Display", "VideoHeight", "300"},
    {"Display", "CinemaScope", "1"},
    {"Audio", "Subtitles", "1"},
    {"Display", "BitsPerPixel", "32"},
}};

}  // namespace zephran::testing
