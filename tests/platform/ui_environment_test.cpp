// Unattended runs chosen by the environment: TARVIK_UI_ANSWERS answers the
// boxes in order, TARVIK_UI_LOG gets one event line per box.
#include "platform/ui_environment.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "platform/error.h"
#include "platform/ui_answers.h"
#include "tests/support/scoped_variable.h"

namespace tarvik {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing::ScopedVariable;

// A folder of its own per test, removed afterwards.
class UiEnvironmentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    dir_ = fs::temp_directory_path() /
           ("tarvik-ui-" + std::to_string(stamp) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string LogPath() const { return (dir_ / "boxes.log").string(); }

  static std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(ReadAll(path));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  fs::path dir_;
};

// One box and what it should get.
struct Box {
  UiEvent::Kind kind;
  std::string text;
  int style;
  std::string default_text;
  int answer;                         // message boxes
  std::optional<std::string> input;   // input boxes
};

void Show(UiServices& ui, const std::vector<Box>& boxes) {
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    const Box& b = boxes[i];
    SCOPED_TRACE("box " + std::to_string(i + 1) + ": " + b.text);
    if (b.kind == UiEvent::kMessageBox) {
      EXPECT_EQ(ui.MessageBox(b.text, b.style, "Title"), b.answer);
    } else {
      EXPECT_EQ(ui.InputBox(b.text, "Title", b.default_text), b.input);
    }
  }
}

// Answers in order; null cancels; once the list is used up the default
// button is taken (Yes, or No when it is the second default) and input
// boxes are cancelled; a number met by an input box is used up, cancelling it.
const std::vector<Box> kQueuedBoxes = {
    {UiEvent::kMessageBox, "Create a back order?", kMbYesNo | kMbQuestion, "", kIdNo, {}},
    {UiEvent::kInputBox, "First number?", 0, "500", 0, "5001"},
    {UiEvent::kInputBox, "Second number?", 0, "501", 0, std::nullopt},
    {UiEvent::kMessageBox, "Done.", kMbOk | kMbInformation, "", kIdOk, {}},
    {UiEvent::kInputBox, "A number met by an input box", 0, "", 0, std::nullopt},
    {UiEvent::kMessageBox, "Past the end", kMbYesNo, "", kIdYes, {}},
    {UiEvent::kMessageBox, "Past the end, No first", kMbYesNo | kMbDefaultButton2, "", kIdNo, {}},
    {UiEvent::kInputBox, "Past the end", 0, "7", 0, std::nullopt},
};
constexpr const char* kQueue = R"([7, "5001", null, 1, 6])";

TEST_F(UiEnvironmentTest, TheListAnswersTheBoxesInOrderThenTheDefaults) {
  ScopedVariable answers(kUiAnswersVariable, kQueue);
  ScopedVariable log(kUiLogVariable, std::nullopt);
  // Both ways in: the environment's services, and the process default.
  std::unique_ptr<UiServices> from_environment = MakeEnvironmentUi();
  ASSERT_NE(from_environment, nullptr);
  Show(*from_environment, kQueuedBoxes);
  std::unique_ptr<UiServices> by_default = MakeDefaultUi();
  ASSERT_NE(dynamic_cast<EnvironmentUi*>(by_default.get()), nullptr);
  Show(*by_default, kQueuedBoxes);
}

TEST_F(UiEnvironmentTest, NeitherVariableLeavesThePlatformDefault) {
  for (const char* empty : {static_cast<const char*>(nullptr), ""}) {
    SCOPED_TRACE(empty ? "empty" : "unset");
    const std::optional<std::string> value =
        empty ? std::optional<std::string>(empty) : std::nullopt;
    ScopedVariable answers(kUiAnswersVariable, value);
    ScopedVariable log(kUiLogVariable, value);
    EXPECT_FALSE(ReadUiEnvironment().chosen());
    EXPECT_EQ(MakeEnvironmentUi(), nullptr);
    std::unique_ptr<UiServices> ui = MakeDefaultUi();
    EXPECT_EQ(dynamic_cast<EnvironmentUi*>(ui.get()), nullptr);
#ifndef _WIN32
    // Windows has boxes of its own; elsewhere nobody could answer them.
    EXPECT_NE(dynamic_cast<NonInteractiveUi*>(ui.get()), nullptr);
#endif
  }
}

