// Every seed of every fuzz target's corpus, run through the target in the
// ordinary build: the seeds (reproducers of fixed faults among them) keep
// holding without clang, and the invariant checks are tested on bad pairs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "fuzz/fuzz_targets.h"

#if defined(__SANITIZE_ADDRESS__) && __has_include(<sanitizer/lsan_interface.h>)
#include <sanitizer/lsan_interface.h>
#define TARVIK_LEAK_CHECKED 1
#endif

namespace tarvik::fuzz {
namespace {

std::string Contents(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

class CorpusReplay : public ::testing::TestWithParam<Target> {};

TEST_P(CorpusReplay, EverySeedKeepsTheInvariants) {
  const Target& target = GetParam();
  const std::filesystem::path folder = std::filesystem::path(TARVIK_SOURCE_DIR) / "fuzz/corpus" / target.name;
  ASSERT_TRUE(std::filesystem::is_directory(folder)) << folder;
  int seeds = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    const std::string input = Contents(entry.path());
    ++seeds;
    try {
#ifdef TARVIK_LEAK_CHECKED
      // A script may add a Collection to itself: a reference cycle that never
      // frees, as in any reference-counted automation host.
      __lsan::ScopedDisabler cycles_are_allowed;
#endif
      target.run(input);
    } catch (const InvariantBroken& e) {
      ADD_FAILURE() << entry.path().filename() << ": " << e.what();
    } catch (const std::exception& e) {
      ADD_FAILURE() << entry.path().filename() << ": escaped " << e.what();
    }
  }
  EXPECT_GT(seeds, 0);
}

INSTANTIATE_TEST_SUITE_P(Targets, CorpusReplay, ::testing::ValuesIn(kTargets),
                         [](const ::testing::TestParamInfo<Target>& info) { return std::string(info.param.name); });

// The translation check itself must refuse what a faulty translator could give.
TEST(CheckTranslation, RefusesBrokenTranslations) {
  struct Case {
    const char* input;
    const char* output;
    data::Dialect dialect;
  };
  const Case bad[] = {
      {"SELECT 'a' FROM t", "SELECT 'b' FROM t", data::Dialect::kSqlite},            // a string changed
      {"SELECT #1/2/2003#", "SELECT #1/2/2003#", data::Dialect::kSqlite},            // a date left as it was
      {"SELECT x FROM t WHERE a = ?", "SELECT x FROM t WHERE a = ?", data::Dialect::kPostgres},  // marker left
      {"SELECT 'it''s' -- c", "SELECT 'it''s'", data::Dialect::kSqlite},             // a comment dropped
  };
  for (const Case& c : bad) {
    EXPECT_THROW(CheckTranslation(c.input, c.output, c.dialect), InvariantBroken) << c.input;
  }
  EXPECT_NO_THROW(CheckTranslation("SELECT 'a' FROM t", "SELECT 'a' FROM t", data::Dialect::kSqlite));
}

}  // namespace
}  // namespace tarvik::fuzz
