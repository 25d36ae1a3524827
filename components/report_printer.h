// The suite's report component: renders the report tables of the database
// with a report layout file into a document. Operations stand in the order
// of its interface.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "data/host_connection.h"
#include "platform/com.h"
#include "platform/variant.h"

namespace tarvik::components {

struct ReportPrinter : IUnknown {
  // The host's collection, used late-bound (Item, Remove, Add by name).
  virtual void SetFormulas(ComPtr<IDispatch> formulas) = 0;
  // args: an array of Variants (unused). True = the report was produced.
  virtual bool PrintReport(SAFEARRAY** args) = 0;
  virtual void SetDatabaseName(const std::string& name) = 0;
  virtual void SetParentHandle(std::int32_t handle) = 0;
  virtual void SetReportPath(const std::string& path) = 0;
  virtual void SetConnection(ComPtr<data::HostConnection> connection) = 0;
  virtual void SetReportFile(const std::string& file) = 0;
  virtual void SetDocumentName(const std::string& name) = 0;
  virtual std::string DocumentTitle() = 0;

 protected:
  ~ReportPrinter() = default;
};

ComPtr<ReportPrinter> NewReportPrinter();
// Tests can replace the factory (fakes, recording); nullptr restores the default.
using ReportPrinterFactory = std::function<ComPtr<ReportPrinter>()>;
void SetReportPrinterFactory(ReportPrinterFactory factory);
// The default implementation, for factories that decorate it.
ComPtr<ReportPrinter> NewDefaultReportPrinter();

}  // namespace tarvik::components
