// Layout files the component refuses, and a component run with nothing to print.
#include <fstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "components/report/layout.h"
#include "components/report_printer.h"
#include "platform/error.h"
#include "platform/late_bound.h"
#include "tests/report/printed_invoice.h"
#include "tests/support/host_list.h"

namespace tarvik::testing {
namespace {

using ::testing::HasSubstr;
namespace report = components::report;

constexpr const char* kColumn = "column head=\"Item\" value=\"{item_number}\"\n";

struct MalformedCase {
  const char* name;
  std::string text;
  int line;
  const char* reason;
};

class MalformedLayout : public PrintedInvoiceTest,
                        public ::testing::WithParamInterface<MalformedCase> {};

TEST_P(MalformedLayout, NamesTheFileAndTheLine) {
  const auto file = (dir_ / "broken.layout").string();
  std::ofstream(file) << GetParam().text;
  try {
    report::LoadLayout(file);
    FAIL() << "accepted";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), report::kErrReportFileMalformed);
    EXPECT_THAT(e.description(), HasSubstr(file));
    EXPECT_THAT(e.description(), HasSubstr("line " + std::to_string(GetParam().line) + ":"));
    EXPECT_THAT(e.description(), HasSubstr(GetParam().reason));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, MalformedLayout,
    ::testing::Values(
        MalformedCase{"UnknownKeyword", std::string(kColumn) + "\n# note\nbanner value=\"x\"\n", 4,
                      "unknown keyword"},
        MalformedCase{"UnclosedQuote", std::string("text value=\"open\n") + kColumn, 1,
                      "closing"},
        MalformedCase{"UnknownAttribute", std::string(kColumn) + "total label=\"T\" value=\"1\" colour=red\n",
                      2, "unknown attribute"},
        MalformedCase{"MissingRequired", std::string(kColumn) + "font role=body\n", 2, "face"},
        MalformedCase{"BadAlign", "column head=\"A\" value=\"x\" align=middle\n", 1, "align"},
        MalformedCase{"TwoGroups", std::string(kColumn) + "group by=order_number value=\"a\"\ngroup by=site value=\"b\"\n",
                      3, "only one 'group'"},
        MalformedCase{"GroupWithoutColumn", std::string(kColumn) + "group value=\"a\"\n", 2, "by"},
        MalformedCase{"UnknownFormat", std::string(kColumn) + "note value=\"{paid:euro}\"\n", 2, "percent"},
        MalformedCase{"BadPlaceholder", std::string(kColumn) + "footer value=\"{page\"\n", 2, "without its '}'"},
        MalformedCase{"UndeclaredFontRole", std::string("text font=huge value=\"x\"\n") + kColumn, 1,
                      "no 'font' line declares"},
        MalformedCase{"NoColumns", "page size=A4\ntext value=\"x\"\n", 2, "no 'column'"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PrintedInvoiceTest, AMissingLayoutIsNamed) {
  const auto file = (dir_ / "absent.layout").string();
  try {
    report::LoadLayout(file);
    FAIL() << "accepted";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), report::kErrReportFileNotFound);
    EXPECT_THAT(e.description(), HasSubstr(file));
  }
}

TEST_F(PrintedInvoiceTest, TheShippedLayoutParses) {
  const auto layout = report::LoadLayout(TARVIK_BUILD_DIR_DEFAULT "/reports/invoice.layout");
  EXPECT_EQ(layout.columns.size(), 7u);
  EXPECT_EQ(layout.totals.size(), 7u);
  ASSERT_TRUE(layout.group.has_value());
  EXPECT_EQ(layout.group->by, "order_number");
  EXPECT_EQ(layout.notes.size(), 1u);
}

// The Invoice hands a broken layout's error on as its message and prints nothing.
TEST_F(PrintedInvoiceTest, ABrokenLayoutFailsThePrintWithItsLine) {
  const auto file = (dir_ / "broken.layout").string();
  std::ofstream(file) << kColumn << "total label=\"T\"\n";
  MakeInvoice(510);
  EXPECT_TRUE(Print(510, file).empty());
  EXPECT_THAT(InfoMsg(), HasSubstr(file + ", line 2"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "invoice-510.pdf"));
}

TEST_F(PrintedInvoiceTest, EmptyReportTablesPrintNothing) {
  Execute("DELETE FROM RPT_Invoice_Det");
  Execute("DELETE FROM RPT_Invoice_Hdr");
  auto printer = components::NewDefaultReportPrinter();
  auto formulas = NewCollection();
  const auto out = (dir_ / "empty.pdf").string();
  formulas->Add(Variant::String(out), Variant::String("OutputFile"));
  printer->SetFormulas(formulas);
  printer->SetConnection(connection_);
  printer->SetReportPath(TARVIK_BUILD_DIR_DEFAULT "/reports");
  printer->SetReportFile("invoice.layout");
  EXPECT_FALSE(printer->PrintReport(nullptr));
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_EQ(formulas->Count(), 1);
}

// The formulas come from whatever collection the host hands over, used by
// name only: here one without Remove.
TEST_F(PrintedInvoiceTest, AHostsOwnCollectionCarriesTheFormulas) {
  MakeInvoice(520);
  ComPtr<HostList> formulas = MakeCom<HostList>();
  const auto out = (dir_ / "own-collection.pdf").string();
  formulas->items.emplace_back("OutputFile", Variant::String(out));
  IDispatch* inv = invoice_.get();
  InvokeByName(inv, "ReportFormula", CallKind::kSet,
               {Variant::Dispatch(static_cast<IDispatch*>(formulas.get()))});
  InvokeByName(inv, "InvoiceNo", CallKind::kLet, {Variant::String("520")});
  InvokeByName(inv, "InvoiceReport", CallKind::kLet, {Variant::String("invoice.layout")});
  InvokeByName(inv, "ReportPath", CallKind::kLet,
               {Variant::String(TARVIK_BUILD_DIR_DEFAULT "/reports")});
  InvokeByName(inv, "ShowMessageBox", CallKind::kLet, {Variant::Boolean(false)});
  ASSERT_TRUE(InvokeByName(inv, "PrintInvoice", CallKind::kMethod).ToBoolean()) << InfoMsg();
  EXPECT_TRUE(std::filesystem::exists(out));
  std::vector<std::string> keys;
  for (const auto& item : formulas->items) keys.push_back(item.first);
  EXPECT_EQ(keys, (std::vector<std::string>{"OutputFile", "Title", "PrintedFile"}));
  EXPECT_EQ(formulas->items.back().second.ToString(), out);
}

TEST_F(PrintedInvoiceTest, TheTitleComesFromTheDocumentName) {
  auto printer = components::NewDefaultReportPrinter();
  EXPECT_EQ(printer->DocumentTitle(), "Report");
  printer->SetDocumentName("Invoice");
  EXPECT_EQ(printer->DocumentTitle(), "Invoice");
}

}  // namespace
}  // namespace tarvik::testing
