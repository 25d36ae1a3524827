// Where layouts come from and what is read of them: only regular files of
// bounded size, only from where they were installed or a folder named in
// full, and nothing a file holds ever comes back in a message.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "components/report/layout.h"
#include "platform/error.h"
#include "platform/late_bound.h"
#include "tests/report/printed_invoice.h"

namespace tarvik::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
namespace fs = std::filesystem;
namespace report = components::report;

constexpr const char* kSecret = "S3CRET";

class LayoutSourceTest : public PrintedInvoiceTest {
 protected:
  // PrintInvoice with the report path and file as given; True or False.
  bool PrintWith(int number, const std::string& report_path, const std::string& report_file) {
    IDispatch* inv = invoice_.get();
    formulas_ = NewCollection();
    formulas_->Add(Variant::String((dir_ / ("invoice-" + std::to_string(number) + ".pdf")).string()),
                   Variant::String("OutputFile"));
    InvokeByName(inv, "ReportFormula", CallKind::kSet, {Variant::Dispatch(formulas_.get())});
    InvokeByName(inv, "InvoiceNo", CallKind::kLet, {Variant::String(std::to_string(number))});
    InvokeByName(inv, "InvoiceReport", CallKind::kLet, {Variant::String(report_file)});
    InvokeByName(inv, "ReportPath", CallKind::kLet, {Variant::String(report_path)});
    InvokeByName(inv, "ShowMessageBox", CallKind::kLet, {Variant::Boolean(false)});
    return InvokeByName(inv, "PrintInvoice", CallKind::kMethod).ToBoolean();
  }
};

// A file that is no layout, named as one: a password file, or a layout
// with a secret where a name or value belongs. The message names the file
// and the line, and quotes none of it.
struct SecretCase {
  const char* name;
  std::string text;
};

class SecretInALayout : public LayoutSourceTest, public ::testing::WithParamInterface<SecretCase> {};

TEST_P(SecretInALayout, IsNeverEchoed) {
  const std::string file = (dir_ / "named.layout").string();
  std::ofstream(file) << GetParam().text;
  MakeInvoice(530);
  EXPECT_FALSE(PrintWith(530, "", file));
  EXPECT_THAT(InfoMsg(), HasSubstr(file));
  EXPECT_THAT(InfoMsg(), Not(HasSubstr(kSecret)));
}

const std::string kColumnLine = "column head=\"Item\" value=\"{item_number}\"\n";