TEST_F(UiEnvironmentTest, TheLogAloneAnswersEveryBoxByDefault) {
  ScopedVariable answers(kUiAnswersVariable, std::nullopt);
  ScopedVariable log(kUiLogVariable, LogPath());
  std::unique_ptr<UiServices> ui = MakeDefaultUi();
  EXPECT_EQ(ui->MessageBox("Delete?", kMbYesNo | kMbDefaultButton2, "Delete Records"), kIdNo);
  EXPECT_EQ(ui->InputBox("Number?", "Invoice", "5"), std::nullopt);
  EXPECT_EQ(Lines(LogPath()).size(), 2u);
}

TEST_F(UiEnvironmentTest, EveryBoxIsAppendedAsOneEventLine) {
  std::ofstream(LogPath(), std::ios::binary) << "{\"event\":\"earlier\"}\n";
  ScopedVariable answers(kUiAnswersVariable, R"([7, "5001", null])");
  ScopedVariable log(kUiLogVariable, LogPath());
  std::unique_ptr<UiServices> ui = MakeEnvironmentUi();
  ASSERT_NE(ui, nullptr);
  ui->MessageBox("Are you sure you want to delete Invoice '42'?", 308, "Delete Records");
  ui->InputBox("Number for Müller\r\"quoted\"", "Invoice", "500");
  ui->InputBox("Again", "Invoice", "");
  ui->MessageBox("Past the end", kMbExclamation, "Warning");

  EXPECT_THAT(Lines(LogPath()),
              ::testing::ElementsAre(
                  R"({"event":"earlier"})",
                  R"({"event":"msgbox","text":"Are you sure you want to delete Invoice '42'?","style":308,"title":"Delete Records","answer":7})",
                  R"({"event":"inputbox","prompt":"Number for Müller\r\"quoted\"","title":"Invoice","default":"500","answer":"5001"})",
                  R"({"event":"inputbox","prompt":"Again","title":"Invoice","default":"","answer":null})",
                  R"({"event":"msgbox","text":"Past the end","style":48,"title":"Warning","answer":1})"));
  // A second object of the same run appends after the first's lines.
  std::unique_ptr<UiServices> second = MakeEnvironmentUi();
  second->MessageBox("Second object", kMbYesNo, "T");
  const std::vector<std::string> lines = Lines(LogPath());
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines.back(), R"({"event":"msgbox","text":"Second object","style":4,"title":"T","answer":7})");
  EXPECT_EQ(ReadAll(LogPath()).back(), '\n');
}

TEST_F(UiEnvironmentTest, TextThatIsNotUtf8IsLoggedReplacedNotThrown) {
  UiEnvironment environment{std::nullopt, LogPath()};
  EnvironmentUi ui(environment);
  EXPECT_EQ(ui.MessageBox("bad \xff byte", kMbOk, "T"), kIdOk);
  const json line = json::parse(Lines(LogPath()).at(0));
  EXPECT_EQ(line["text"], "bad \xEF\xBF\xBD byte");
}

// Whatever the list's fault, it is said once and every box takes its default.
TEST_F(UiEnvironmentTest, ABadListIsReportedOnceAndBoxesTakeTheirDefaults) {
  const struct {
    const char* answers;
    const char* reason;
  } cases[] = {
      {"[6,", "not valid JSON"},
      {"yes", "not valid JSON"},
      {R"({"a":1})", "must be a JSON list"},
      {"6", "must be a JSON list"},
      {"[6, 1.5]", "answer 2 must be a button number, a text or null, got 1.5"},
      {"[-1]", "answer 1 must be"},
      {"[true]", "answer 1 must be"},
      {"[[6]]", "answer 1 must be"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answers);
    std::vector<std::string> reports;
    EnvironmentUi ui(UiEnvironment{c.answers, std::nullopt},
                     [&](const std::string& message) { reports.push_back(message); });
    EXPECT_EQ(ui.MessageBox("Delete?", kMbYesNo | kMbDefaultButton2, "T"), kIdNo);
    EXPECT_EQ(ui.MessageBox("Go on?", kMbYesNo, "T"), kIdYes);
    EXPECT_EQ(ui.InputBox("Number?", "T", "5"), std::nullopt);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_THAT(reports[0], ::testing::HasSubstr(kUiAnswersVariable));
    EXPECT_THAT(reports[0], ::testing::HasSubstr(c.reason));
  }
}

