#include "core/numbers.h"

#include <gtest/gtest.h>

namespace zephran::core {
namespace {

TEST(ParseNumberTest, ReadsWhatAPlayerTypes) {
  struct Case {
    const char* text;
    std::optional<double> value;
  };
  const Case cases[] = {
      {"1", 1.0},
      {" 1 ", 1.0},
      {"\t1", 1.0},
      {"1.0", 1.0},
      {"+1", 1.0},
      {"-1", -1.0},
      {"0", 0.0},
      {"2", 2.0},
      {".5", 0.5},
      {"1e0", 1.0},
      {"640", 640.0},
      {"", std::nullopt},
      {" ", std::nullopt},
      {"yes", std::nullopt},
      {"1x", std::nullopt},
      {"1,0", std::nullopt},
      {"inf", std::nullopt},
      {"nan", std::nullopt},
      {"+", std::nullopt},
      {"--1", std::nullopt},
      {"0x1", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseNumber(c.text), c.value) << '"' << c.text << '"';
  }
}

}  // namespace
}  // namespace zephran::core
