// Invoices with extreme contents drawn with the shipped layout and read
// back word by word: no number or code is broken across lines, no word
// overlaps another or leaves its page, the totals stand on one page.
#include <chrono>
#include <cmath>
#include <filesystem>
#include <random>
#include <set>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "components/report/layout.h"
#include "components/report/pdf_renderer.h"
#include "components/report/text_template.h"
#include "platform/regional.h"
#include "tests/report/page_geometry.h"
#include "tests/report/printed_invoice.h"

namespace tarvik::testing {
namespace {

namespace fs = std::filesystem;
using components::report::Format;
using components::report::FormatValue;
using components::report::InvoiceData;
using components::report::Record;

std::string Money(double v) { return FormatValue(data::Value(v), Format::kMoney); }

struct Extreme {
  const char* name;
  int lines;
  std::string item;         // a line's item code; "#" becomes its line number
  std::string description;
  double unit_price;
  double quantity;
  double freight = 0;
};

void PrintTo(const Extreme& e, std::ostream* os) { *os << e.name; }

std::string Numbered(const std::string& text, int n) {
  std::string out = text;
  if (auto at = out.find('#'); at != std::string::npos) out.replace(at, 1, std::to_string(n));
  return out;
}

const std::string k300 =
    "Heavy duty galvanised steel shelving unit with five adjustable shelves rated for two hundred "
    "kilograms each, delivered flat packed with fixings, wall anchors, levelling feet and assembly "
    "instructions in four languages; the frame takes optional side panels and a lockable door kit";

InvoiceData MakeInvoice(const Extreme& e, int number) {
  InvoiceData invoice;
  double subtotal = 0;
  for (int l = 1; l <= e.lines; ++l) {
    Record line;
    const double amount = std::round(e.unit_price * e.quantity * 100) / 100;
    subtotal += amount;
    line.Add("invoice_no", std::int64_t{number});
    line.Add("order_number", std::string(l % 3 == 0 && e.lines > 3 ? "1009" : "1005"));
    line.Add("line_no", std::int64_t{l});
    line.Add("item_number", Numbered(e.item, l));
    line.Add("description", e.description);
    line.Add("site", std::string("MAIN"));
    line.Add("quantity", e.quantity);
    line.Add("unit_price", e.unit_price);
    line.Add("discount", 12.5);
    line.Add("amount", amount);
    line.Add("tax", 0.0);
    line.Add("shipto_name", std::string(l % 3 == 0 ? "WAREHOUSE" : "HQ"));
    line.Add("shipto_address", std::string("1 Dock Street"));
    line.Add("shipto_city", std::string("Portland"));
    invoice.lines.push_back(std::move(line));
  }
  Record& h = invoice.header;
  const double total = std::round((subtotal + e.freight) * 100) / 100;
  h.Add("invoice_no", std::int64_t{number});
  h.Add("invoice_date", data::DateValue{*regional::ToOleDate({2026, 12, 7})});
  h.Add("ship_date", data::Value{});
  h.Add("bill_to", std::string());
  h.Add("order_number", data::Value{});
  h.Add("cust_id", std::string("C100"));
  h.Add("customer_name", std::string("Northwind Hardware"));
  h.Add("customer_address", std::string("1 Dock Street"));
  h.Add("customer_city", std::string("Portland"));
  for (const char* column : {"shipto_name", "shipto_address", "shipto_city", "extra1", "extra2"}) {
    h.Add(column, data::Value{});
  }
  h.Add("seller_name", std::string("Tarvik Supply Co."));
  h.Add("seller_address", std::string("12 Harbour Road"));
  h.Add("subtotal", subtotal);
  h.Add("freight", e.freight);
  h.Add("other_charge", 0.0);
  h.Add("tax_rate", 0.0);
  h.Add("tax", 0.0);
  h.Add("total", total);
  h.Add("paid", 0.0);
  return invoice;
}

Record Settings() {
  Record s;
  s.Add("seller_legal_name", std::string("Tarvik Supply Co. OÜ"));
  s.Add("seller_vat_id", std::string("EE100000018"));
  s.Add("currency", std::string("EUR"));
  s.Add("payment_due_days", std::string("14"));
  s.Add("date_format", std::string("YYYY-MM-DD"));
  s.Add("bank_iban", std::string("EE382200221020145685"));
  for (const char* name : {"seller_trading_name", "seller_address_line1", "seller_address_line2",
                           "seller_address_line3", "seller_city", "seller_postcode", "seller_subdivision",
                           "seller_country", "seller_tax_registration_id", "seller_electronic_address",
                           "seller_electronic_scheme", "contact_name", "contact_phone", "contact_email",
                           "bank_bic", "bank_account_name", "payment_terms"}) {
    s.Add(name, std::string());
  }
  return s;
}

class LayoutBounds : public ::testing::TestWithParam<Extreme> {
 protected:
  LayoutBounds()
      : dir_(fs::temp_directory_path() / ("tarvik-bounds-" + std::to_string(std::random_device{}()))) {
    fs::create_directories(dir_);
  }
  ~LayoutBounds() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  std::string Render(const InvoiceData& invoice) {
    const auto layout = components::report::LoadLayout(TARVIK_BUILD_DIR_DEFAULT "/reports/invoice.layout");
    const std::string pdf = (dir_ / "invoice.pdf").string();
    const Record settings = Settings();
    components::report::RenderPdf(
        layout, {invoice}, settings,
        [](const std::string& name) -> std::optional<data::Value> {
          if (name == "Title") return data::Value(std::string("Invoice"));
          return std::nullopt;
        },
        "Invoice", pdf, components::report::ExistingOutput::kReplace);
    return pdf;
  }

