// The terminal boxes, the answer queues and the progress line, in process.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/ui/answers.h"
#include "host/ui/terminal_ui.h"
#include "platform/error.h"
#include "tests/host/tarvik_process.h"

namespace tarvik::host {
namespace {

using host_test::Contains;

struct BoxCase {
  int style;
  std::string typed;
  int answer;
  std::vector<std::string> shown;  // texts the prompt must contain
};

class TerminalMessageBoxTest : public ::testing::TestWithParam<BoxCase> {};

TEST_P(TerminalMessageBoxTest, ReadsTheAnswer) {
  const BoxCase& c = GetParam();
  std::istringstream in(c.typed);
  std::ostringstream out;
  TerminalUi ui(in, out);
  EXPECT_EQ(ui.MessageBox("Proceed with invoice 500?", c.style, "Delete Records"), c.answer);
  const std::string screen = out.str();
  EXPECT_NE(screen.find("Delete Records"), std::string::npos) << screen;
  EXPECT_NE(screen.find("Proceed with invoice 500?"), std::string::npos) << screen;
  for (const auto& s : c.shown) EXPECT_NE(screen.find(s), std::string::npos) << s << "\n" << screen;
}

INSTANTIATE_TEST_SUITE_P(
    Styles, TerminalMessageBoxTest,
    ::testing::Values(BoxCase{0, "\n", kIdOk, {"OK"}},
                      BoxCase{0, "", kIdOk, {}},  // end of input: the default
                      BoxCase{4, "\n", kIdYes, {"Yes", "No", "[Yes]"}},
                      BoxCase{4 + 256, "\n", kIdNo, {"[No]"}},
                      BoxCase{308, "", kIdNo, {"[Warning]"}},
                      BoxCase{308, "y\n", kIdYes, {}},
                      BoxCase{4, "  No \n", kIdNo, {}},
                      BoxCase{4, "2\n", kIdNo, {}},
                      BoxCase{4, "maybe\n9\nYES\n", kIdYes, {"Please answer"}},
                      BoxCase{3, "c\n", kIdCancel, {"Cancel"}},
                      BoxCase{1, "cancel\n", kIdCancel, {}},
                      BoxCase{16, "\n", kIdOk, {"[Error]"}},
                      BoxCase{64, "ok\n", kIdOk, {"[Information]"}}));

TEST(TerminalInputBoxTest, TypedTextDefaultAndCancel) {
  struct Case {
    std::string typed;
    std::string default_text;
    std::optional<std::string> answer;
  };
  const std::vector<Case> cases = {
      {"5001\n", "", "5001"},
      {"\n", "77", "77"},
      {"  spaced  \n", "", "  spaced  "},
      {"", "77", std::nullopt},
  };
  for (const auto& c : cases) {
    std::istringstream in(c.typed);
    std::ostringstream out;
    TerminalUi ui(in, out);
    EXPECT_EQ(ui.InputBox("New order number for order 1001:", "Back Order", c.default_text),
              c.answer)
        << c.typed;
    EXPECT_NE(out.str().find("New order number for order 1001:"), std::string::npos);
    EXPECT_NE(out.str().find("Back Order"), std::string::npos);
    if (!c.default_text.empty()) {
      EXPECT_NE(out.str().find("[" + c.default_text + "]"), std::string::npos);
    }
  }
}

TEST(TerminalUiTest, BoxesInARowShareTheInput) {
  std::istringstream in("n\n5001\ny\n");
  std::ostringstream out;
  TerminalUi ui(in, out);
  EXPECT_EQ(ui.MessageBox("First?", kMbYesNo, "t"), kIdNo);
  EXPECT_EQ(ui.InputBox("Number:", "t", ""), "5001");
  EXPECT_EQ(ui.MessageBox("Second?", kMbYesNo, "t"), kIdYes);
  EXPECT_EQ(ui.AppTitle(), kApplicationTitle);
}

TEST(ParseAnswersTest, ButtonsTextsAndCancels) {
  auto answers = ParseAnswers(nlohmann::json::parse(R"([6,"5001",null,7,""])"));
  ASSERT_EQ(answers.size(), 5u);
  EXPECT_TRUE(answers[0].is_button);
  EXPECT_EQ(answers[0].button, 6);
  EXPECT_FALSE(answers[1].is_button);
  EXPECT_EQ(answers[1].text, "5001");
  EXPECT_FALSE(answers[2].is_button);
  EXPECT_EQ(answers[2].text, std::nullopt);
  EXPECT_EQ(answers[3].button, 7);
  EXPECT_EQ(answers[4].text, "");
}

TEST(ParseAnswersTest, AnythingElseIsRefused) {
  for (const char* bad : {"{}", "5", "[-1]", "[1.5]", "[true]", "[[6]]", "[{\"b\":6}]"}) {
    EXPECT_THROW(ParseAnswers(nlohmann::json::parse(bad)), AutomationError) << bad;
  }
  EXPECT_THROW(ParseAnswersText("[6,"), AutomationError);
  EXPECT_EQ(ParseAnswersText("[]").size(), 0u);
}

TEST(ScriptedUiPlumbingTest, QueueAnswersBoxesAndListenerSeesEvents) {
  ScriptedUi ui;
  std::vector<std::string> lines;
  ui.SetListener([&](const UiEvent& e) { lines.push_back(EventJson(e).dump()); });
  ui.SetAnswers(ParseAnswersText(R"([6,"5001",null])"));
  EXPECT_EQ(ui.MessageBox("Create back orders?", kMbYesNo + kMbQuestion, "Back Order"), kIdYes);
  EXPECT_EQ(ui.InputBox("Order number:", "Back Order", "1"), "5001");
  EXPECT_EQ(ui.InputBox("Order number:", "Back Order", "2"), std::nullopt);
  // Queue used up: the default button, and input boxes cancel.
  EXPECT_EQ(ui.MessageBox("Delete?", 308, "Delete Records"), kIdNo);
  EXPECT_EQ(ui.InputBox("Again:", "Back Order", "3"), std::nullopt);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0],
            R"({"event":"msgbox","text":"Create back orders?","style":36,"title":"Back Order","answer":6})");
  EXPECT_EQ(lines[1],
            R"({"event":"inputbox","prompt":"Order number:","title":"Back Order","default":"1","answer":"5001"})");
  EXPECT_EQ(lines[2],
            R"({"event":"inputbox","prompt":"Order number:","title":"Back Order","default":"2","answer":null})");
  EXPECT_EQ(lines[3],
            R"({"event":"msgbox","text":"Delete?","style":308,"title":"Delete Records","answer":7})");
}