TEST_F(UiEnvironmentTest, ABadListFromTheEnvironmentGoesToStandardError) {
  ScopedVariable answers(kUiAnswersVariable, "[6,");
  ScopedVariable log(kUiLogVariable, LogPath());
  ::testing::internal::CaptureStderr();
  std::unique_ptr<UiServices> ui = MakeDefaultUi();
  const int first = ui->MessageBox("Delete?", kMbYesNo, "T");
  const int second = ui->MessageBox("Really?", kMbYesNo | kMbDefaultButton2, "T");
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(first, kIdYes);
  EXPECT_EQ(second, kIdNo);
  EXPECT_EQ(err,
            "TarvikInvoice: TARVIK_UI_ANSWERS ignored, every box takes its default: answers are "
            "not valid JSON: [6,\n");
  // The boxes are still logged.
  EXPECT_EQ(Lines(LogPath()).size(), 2u);
}

TEST_F(UiEnvironmentTest, ALogThatCannotBeWrittenIsReportedOnceAndAnswersGoOn) {
  const std::string missing = (dir_ / "no such folder" / "boxes.log").string();
  std::vector<std::string> reports;
  EnvironmentUi ui(UiEnvironment{"[7, \"12\"]", missing},
                   [&](const std::string& message) { reports.push_back(message); });
  EXPECT_EQ(ui.MessageBox("Delete?", kMbYesNo, "T"), kIdNo);
  EXPECT_EQ(ui.InputBox("Number?", "T", ""), "12");
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_THAT(reports[0], ::testing::HasSubstr(missing));
  // Once the folder is there the log picks up again.
  fs::create_directories(fs::path(missing).parent_path());
  ui.MessageBox("Later", kMbOk, "T");
  EXPECT_EQ(Lines(missing).size(), 1u);
  EXPECT_EQ(reports.size(), 1u);
}

// Two objects (two ScriptedUi behind them) writing one log at once, with
// lines longer than any stdio buffer: every line stays whole and each
// writer's lines keep their order.
TEST_F(UiEnvironmentTest, TwoWritersSharingOneLogKeepWholeLines) {
  constexpr int kBoxes = 150;
  const std::string long_text(20000, 'x');
  auto writer = [&](const std::string& who) {
    EnvironmentUi ui(UiEnvironment{std::nullopt, LogPath()});
    for (int i = 0; i < kBoxes; ++i) ui.MessageBox(who + " " + std::to_string(i) + " " + long_text, kMbOk, who);
  };
  std::thread a(writer, "a");
  std::thread b(writer, "b");
  a.join();
  b.join();

  const std::vector<std::string> lines = Lines(LogPath());
  ASSERT_EQ(lines.size(), 2u * kBoxes);
  int next_a = 0;
  int next_b = 0;
  for (const std::string& line : lines) {
    const json event = json::parse(line, nullptr, false);
    ASSERT_FALSE(event.is_discarded()) << line.substr(0, 80);
    const std::string who = event["title"];
    int& next = who == "a" ? next_a : next_b;
    EXPECT_EQ(event["text"], who + " " + std::to_string(next) + " " + long_text);
    ++next;
  }
  EXPECT_EQ(next_a, kBoxes);
  EXPECT_EQ(next_b, kBoxes);
}

TEST(UiAnswers, TheListReadsAsButtonsTextsAndCancels) {
  const std::vector<ScriptedUi::Answer> answers = ParseUiAnswers(R"([6, "5001", null, 0, ""])");
  ASSERT_EQ(answers.size(), 5u);
  EXPECT_TRUE(answers[0].is_button);
  EXPECT_EQ(answers[0].button, kIdYes);
  EXPECT_FALSE(answers[1].is_button);
  EXPECT_EQ(answers[1].text, "5001");
  EXPECT_FALSE(answers[2].is_button);
  EXPECT_EQ(answers[2].text, std::nullopt);
  EXPECT_TRUE(answers[3].is_button);
  EXPECT_EQ(answers[3].button, 0);
  EXPECT_EQ(answers[4].text, "");
  EXPECT_TRUE(ParseUiAnswers("[]").empty());
}

TEST(UiAnswers, AFaultIsErrorFiveNamingIt) {
  const struct {
    const char* text;
    const char* description;
  } cases[] = {
      {"", "answers are not valid JSON: "},
      {"[6", "answers are not valid JSON: [6"},
      {R"("6")", R"(answers must be a JSON list, got "6")"},
      {"[6, 2147483648]", "answer 2 must be a button number, a text or null, got 2147483648"},
      {R"([{"a":1}])", R"(answer 1 must be a button number, a text or null, got {"a":1})"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      ParseUiAnswers(c.text);
      ADD_FAILURE() << "accepted";
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.number(), kErrInvalidProcedureCall);
      EXPECT_EQ(e.description(), c.description);
    }
  }
}

}  // namespace
}  // namespace tarvik
