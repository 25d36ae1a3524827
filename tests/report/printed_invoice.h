// Invoices made by the Invoice object on a demo database and printed with
// the real report component; the PDFs are read back as text with pdftotext.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/collection.h"
#include "platform/ui_services.h"
#include "tarvik/interfaces.h"
#include "tests/support/temp_database.h"

namespace tarvik::testing {

// `pdftotext -layout` of the whole file, or of one page (1-based) when page > 0.
std::string PdfText(const std::string& pdf, int page = 0);
// Standard output of a shell command.
std::string PdfCommandOutput(const std::string& command);
// Pages of the file as pdfinfo counts them.
int PdfPages(const std::string& pdf);

class PrintedInvoiceTest : public ::testing::Test {
 protected:
  PrintedInvoiceTest();
  ~PrintedInvoiceTest() override;

  // Invoices order order_key (demo: 1 = order "1001") as invoice `number`.
  void MakeInvoice(int number, int order_key = 1);
  // Prints `number` to a PDF in the test folder; the path the component
  // wrote back, or empty when PrintInvoice answered False.
  std::string Print(int number, const std::string& layout = "invoice.layout");
  // Adds `count` packed lines of the order's first item after its demo lines.
  void AddOrderLines(int order_key, int count, double quantity);
  void Execute(const std::string& sql);
  std::string InfoMsg();

  std::filesystem::path dir_;
  TempDatabase db_;
  ComPtr<data::HostConnection> connection_;
  ScriptedUi ui_;
  ComPtr<_Invoice> invoice_;
  ComPtr<Collection> formulas_;
};

}  // namespace tarvik::testing