TEST(CommandUiTest, AnswersOnTheCommandLineMakeAScriptedUi) {
  auto ui = MakeCommandUi(std::string("[7]"));
  ASSERT_NE(dynamic_cast<ScriptedUi*>(ui.get()), nullptr);
  EXPECT_EQ(ui->MessageBox("Sure?", kMbYesNo, "t"), kIdNo);
  EXPECT_THROW(MakeCommandUi(std::string("[oops")), AutomationError);
}

TEST(ProgressLineTest, DrawsSpinnerAndBarOnlyWhenEnabled) {
  std::ostringstream shown;
  {
    host::ProgressLine line(shown, true);
    line.Begin("Creating invoices", 4);
    EXPECT_TRUE(Contains(shown.str(), "Creating invoices")) << shown.str();
    EXPECT_TRUE(Contains(shown.str(), "0/4")) << shown.str();
    line.Pump();
    line.Pump();
    line.ItemDone();
    line.ItemDone();
    EXPECT_EQ(line.pumps(), 2);
    const std::string last = shown.str().substr(shown.str().rfind('\r'));
    EXPECT_TRUE(Contains(last, "[##########..........] 2/4 50%")) << last;
    // More items done than there are stops at the end of the bar.
    for (int i = 0; i < 5; ++i) line.ItemDone();
    EXPECT_TRUE(Contains(shown.str().substr(shown.str().rfind('\r')), "4/4"));
    line.Relabel("Relieving stock");
    std::string relabelled = shown.str().substr(shown.str().rfind('\r'));
    EXPECT_TRUE(Contains(relabelled, "Relieving stock [####################] 4/4 100%"))
        << relabelled;
    line.Begin("Back-ordering", 0);
    const std::string fresh = shown.str().substr(shown.str().rfind('\r'));
    EXPECT_FALSE(Contains(fresh, "]")) << "spinner only: " << fresh;
    EXPECT_FALSE(Contains(fresh, "step")) << "nothing counted yet, nothing to say: " << fresh;
    line.Pump();
    line.Relabel("Back-ordering");
    const std::string counted = shown.str().substr(shown.str().rfind('\r'));
    EXPECT_TRUE(Contains(counted, " 1 step")) << "a new task counts again: " << counted;
  }
  EXPECT_EQ(shown.str().substr(shown.str().size() - 4), "\r\x1b[K") << "erased at the end";

  std::ostringstream quiet;
  host::ProgressLine off(quiet, false);
  off.ExpectPumps(10);
  off.Begin("Creating invoices", 3);
  off.Pump();
  off.ItemDone();
  off.Clear();
  EXPECT_EQ(off.pumps(), 1);
  EXPECT_TRUE(quiet.str().empty()) << quiet.str();
}

