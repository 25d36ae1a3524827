// The text rules of printed invoices: what is dropped, what is cleaned,
// how dates and percentages read, where a text may be broken.
#include <gtest/gtest.h>

#include "components/report/printable_text.h"
#include "components/report/text_template.h"
#include "platform/limits.h"
#include "platform/regional.h"

namespace tarvik::testing {
namespace {

using components::report::FormatStyle;
using components::report::PrintableText;
using components::report::TextTemplate;
using components::report::UnbreakablePieces;

std::string Expand(const std::string& text, const FormatStyle& style = {}) {
  TextTemplate t(text, 1);
  return t.Expand(
      [](const std::string& name) -> std::optional<data::Value> {
        if (name == "empty") return data::Value{};
        if (name == "blank") return data::Value(std::string());
        if (name == "rate") return data::Value(8.25);
        if (name == "day") return data::Value(data::DateValue{*regional::ToOleDate({2026, 3, 4})});
        if (name == "name") return data::Value(std::string("Kivi"));
        return std::nullopt;
      },
      style);
}

TEST(TextRules, ALineWhosePlaceholdersAreAllEmptyGoesWithItsLabel) {
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"Ship date: {empty}", ""},
      {"A: {name}\nShip date: {empty}\nB: {name}", "A: Kivi\nB: Kivi"},
      {"Ship date: {empty}\nB: {name}", "B: Kivi"},
      {"B: {name}\nShip date: {blank}", "B: Kivi"},
      {"{empty} {name}", " Kivi"},
      {"Literal line\n{empty}", "Literal line"},
      {"Tax at {rate:percent}", "Tax at 8.25%"},
  };
  for (const auto& c : cases) EXPECT_EQ(Expand(c.text), c.expected) << c.text;
}

TEST(TextRules, DatesFollowTheSettingAndAreIsoOtherwise) {
  EXPECT_EQ(Expand("{day:date}"), "2026-03-04");
  EXPECT_EQ(Expand("{day:date}", {"DD.MM.YYYY"}), "04.03.2026");
  EXPECT_EQ(Expand("{day:date}", {"D MMM YYYY"}), "4 Mar 2026");
  EXPECT_EQ(Expand("{day:date}", {"nonsense"}), "2026-03-04");
}

TEST(TextRules, ControlCharactersAreNeverPrinted) {
  EXPECT_EQ(PrintableText("a\tb\x01" "c\x7f" "d\n" "e", false), "a bcd e");
  EXPECT_EQ(PrintableText("a\nb\r\nc", true), "a\nb \nc");
  EXPECT_EQ(PrintableText("\xC2\x85x\xC2\x9F", false), "x") << "C1 controls";
  EXPECT_EQ(PrintableText("ok \xFF\xC3", false), "ok \xEF\xBF\xBD\xEF\xBF\xBD") << "broken UTF-8";
  EXPECT_EQ(PrintableText("Ωμέγα 日本 🔩", false), "Ωμέγα 日本 🔩");
}

// A stored text of any size reaches the page cut to the limit, never split
// inside a character, and says that it was cut.
TEST(TextRules, TextsLongerThanTheLimitAreCutWithAnEllipsis) {
  const std::string ellipsis = "\xE2\x80\xA6";
  const std::string at_limit(kMaxTextBytes, 'x');
  EXPECT_EQ(PrintableText(at_limit, false), at_limit);
  const std::string over = PrintableText(std::string(4 * kMaxTextBytes, 'y'), false);
  EXPECT_EQ(over, std::string(kMaxTextBytes, 'y') + ellipsis);
  // Three-byte characters do not end on the limit: the last one is whole.
  std::string wide;
  while (wide.size() < 2 * kMaxTextBytes) wide += "\xE2\x82\xAC";  // the euro sign
  const std::string cut = PrintableText(wide, false);
  ASSERT_GT(cut.size(), kMaxTextBytes);
  EXPECT_LE(cut.size(), kMaxTextBytes + 2 + ellipsis.size());
  EXPECT_EQ(cut.substr(cut.size() - ellipsis.size()), ellipsis);
  EXPECT_EQ((cut.size() - ellipsis.size()) % 3, 0u) << "a character was split";
}

TEST(TextRules, TextsBreakOnlyAtSpacesAndBetweenCjkCharacters) {
  using V = std::vector<std::string>;
  EXPECT_EQ(UnbreakablePieces("BOLT-10 x 1,234,567.89"), (V{"BOLT-10", "x", "1,234,567.89"}));
  EXPECT_EQ(UnbreakablePieces("  two  spaces\nline "), (V{"two", "spaces", "line"}));
  EXPECT_EQ(UnbreakablePieces("Größe日本AB"), (V{"Größe", "日", "本", "AB"}));
}

}  // namespace
}  // namespace tarvik::testing