INSTANTIATE_TEST_SUITE_P(
    Files, SecretInALayout,
    ::testing::Values(
        SecretCase{"PasswordFile", "root:$6$S3CRET:19000:0:99999:7:::\ndaemon:*:19000::::::\n"},
        SecretCase{"Keyword", kColumnLine + "S3CRET value=x\n"},
        SecretCase{"AttributeName", kColumnLine + "footer S3CRET=x value=y\n"},
        SecretCase{"AttributeWithoutValue", kColumnLine + "footer S3CRET\n"},
        SecretCase{"RepeatedAttribute", kColumnLine + "footer S3CRET=1 S3CRET=2\n"},
        SecretCase{"PageSize", kColumnLine + "page size=S3CRET\n"},
        SecretCase{"Margin", kColumnLine + "page margin=S3CRET\n"},
        SecretCase{"Align", kColumnLine + "text value=x align=S3CRET\n"},
        SecretCase{"FontRole", kColumnLine + "text font=S3CRET value=x\n"},
        SecretCase{"PlaceholderName", kColumnLine + "footer value=\"{S3CRET-x}\"\n"},
        SecretCase{"PlaceholderFormat", kColumnLine + "footer value=\"{page:S3CRET}\"\n"},
        SecretCase{"UnknownField", kColumnLine + "footer value=\"{S3CRET}\"\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// What is not a regular file, or too large, is refused before it is read:
// a FIFO would hang the print, /dev/zero would read until memory runs out.
struct SourceCase {
  const char* name;
  std::string path;  // "%" stands for the test folder
  int number;
  const char* reason;
};

class LayoutFileKind : public PrintedInvoiceTest, public ::testing::WithParamInterface<SourceCase> {};

TEST_P(LayoutFileKind, IsRefusedWithoutReading) {
  ASSERT_EQ(::mkfifo((dir_ / "fifo.layout").c_str(), 0600), 0);
  fs::create_directory(dir_ / "folder.layout");
  {
    std::ofstream big(dir_ / "big.layout");
    big << kColumnLine;
    while (big.tellp() <= static_cast<std::streamoff>(report::kMaxLayoutBytes)) {
      big << "# a comment line that makes the file grow past the limit\n";
    }
  }
  std::string path = GetParam().path;
  if (path[0] == '%') path = dir_.string() + path.substr(1);
  auto load = std::async(std::launch::async, [&] { return report::LoadLayout(path); });
  if (load.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    const int writer = ::open((dir_ / "fifo.layout").c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) ::close(writer);
    FAIL() << path << " held the reader";
  }
  try {
    load.get();
    FAIL() << path << " was accepted";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), GetParam().number);
    EXPECT_THAT(e.description(), HasSubstr(path));
    EXPECT_THAT(e.description(), HasSubstr(GetParam().reason));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, LayoutFileKind,
    ::testing::Values(
        SourceCase{"Fifo", "%/fifo.layout", report::kErrReportFileAccess, "not a regular file"},
        SourceCase{"Folder", "%/folder.layout", report::kErrReportFileAccess, "not a regular file"},
        SourceCase{"EndlessDevice", "/dev/zero", report::kErrReportFileAccess, "not a regular file"},
        SourceCase{"TooLarge", "%/big.layout", report::kErrReportFileAccess, "larger than"},
        SourceCase{"Missing", "%/absent.layout", report::kErrReportFileNotFound, "not found"}),
    [](const auto& info) { return std::string(info.param.name); });

// A layout planted in the folder the host happens to run in is not the
// invoice's: without a report path the installed layouts are the only ones.
TEST_F(LayoutSourceTest, ALayoutInTheCurrentFolderIsNotUsed) {
  std::ofstream(dir_ / "planted.layout")
      << "text value=\"PAY ONLY TO IBAN XX00 0000\"\n" << kColumnLine;
  MakeInvoice(540);
  const fs::path cwd = fs::current_path();
  fs::current_path(dir_);
  const bool printed = PrintWith(540, "", "planted.layout");
  fs::current_path(cwd);
  EXPECT_FALSE(printed);
  EXPECT_THAT(InfoMsg(), HasSubstr("not found"));
  EXPECT_FALSE(fs::exists(dir_ / "invoice-540.pdf"));
}

TEST_F(LayoutSourceTest, ARelativeReportPathIsRefused) {
  fs::create_directory(dir_ / "reports");
  fs::copy_file(TARVIK_BUILD_DIR_DEFAULT "/reports/invoice.layout", dir_ / "reports/invoice.layout");
  MakeInvoice(550);
  const fs::path cwd = fs::current_path();
  fs::current_path(dir_);
  const bool printed = PrintWith(550, "reports", "invoice.layout");
  fs::current_path(cwd);
  EXPECT_FALSE(printed);
  EXPECT_THAT(InfoMsg(), HasSubstr("not absolute"));
  // Named in full, the same folder serves.
  EXPECT_TRUE(PrintWith(550, (dir_ / "reports").string(), "invoice.layout")) << InfoMsg();
}

TEST_F(LayoutSourceTest, WithoutAReportPathTheInstalledLayoutServes) {
  MakeInvoice(560);
  EXPECT_TRUE(PrintWith(560, "", "invoice.layout")) << InfoMsg();
  EXPECT_TRUE(fs::exists(dir_ / "invoice-560.pdf"));
}

}  // namespace
}  // namespace tarvik::testing