// A job whose pumps can be counted ahead shows a percentage, never 100%
// before it ends, and no bare count of steps.
TEST(ProgressLineTest, ExpectedPumpsGiveAPercentage) {
  std::ostringstream shown;
  host::ProgressLine line(shown, true);
  line.Begin("Creating invoices");
  line.ExpectPumps(10);
  auto last = [&] { return shown.str().substr(shown.str().rfind('\r')); };
  EXPECT_TRUE(Contains(last(), "[....................] 0%")) << last();
  for (int i = 0; i < 5; ++i) line.Pump();
  line.Relabel("Creating invoices");
  EXPECT_TRUE(Contains(last(), "[##########..........] 50%")) << last();
  EXPECT_FALSE(Contains(last(), "steps")) << last();
  for (int i = 0; i < 30; ++i) line.Pump();
  line.Relabel("Creating invoices");
  EXPECT_TRUE(Contains(last(), "99%")) << "more pumps than expected stop short of the end: " << last();
}

// A run whose first two thirds of work go by in a second and whose last
// third crawls (a commit per invoice) must not promise the end in moments.
TEST(ProgressLineTest, TimeLeftFollowsTheRecentPaceNotTheAverage) {
  std::ostringstream shown;
  auto now = std::chrono::steady_clock::time_point{};
  host::ProgressLine line(shown, true, [&] { return now; });
  line.Begin("Creating invoices");
  line.ExpectPumps(3000);
  auto pump = [&](int n, std::chrono::milliseconds each) {
    for (int i = 0; i < n; ++i) {
      now += each;
      line.Pump();
    }
  };
  pump(2000, std::chrono::milliseconds(0));  // the lines, in one transaction
  now += std::chrono::seconds(1);
  pump(60, std::chrono::milliseconds(100));  // 10 invoices a second from here on
  line.Relabel("Creating invoices");
  const std::string last = shown.str().substr(shown.str().rfind('\r'));
  // 940 pumps to go at 10 a second: about a minute and a half. The average
  // since the start would say 3 seconds.
  const auto at = last.find("about ");
  ASSERT_NE(at, std::string::npos) << last;
  const std::string left = last.substr(at + 6, last.find(" left") - at - 6);
  EXPECT_TRUE(left == "1m34s" || left == "1m33s" || left == "1m35s") << last;
}

TEST(ProgressUiTest, PumpsMoveTheLineAndBoxesStandOnAClearedLine) {
  std::ostringstream shown;
  host::ProgressLine line(shown, true);
  auto scripted = std::make_unique<ScriptedUi>();
  ScriptedUi* inner = scripted.get();
  inner->SetAnswers({{true, kIdNo, std::nullopt}, {false, 0, std::string("5001")}});
  host::ProgressUi ui(std::move(scripted), line);
  line.Begin("Saving");
  ui.DoEvents();
  ui.DoEvents();
  EXPECT_EQ(inner->pumps(), 2) << "the pump reaches the inner services";
  EXPECT_EQ(line.pumps(), 2);

  EXPECT_EQ(ui.MessageBox("Backorder now?", kMbYesNo, "Backorder"), kIdNo);
  EXPECT_EQ(shown.str().substr(shown.str().size() - 4), "\r\x1b[K");
  ui.DoEvents();
  EXPECT_EQ(ui.InputBox("New order number", "New Order Number", "1013"), "5001");
  EXPECT_EQ(shown.str().substr(shown.str().size() - 4), "\r\x1b[K");
  ASSERT_EQ(inner->events().size(), 2u);
  EXPECT_EQ(inner->events()[1].default_text, "1013");
  ui.SetMousePointer(kPointerBusy);
  EXPECT_EQ(inner->pointer(), kPointerBusy);
}

}  // namespace
}  // namespace tarvik::host
