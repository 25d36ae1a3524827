#include "tests/report/printed_invoice.h"

#include <array>
#include <cstdio>
#include <memory>
#include <random>

#include "invoice/invoice.h"
#include "platform/late_bound.h"

namespace tarvik::testing {
namespace {

namespace fs = std::filesystem;

}  // namespace

std::string PdfCommandOutput(const std::string& command) {
  struct Closer {
    void operator()(FILE* f) const { pclose(f); }
  };
  std::unique_ptr<FILE, Closer> pipe(popen(command.c_str(), "r"));
  if (!pipe) return {};
  std::string out;
  std::array<char, 4096> buffer{};
  while (std::size_t n = fread(buffer.data(), 1, buffer.size(), pipe.get())) out.append(buffer.data(), n);
  return out;
}

namespace {

std::string Quoted(const std::string& path) { return "'" + path + "'"; }

void LetText(IDispatch* object, const std::string& name, const std::string& value) {
  InvokeByName(object, name, CallKind::kLet, {Variant::String(value)});
}

}  // namespace

std::string PdfText(const std::string& pdf, int page) {
  std::string pages;
  if (page > 0) pages = " -f " + std::to_string(page) + " -l " + std::to_string(page);
  return PdfCommandOutput("pdftotext -layout" + pages + " " + Quoted(pdf) + " - 2>/dev/null");
}

int PdfPages(const std::string& pdf) {
  const std::string info = PdfCommandOutput("pdfinfo " + Quoted(pdf) + " 2>/dev/null");
  const auto at = info.find("Pages:");
  return at == std::string::npos ? 0 : std::stoi(info.substr(at + 6));
}

PrintedInvoiceTest::PrintedInvoiceTest()
    : dir_(fs::temp_directory_path() / ("tarvik-report-" + std::to_string(std::random_device{}()))),
      connection_(db_.Connect()),
      invoice_(invoice::NewInvoice()),
      formulas_(NewCollection()) {
  fs::create_directories(dir_);
  InstallUi(&ui_);
  InvokeByName(invoice_.get(), "Connect", CallKind::kSet, {Variant::Dispatch(connection_.get())});
  Execute("UPDATE System SET option_value = '0' WHERE option_name = 'Auto Backorder'");
}

PrintedInvoiceTest::~PrintedInvoiceTest() {
  invoice_.reset();
  InstallUi(nullptr);
  std::error_code ec;
  fs::remove_all(dir_, ec);
}

void PrintedInvoiceTest::Execute(const std::string& sql) { ASSERT_TRUE(connection_->Execute(sql)) << sql; }

std::string PrintedInvoiceTest::InfoMsg() {
  return InvokeByName(invoice_.get(), "InfoMsg", CallKind::kGet).ToString();
}

void PrintedInvoiceTest::MakeInvoice(int number, int order_key) {
  const std::string order = std::to_string(1000 + order_key);
  IDispatch* inv = invoice_.get();
  LetText(inv, "InvoiceNo", std::to_string(number));
  LetText(inv, "BeginOrder", order);
  LetText(inv, "EndOrder", order);
  LetText(inv, "FreightAmount", "10");
  LetText(inv, "OtherCharge", "2.5");
  InvokeByName(inv, "TransactionMode", CallKind::kLet, {Variant::Long(1)});
  ASSERT_TRUE(InvokeByName(inv, "Save", CallKind::kMethod).ToBoolean()) << InfoMsg();
}

std::string PrintedInvoiceTest::Print(int number, const std::string& layout) {
  IDispatch* inv = invoice_.get();
  const std::string out = (dir_ / ("invoice-" + std::to_string(number) + ".pdf")).string();
  formulas_ = NewCollection();
  formulas_->Add(Variant::String(out), Variant::String("OutputFile"));
  InvokeByName(inv, "ReportFormula", CallKind::kSet, {Variant::Dispatch(formulas_.get())});
  LetText(inv, "InvoiceNo", std::to_string(number));
  LetText(inv, "InvoiceReport", layout);
  LetText(inv, "ReportPath", fs::path(layout).is_absolute() ? std::string()
                                                            : TARVIK_BUILD_DIR_DEFAULT "/reports");
  InvokeByName(inv, "ShowMessageBox", CallKind::kLet, {Variant::Boolean(false)});
  if (!InvokeByName(inv, "PrintInvoice", CallKind::kMethod).ToBoolean()) return {};
  return formulas_->Item(Variant::String("PrintedFile")).ToString();
}

void PrintedInvoiceTest::AddOrderLines(int order_key, int count, double quantity) {
  const std::string q = std::to_string(quantity);
  for (int l = 0; l < count; ++l) {
    Execute("INSERT INTO Order_Detail (order_key, line_no, item_number, site, quantity_ordered, "
            "quantity_picked, quantity_packed, unit_price, line_status) "
            "SELECT " + std::to_string(order_key) + ", " + std::to_string(100 + l) +
            ", item_number, site, " + q + ", " + q + ", " + q + ", 1.25, 2 FROM Order_Detail WHERE order_key = " +
            std::to_string(order_key) + " AND line_no = 1");
  }
}

}  // namespace tarvik::testing
