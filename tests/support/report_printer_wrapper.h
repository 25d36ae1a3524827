// Test doubles of the report component. ReportPrinterWrapper forwards every
// call to a target, so a double overrides only the calls it changes;
// QuietReportPrinter produces every report without writing a document and
// is the usual target:
//   class Counting : public ReportPrinterWrapper<Counting> {
//     void SetConnection(ComPtr<data::HostConnection> c) override { ++sets; }
//   };
#pragma once

#include <string>
#include <utility>

#include "components/report_printer.h"
#include "platform/com_object.h"

namespace tarvik::testing {

class QuietReportPrinter final : public ComObject<QuietReportPrinter, components::ReportPrinter> {
 public:
  void SetFormulas(ComPtr<IDispatch>) override {}
  bool PrintReport(SAFEARRAY**) override { return true; }
  void SetDatabaseName(const std::string&) override {}
  void SetParentHandle(std::int32_t) override {}
  void SetReportPath(const std::string&) override {}
  void SetConnection(ComPtr<data::HostConnection>) override {}
  void SetReportFile(const std::string&) override {}
  void SetDocumentName(const std::string&) override {}
  std::string DocumentTitle() override { return "Invoice"; }
};

template <class Derived>
class ReportPrinterWrapper : public ComObject<Derived, components::ReportPrinter> {
 public:
  explicit ReportPrinterWrapper(
      ComPtr<components::ReportPrinter> target = ComPtr<components::ReportPrinter>(
          MakeCom<QuietReportPrinter>().get()))
      : target_(std::move(target)) {}

  components::ReportPrinter* target() const { return target_.get(); }

  void SetFormulas(ComPtr<IDispatch> f) override { target_->SetFormulas(std::move(f)); }
  bool PrintReport(SAFEARRAY** args) override { return target_->PrintReport(args); }
  void SetDatabaseName(const std::string& n) override { target_->SetDatabaseName(n); }
  void SetParentHandle(std::int32_t h) override { target_->SetParentHandle(h); }
  void SetReportPath(const std::string& p) override { target_->SetReportPath(p); }
  void SetConnection(ComPtr<data::HostConnection> c) override {
    target_->SetConnection(std::move(c));
  }
  void SetReportFile(const std::string& f) override { target_->SetReportFile(f); }
  void SetDocumentName(const std::string& n) override { target_->SetDocumentName(n); }
  std::string DocumentTitle() override { return target_->DocumentTitle(); }

 private:
  ComPtr<components::ReportPrinter> target_;
};

}  // namespace tarvik::testing
