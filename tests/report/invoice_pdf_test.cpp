// Real invoices through the Invoice object and the report component, read
// back from the PDF as text.
#include <regex>
#include <sstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/report/printed_invoice.h"

namespace tarvik::testing {
namespace {

using ::testing::HasSubstr;

// The money amount at the end of the totals line that starts with label
// (its currency after it).
double TotalAmount(const std::string& text, const std::string& label) {
  std::istringstream lines(text);
  const std::regex amount(R"((-?[0-9][0-9,]*\.[0-9]{2})(\s+[A-Z]{3})?\s*$)");
  for (std::string line; std::getline(lines, line);) {
    const auto at = line.find(label);
    if (at == std::string::npos) continue;
    std::smatch m;
    std::string rest = line.substr(at + label.size());
    if (!std::regex_search(rest, m, amount)) continue;
    std::string digits = m[1];
    std::erase(digits, ',');
    return std::stod(digits);
  }
  ADD_FAILURE() << "no total \"" << label << "\" in:\n" << text;
  return 0;
}

int Occurrences(const std::string& text, const std::string& word) {
  int n = 0;
  for (auto at = text.find(word); at != std::string::npos; at = text.find(word, at + word.size())) ++n;
  return n;
}

class InvoicePdf : public PrintedInvoiceTest {};

// Order 1003 is of a customer with a tax rate of its own.
TEST_F(InvoicePdf, CarriesNumberCustomerEveryLineAndTotalsThatAddUp) {
  MakeInvoice(500, 3);
  const std::string pdf = Print(500);
  ASSERT_FALSE(pdf.empty()) << InfoMsg();
  const std::string text = PdfText(pdf);
  EXPECT_THAT(text, HasSubstr("Invoice 500"));
  EXPECT_THAT(text, HasSubstr(ScalarText(*connection_, "SELECT c.name FROM Customer c JOIN "
                                                      "Order_Header o ON o.cust_id = c.cust_id "
                                                      "WHERE o.order_key = 3")));
  auto lines = connection_->OpenQuery(
      "SELECT item_number, quantity FROM Invoice_Detail WHERE invoice_no = 500 ORDER BY line_no");
  int count = 0;
  for (std::int64_t r = 0; lines->Seek(r); ++r, ++count) {
    const std::string item = std::get<std::string>(lines->Column(0));
    SCOPED_TRACE(item);
    // The item and its quantity stand on one table row.
    std::ostringstream quantity;
    const data::Value q = lines->Column(1);
    quantity << (std::holds_alternative<double>(q) ? std::get<double>(q)
                                                   : static_cast<double>(std::get<std::int64_t>(q)));
    const std::regex row(item + R"(\s.*\s)" + quantity.str() + R"(\s)");
    EXPECT_TRUE(std::regex_search(text, row)) << text;
  }
  EXPECT_EQ(count, 4);

  const double subtotal = TotalAmount(text, "Subtotal");
  const double freight = TotalAmount(text, "Freight");
  const double other = TotalAmount(text, "Other charges");
  const double tax = TotalAmount(text, "Tax at");
  const double total = TotalAmount(text, "Total  ");
  EXPECT_DOUBLE_EQ(freight, 10);
  EXPECT_DOUBLE_EQ(other, 2.5);
  EXPECT_GT(subtotal, 0);
  EXPECT_NEAR(subtotal + freight + other + tax, total, 0.005);
  const double rate = ScalarNumber(*connection_, "SELECT c.tax_rate FROM Customer c JOIN Order_Header o "
                                                 "ON o.cust_id = c.cust_id WHERE o.order_key = 3");
  EXPECT_GT(rate, 0);
  EXPECT_NEAR(tax, subtotal * rate / 100, 0.01);
}

TEST_F(InvoicePdf, TwoHundredLinesRunOverPagesWithTheHeadsOnEach) {
  AddOrderLines(1, 198, 1);
  MakeInvoice(501);
  const std::string pdf = Print(501);
  ASSERT_FALSE(pdf.empty()) << InfoMsg();
  const int pages = PdfPages(pdf);
  ASSERT_GE(pages, 3);
  for (int page = 1; page <= pages; ++page) {
    SCOPED_TRACE(page);
    const std::string text = PdfText(pdf, page);
    EXPECT_THAT(text, HasSubstr("Description"));
    EXPECT_THAT(text, HasSubstr("Quantity"));
    EXPECT_THAT(text, HasSubstr("Amount"));
    EXPECT_THAT(text, HasSubstr("page " + std::to_string(page) + " of " + std::to_string(pages)));
  }
  // Every line once, the totals once, on the last page.
  const std::string item = ScalarText(*connection_, "SELECT item_number FROM Order_Detail "
                                                    "WHERE order_key = 1 AND line_no = 1");
  EXPECT_GE(Occurrences(PdfText(pdf), item + " "), 199);
  EXPECT_THAT(PdfText(pdf, pages), HasSubstr("Subtotal"));
  EXPECT_EQ(Occurrences(PdfText(pdf), "Subtotal"), 1);
}

struct DescriptionCase {
  const char* name;
  std::string description;
  bool needs_cjk_font = false;
};

bool HaveCjkFont() {
  return !PdfCommandOutput("fc-list ':charset=65e5'").empty();
}

class Descriptions : public PrintedInvoiceTest,
                     public ::testing::WithParamInterface<DescriptionCase> {};

TEST_P(Descriptions, EveryWordOfTheDescriptionIsPrinted) {
  // Without a font for the script Pango draws boxes and the text is lost.
  if (GetParam().needs_cjk_font && !HaveCjkFont()) GTEST_SKIP() << "no CJK font installed";
  Execute("UPDATE Item SET description = '" + GetParam().description +
          "' WHERE item_number = (SELECT item_number FROM Order_Detail WHERE order_key = 1 AND "
          "line_no = 1)");
  MakeInvoice(502);
  const std::string pdf = Print(502);
  ASSERT_FALSE(pdf.empty()) << InfoMsg();
  const std::string text = PdfText(pdf);
  std::istringstream words(GetParam().description);
  for (std::string word; words >> word;) EXPECT_THAT(text, HasSubstr(word)) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, Descriptions,
    ::testing::Values(
        DescriptionCase{"Wrapped",
                        "Heavy duty galvanised steel shelving unit with five adjustable shelves "
                        "rated for two hundred kilograms each, delivered flat packed with fixings "
                        "and assembly instructions in four languages"},
        DescriptionCase{"Latin", "Šõ€ Größe Žluťoučký"},
        DescriptionCase{"CyrillicGreek", "Жёлтый Ωμέγα"},
        DescriptionCase{"Japanese", "Šõ€ 日本", true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvik::testing
