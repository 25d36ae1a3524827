#include "tests/reliability/workflow_env.h"

#include <unistd.h>

#include <filesystem>
#include <variant>

#include "components/report_printer.h"
#include "platform/com_object.h"
#include "platform/late_bound.h"
#include "platform/regional.h"
#include "tests/support/report_printer_wrapper.h"
#include "tests/support/table_dump.h"
#include "tests/support/temp_database.h"

namespace tarvik::testing {
namespace {

// The folder of this program's copies, removed when the program ends.
struct RunFolder {
  RunFolder()
      : path(std::filesystem::temp_directory_path() / ("tarvik-rely-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(path);
  }
  ~RunFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  std::filesystem::path path;
};

std::string FreshPath() {
  static const RunFolder folder;
  static int serial = 0;
  return (folder.path / ("run" + std::to_string(++serial) + ".db")).string();
}

}  // namespace

WorkflowEnv::WorkflowEnv(const std::string& template_path, bool copy)
    : path_(template_path), owned_(copy) {
  if (copy && !TestPostgresServer().empty()) {
    path_ = CopyPostgresDatabaseAhead(template_path);
  } else if (copy) {
    path_ = FreshPath();
    std::filesystem::copy_file(template_path, path_, std::filesystem::copy_options::overwrite_existing);
  }
  real_ = data::OpenConnection(path_);
  recorder_ = RecordAround(real_);
  InstallUi(&ui_);
  components::SetReportPrinterFactory(
      [] { return ComPtr<components::ReportPrinter>(MakeCom<QuietReportPrinter>().get()); });
  invoice_ = invoice::NewInvoice();
  components::SetReportPrinterFactory(nullptr);
  InvokeByName(invoice_.get(), "Connect", CallKind::kSet,
               {Variant::Dispatch(ComPtr<data::HostConnection>(recorder_.get()).get())});
}

WorkflowEnv::~WorkflowEnv() {
  backorder_.reset();
  invoice_.reset();
  InstallUi(nullptr);
  recorder_.reset();
  real_.reset();
  if (owned_ && !TestPostgresServer().empty()) {
    DropPostgresDatabase(path_);
  } else if (owned_) {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
}

void WorkflowEnv::Let(const std::string& name, const std::string& value) {
  InvokeByName(invoice_.get(), name, CallKind::kLet, {Variant::String(value)});
}

void WorkflowEnv::LetBool(const std::string& name, bool value) {
  InvokeByName(invoice_.get(), name, CallKind::kLet, {Variant::Boolean(value)});
}

void WorkflowEnv::LetNumber(const std::string& name, std::int32_t value) {
  InvokeByName(invoice_.get(), name, CallKind::kLet, {Variant::Long(value)});
}

std::string WorkflowEnv::Text(const std::string& name) {
  return InvokeByName(invoice_.get(), name, CallKind::kGet).ToString();
}

bool WorkflowEnv::Call(const std::string& method) {
  return InvokeByName(invoice_.get(), method, CallKind::kMethod).ToBoolean();
}

bool WorkflowEnv::CallBackOrder(const std::string& invoice_no) {
  backorder_ = backorder::NewBackOrder();
  InvokeByName(backorder_.get(), "Connect", CallKind::kSet,
               {Variant::Dispatch(ComPtr<data::HostConnection>(recorder_.get()).get())});
  InvokeByName(backorder_.get(), "Invoice_No", CallKind::kLet, {Variant::String(invoice_no)});
  return InvokeByName(backorder_.get(), "BackOrder", CallKind::kMethod).ToBoolean();
}

std::string DatabaseSnapshot(data::HostConnection& c) {
  return DumpQueries(c, {
      "SELECT * FROM Invoice_Header ORDER BY invoice_no",
      "SELECT * FROM Invoice_Detail ORDER BY invoice_no, order_key, line_no",
      "SELECT invoice_no, userid FROM Invoice_Delete ORDER BY 1",
      "SELECT * FROM Inventory ORDER BY item_number, site",
      "SELECT item_number, site, quantity, invoice_no FROM Inventory_Ledger ORDER BY 1, 2, 3, 4",
      "SELECT * FROM Order_Header ORDER BY order_key",
      "SELECT * FROM Order_Detail ORDER BY order_key, line_no",
      "SELECT * FROM System ORDER BY option_name"});
}

const std::string& TemplateDatabase() {
  static const TempDatabase db;
  return db.path();
}

}  // namespace tarvik::testing
