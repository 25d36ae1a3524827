// Nesting measured on the raw text, before any parser sees it.
#include "platform/json_nesting.h"

#include <gtest/gtest.h>

#include <string>

namespace tarvik {
namespace {

TEST(JsonNesting, CountsListsAndObjectsButNotTextOrEscapes) {
  const struct {
    std::string text;
    int limit;
    bool deeper;
  } cases[] = {
      {"1", 0, false},
      {"[]", 0, true},
      {"[]", 1, false},
      {R"({"a":[{"b":[]}]})", 4, false},
      {R"({"a":[{"b":[]}]})", 3, true},
      {"[[],[],[]]", 2, false},  // siblings do not add up
      {R"(["[[[[", "{{{{"])", 1, false},
      {R"(["\"[[[["])", 1, false},   // an escaped quote does not end the text
      {R"(["\\", [[]]])", 2, true},   // an escaped backslash does
      {"]]]][[", 1, true},           // stray closers do not buy depth
      {std::string(65, '[') + std::string(65, ']'), 64, true},
      {std::string(64, '[') + std::string(64, ']'), 64, false},
      {std::string(100000, '['), 64, true},  // unclosed
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NestedDeeperThan(c.text, c.limit), c.deeper) << c.text.substr(0, 40) << " limit " << c.limit;
  }
}

}  // namespace
}  // namespace tarvik
