// The report component's own answers, without a document.
#include <gtest/gtest.h>

#include "components/report_printer.h"

namespace tarvik::testing {
namespace {

TEST(ReportPrinter, DocumentTitleIsTheDocumentName) {
  ComPtr<components::ReportPrinter> p = components::NewDefaultReportPrinter();
  p->SetDocumentName("Invoice 1042");
  EXPECT_EQ(p->DocumentTitle(), "Invoice 1042");
}

}  // namespace
}  // namespace tarvik::testing