  fs::path dir_;
};

// Every check a reader's eye makes, on one rendered invoice.
void ExpectSoundPages(const PageGeometry& g, const InvoiceData& invoice) {
  ASSERT_GT(g.pages, 0);
  const auto overlaps = g.Overlaps();
  EXPECT_TRUE(overlaps.empty()) << overlaps.size() << " overlaps, first: " << overlaps.front();
  const auto off = g.OffPage();
  EXPECT_TRUE(off.empty()) << off.size() << " words off the page, first: " << off.front();

  // Numbers and codes stand whole, each as one word.
  std::set<std::string> unbroken;
  for (const auto& line : invoice.lines) {
    unbroken.insert(std::get<std::string>(*line.Find("item_number")));
    unbroken.insert(Money(std::get<double>(*line.Find("unit_price"))));
    unbroken.insert(Money(std::get<double>(*line.Find("amount"))));
  }
  const double total = std::get<double>(*invoice.header.Find("total"));
  unbroken.insert(Money(total));
  for (const auto& token : unbroken) EXPECT_NE(g.Find(token), nullptr) << "broken or missing: " << token;

  // The totals block, from the subtotal to the balance due, on one page.
  const PlacedWord* subtotal = g.Find("Subtotal");
  const PlacedWord* balance = g.Find("Balance");
  ASSERT_NE(subtotal, nullptr);
  ASSERT_NE(balance, nullptr);
  EXPECT_EQ(subtotal->page, balance->page);
  int totals_seen = 0;
  for (const auto& w : g.words) {
    if (w.text == Money(total)) {
      ++totals_seen;
      EXPECT_EQ(w.page, subtotal->page) << "a total away from its block";
    }
  }
  EXPECT_GE(totals_seen, 1);
  // Every page has its heads and its page count.
  std::vector<int> heads(g.pages + 1, 0), counts(g.pages + 1, 0);
  for (const auto& w : g.words) {
    if (w.text == "Description") ++heads[w.page];
    if (w.text == "of") ++counts[w.page];
  }
  for (int p = 1; p <= g.pages; ++p) {
    EXPECT_EQ(heads[p], 1) << "page " << p;
    EXPECT_GE(counts[p], 1) << "page " << p;
  }
}

TEST_P(LayoutBounds, NothingBrokenOverlappingOrOffThePage) {
  const InvoiceData invoice = MakeInvoice(GetParam(), 700);
  const PageGeometry g = PageGeometry::Read(Render(invoice));
  ExpectSoundPages(g, invoice);
}

INSTANTIATE_TEST_SUITE_P(
    Extremes, LayoutBounds,
    ::testing::Values(
        Extreme{"OneLine", 1, "BOLT-10", "Hex bolt M10 x 50", 12.5, 4},
        Extreme{"TwoHundredLines", 200, "NUT-#", "Hex nut M10 (box of 100)", 6.75, 3},
        Extreme{"LargestAmounts", 3, "EXPENSIVE-#", "Turbine", 9999999999.99, 1},
        Extreme{"TenThousandPrices", 12, "PRICE-#", "Press", 12345.67, 10, 1000000},
        Extreme{"FortyCharacterCodes", 8, "ABCDEFGHIJKLMNOPQRSTUVWXYZ-0123456789-#", "Kit", 15, 2},
        Extreme{"LongDescriptions", 30, "SHELF-#", k300, 149.9, 2},
        Extreme{"Everything", 200, "ABCDEFGHIJKLMNOPQRSTUVWXYZ-0123456789-#", k300, 9999999.99, 100},
        Extreme{"Scripts", 12, "ЖЁЛТ-#",
                "Größe Žluťoučký kůň, Жёлтый ящик, Ωμέγα σύστημα, 日本語の説明文, 中文描述, 한국어 🔩🚚",
                42.0, 1}),
    [](const auto& info) { return std::string(info.param.name); });

// However many lines push the totals to the foot of a page, the block
// stays whole.
TEST_F(LayoutBounds, TotalsNeverSplitWhereverThePageEnds) {
  for (int lines = 30; lines <= 46; ++lines) {
    SCOPED_TRACE(lines);
    const InvoiceData invoice = MakeInvoice({"Run", lines, "BOLT-#", "Hex bolt", 12.5, 4, 10}, 701);
    const PageGeometry g = PageGeometry::Read(Render(invoice));
    const PlacedWord* subtotal = g.Find("Subtotal");
    const PlacedWord* balance = g.Find("Balance");
    ASSERT_NE(subtotal, nullptr);
    ASSERT_NE(balance, nullptr);
    EXPECT_EQ(subtotal->page, balance->page);
  }
}

// Orders of one invoice: the head names them all, each order's lines stand
// under a head with its number and ship-to.
TEST_F(LayoutBounds, SeveralOrdersAreNamedAndHeaded) {
  const InvoiceData invoice = MakeInvoice({"Orders", 6, "BOLT-#", "Hex bolt", 12.5, 4}, 702);
  const std::string text = PdfText(Render(invoice));
  EXPECT_THAT(text, ::testing::HasSubstr("Orders: 1005, 1009"));
  EXPECT_THAT(text, ::testing::HasSubstr("Order 1005 - ship to: HQ"));
  EXPECT_THAT(text, ::testing::HasSubstr("Order 1009 - ship to: WAREHOUSE"));
  // No single ship-to block claims them all.
  EXPECT_THAT(text, ::testing::Not(::testing::HasSubstr("Ship to")));
}

// Control characters never reach the page, empty values take their label
// with them, dates and amounts cannot be misread.
TEST_F(LayoutBounds, PrintsOnlyWhatAReaderCanRead) {
  InvoiceData invoice = MakeInvoice({"Controls", 1, "BOLT-1", "Tab\there\x01\x07 bell\x1b[31m red", 12.5, 4}, 703);
  const std::string text = PdfText(Render(invoice));
  for (char c = 1; c < 0x20; ++c) {
    if (c == '\n' || c == '\f') continue;
    EXPECT_EQ(text.find(c), std::string::npos) << "control " << int(c);
  }
  EXPECT_THAT(text, ::testing::HasSubstr("Tab here bell[31m red"));
  EXPECT_THAT(text, ::testing::HasSubstr("Invoice date: 2026-12-07"));
  EXPECT_THAT(text, ::testing::HasSubstr("Due date: 2026-12-21"));
  EXPECT_THAT(text, ::testing::Not(::testing::HasSubstr("Ship date")));
  EXPECT_THAT(text, ::testing::HasSubstr("12.5%"));
  EXPECT_THAT(text, ::testing::HasSubstr("50.00 EUR"));
  EXPECT_THAT(text, ::testing::HasSubstr("IBAN: EE382200221020145685"));
  EXPECT_THAT(text, ::testing::Not(::testing::HasSubstr("BIC:")));
}

}  // namespace
}  // namespace tarvik::testing
