// What the report component writes its document over: nothing that exists
// unless the host asks (formula ReplaceOutput), never the database it
// prints from nor a read-only file, and never through a planted link.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/late_bound.h"
#include "tests/report/printed_invoice.h"

namespace tarvik::testing {
namespace {

using ::testing::HasSubstr;
namespace fs = std::filesystem;

std::string Contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class OutputFileTest : public PrintedInvoiceTest {
 protected:
  OutputFileTest() { MakeInvoice(600); }

  // Prints invoice 600 to `out`; True or False (the message in InfoMsg).
  bool PrintTo(const std::string& out, bool replace) {
    IDispatch* inv = invoice_.get();
    formulas_ = NewCollection();
    formulas_->Add(Variant::String(out), Variant::String("OutputFile"));
    if (replace) formulas_->Add(Variant::Boolean(true), Variant::String("ReplaceOutput"));
    InvokeByName(inv, "ReportFormula", CallKind::kSet, {Variant::Dispatch(formulas_.get())});
    InvokeByName(inv, "InvoiceNo", CallKind::kLet, {Variant::String("600")});
    InvokeByName(inv, "InvoiceReport", CallKind::kLet, {Variant::String("invoice.layout")});
    InvokeByName(inv, "ReportPath", CallKind::kLet,
                 {Variant::String(TARVIK_BUILD_DIR_DEFAULT "/reports")});
    InvokeByName(inv, "ShowMessageBox", CallKind::kLet, {Variant::Boolean(false)});
    return InvokeByName(inv, "PrintInvoice", CallKind::kMethod).ToBoolean();
  }
};

struct ExistingCase {
  const char* name;
  bool replace;
  mode_t mode;
  bool replaced;
  const char* reason;
};

class ExistingOutput : public OutputFileTest, public ::testing::WithParamInterface<ExistingCase> {};

TEST_P(ExistingOutput, IsReplacedOnlyWhenAskedAndWritable) {
  const std::string out = (dir_ / "taken.pdf").string();
  std::ofstream(out) << "earlier";
  ::chmod(out.c_str(), GetParam().mode);
  const bool printed = PrintTo(out, GetParam().replace);
  EXPECT_EQ(printed, GetParam().replaced) << InfoMsg();
  if (GetParam().replaced) {
    EXPECT_EQ(Contents(out).substr(0, 5), "%PDF-");
  } else {
    EXPECT_EQ(Contents(out), "earlier");
    EXPECT_THAT(InfoMsg(), HasSubstr(out));
    EXPECT_THAT(InfoMsg(), HasSubstr(GetParam().reason));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Targets, ExistingOutput,
    ::testing::Values(ExistingCase{"NotAsked", false, 0644, false, "already exists"},
                      ExistingCase{"Asked", true, 0644, true, ""},
                      ExistingCase{"ReadOnly", true, 0444, false, "read-only"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OutputFileTest, TheDatabaseIsNeverTheDocument) {
  if (db_.postgres()) GTEST_SKIP() << "a PostgreSQL database is no file";
  for (const std::string& out : {db_.path(), (dir_ / ".." / fs::path(db_.path()).parent_path().filename() /
                                              fs::path(db_.path()).filename()).string()}) {
    EXPECT_FALSE(PrintTo(out, true)) << out;
    EXPECT_THAT(InfoMsg(), HasSubstr("database"));
  }
  // The report tables were filled, so the file changed, but it is still the books.
  EXPECT_EQ(Contents(db_.path()).rfind("SQLite format 3", 0), 0u);
  EXPECT_TRUE(PrintTo((dir_ / "after.pdf").string(), false)) << InfoMsg();
}

TEST_F(OutputFileTest, APlantedPartFileIsNotWrittenThrough) {
  const fs::path victim = dir_ / "root-only";
  std::ofstream(victim) << "secret";
  ::chmod(victim.c_str(), 0600);
  const fs::path out = dir_ / "out.pdf";
  fs::create_symlink(victim, out.string() + ".part");
  ASSERT_TRUE(PrintTo(out.string(), false)) << InfoMsg();
  EXPECT_EQ(Contents(victim), "secret");
  EXPECT_FALSE(fs::is_symlink(out));
  EXPECT_EQ(Contents(out).substr(0, 5), "%PDF-");
}

TEST_F(OutputFileTest, ThePdfIsReadableButNotWritableByOthersWhateverTheUmask) {
  const mode_t old = ::umask(0);
  const bool printed = PrintTo((dir_ / "open.pdf").string(), false);
  ::umask(old);
  ASSERT_TRUE(printed) << InfoMsg();
  struct stat st {};
  ASSERT_EQ(::stat((dir_ / "open.pdf").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
}

}  // namespace
}  // namespace tarvik::testing
