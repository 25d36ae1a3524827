// The report component as far as it is built: it keeps every value set on it.
// Rendering (PrintReport) is not available in this build yet.
#include "components/report_printer.h"

#include <utility>

#include "platform/com_object.h"
#include "platform/error.h"

namespace tarvik::components {
namespace {

class ReportPrinterImpl final : public ComObject<ReportPrinterImpl, ReportPrinter> {
 public:
  void SetFormulas(ComPtr<Collection> formulas) override { formulas_ = std::move(formulas); }
  bool PrintReport(SAFEARRAY**) override {
    RaiseError(445,
               "Object doesn't support this action (ReportPrinter.PrintReport is not "
               "available in this build)");
  }
  void SetDatabaseName(const std::string& name) override { database_name_ = name; }
  void SetParentHandle(std::int32_t handle) override { parent_handle_ = handle; }
  void SetReportPath(const std::string& path) override { report_path_ = path; }
  void SetConnection(ComPtr<data::HostConnection> connection) override {
    connection_ = std::move(connection);
  }
  void SetReportFile(const std::string& file) override { report_file_ = file; }
  void SetDocumentName(const std::string& name) override { document_name_ = name; }
  std::string DocumentTitle() override { return document_name_; }

 private:
  ComPtr<Collection> formulas_;
  std::string database_name_;
  std::int32_t parent_handle_ = 0;
  std::string report_path_;
  ComPtr<data::HostConnection> connection_;
  std::string report_file_;
  std::string document_name_;
};

ReportPrinterFactory& Factory() {
  static ReportPrinterFactory factory;
  return factory;
}

}  // namespace

ComPtr<ReportPrinter> NewDefaultReportPrinter() { return MakeCom<ReportPrinterImpl>(); }

ComPtr<ReportPrinter> NewReportPrinter() {
  return Factory() ? Factory()() : NewDefaultReportPrinter();
}

void SetReportPrinterFactory(ReportPrinterFactory factory) { Factory() = std::move(factory); }

}  // namespace tarvik::components
