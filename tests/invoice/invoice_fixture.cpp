#include "tests/invoice/invoice_fixture.h"

#include <variant>

#include "platform/late_bound.h"
#include "platform/regional.h"
#include "tests/support/table_dump.h"

namespace tarvik::testing {

InvoiceTest::InvoiceTest()
    : real_(db_.Connect()), recorder_(RecordAround(real_)), object_(invoice::NewInvoice()) {
  InstallUi(&ui_);
  inv().Connect(ComPtr<data::HostConnection>(recorder_.get()).get());
  recorder_->ClearLog();
  recordsets_.ClearLog();
}

InvoiceTest::~InvoiceTest() {
  object_.reset();
  InstallUi(nullptr);
}

void InvoiceTest::Let(const std::string& name, const std::string& value) {
  InvokeByName(raw(), name, CallKind::kLet, {Variant::String(value)});
}

std::string InvoiceTest::Text(const std::string& name) {
  return InvokeByName(raw(), name, CallKind::kGet).ToString();
}

void InvoiceTest::LetNumber(const std::string& name, std::int32_t value) {
  InvokeByName(raw(), name, CallKind::kLet, {Variant::Long(value)});
}

std::int32_t InvoiceTest::Number(const std::string& name) {
  return static_cast<std::int32_t>(std::stol(Text(name)));
}

bool InvoiceTest::Call(const std::string& member, std::vector<Variant> args) {
  return InvokeByName(raw(), member, CallKind::kMethod, std::move(args)).ToBoolean();
}

void InvoiceTest::BoxesOff() {
  InvokeByName(raw(), "ShowMessageBox", CallKind::kLet, {Variant::Boolean(false)});
}

void InvoiceTest::SelectOrders(const std::string& first, const std::string& last,
                               const std::string& number) {
  LetNumber("PrintInvoiceBy", 0);
  Let("BeginOrder", first);
  Let("EndOrder", last);
  Let("InvoiceNo", number);
  LetNumber("TransactionMode", 1);
}

void InvoiceTest::SetOption(const std::string& name, const std::string& value) {
  real_->Execute("UPDATE System SET option_value = '" + value + "' WHERE option_name = '" + name +
                 "'");
}

void InvoiceTest::InsertHeader(std::int32_t number, const std::string& bill_to, int export_flag,
                               const std::string& export_date) {
  real_->Execute(
      "INSERT INTO Invoice_Header (invoice_no, invoice_date, ship_date, bill_to, freight, "
      "other_charge, invoice_by, extra1, extra2, paid, export_flag, export_date) VALUES (" +
      std::to_string(number) + ", #3/15/2024#, #3/16/2024#, '" + bill_to + "', 12.5, 1.25, 2, 'x1', "
      "'x2', 99.95, " + std::to_string(export_flag) + ", " + export_date + ")");
}

std::string InvoiceTest::Snapshot() {
  return DumpQueries(*real_, {
      "SELECT * FROM Invoice_Header ORDER BY invoice_no",
      "SELECT * FROM Invoice_Detail ORDER BY invoice_no, order_key, line_no",
      "SELECT invoice_no, invoice_date, userid FROM Invoice_Delete ORDER BY 1",
      "SELECT * FROM Inventory ORDER BY item_number, site",
      "SELECT item_number, site, quantity, invoice_no FROM Inventory_Ledger ORDER BY 1, 2, 3, 4",
      "SELECT order_key, order_status FROM Order_Header ORDER BY order_key",
      "SELECT * FROM Order_Detail ORDER BY order_key, line_no"});
}

void InvoiceTest::UseFreshDatabase() {
  more_databases_.push_back(std::make_unique<TempDatabase>());
  real_ = more_databases_.back()->Connect();
  recorder_ = RecordAround(real_);
  inv().Connect(ComPtr<data::HostConnection>(recorder_.get()).get());
}

const std::vector<std::string>& InvoiceTest::Calls() const { return recorder_->log(); }

std::vector<std::string> InvoiceTest::Work() const {
  std::vector<std::string> out;
  for (const std::string& call : Calls()) {
    if (call != "Database") out.push_back(call);
  }
  return out;
}

void InvoiceTest::Answer(std::vector<int> buttons) {
  std::vector<ScriptedUi::Answer> answers;
  for (int b : buttons) answers.push_back({true, b, std::nullopt});
  ui_.SetAnswers(std::move(answers));
}

}  // namespace tarvik::testing
