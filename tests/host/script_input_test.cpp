// Script lines read with a bound: a line past it is skipped to its end.
#include "host/script/script_input.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace tarvik::host {
namespace {

std::vector<std::pair<LineRead, std::string>> ReadAll(const std::string& input, std::size_t limit) {
  std::istringstream in(input);
  std::vector<std::pair<LineRead, std::string>> out;
  std::string line;
  for (LineRead r; (r = ReadBoundedLine(in, line, limit)) != LineRead::kEnd;) out.emplace_back(r, line);
  return out;
}

TEST(ReadBoundedLine, LinesUpToTheLimitAreReadLongerOnesSkippedWhole) {
  using R = std::vector<std::pair<LineRead, std::string>>;
  const struct {
    std::string input;
    R expected;
  } cases[] = {
      {"", {}},
      {"\n", {{LineRead::kLine, ""}}},
      {"abcd\nx", {{LineRead::kLine, "abcd"}, {LineRead::kLine, "x"}}},
      {"abcde\nxy\n", {{LineRead::kTooLong, ""}, {LineRead::kLine, "xy"}}},
      {"abcdefghij", {{LineRead::kTooLong, ""}}},
      {"ab\nabcdefghij\n\nabcd", {{LineRead::kLine, "ab"}, {LineRead::kTooLong, ""}, {LineRead::kLine, ""},
                                   {LineRead::kLine, "abcd"}}},
  };
  for (const auto& c : cases) EXPECT_EQ(ReadAll(c.input, 4), c.expected) << c.input;
}

}  // namespace
}  // namespace tarvik::host
