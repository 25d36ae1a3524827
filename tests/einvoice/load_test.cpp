// The e-invoice of invoices made from the demo's packed orders by the
// creation statements themselves, amounts worked out by hand from the demo
// data: one order, two orders of one customer, discounts, freight, other
// charges and paid; the credit note of such an invoice.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "data/stored_query.h"
#include "einvoice/load.h"
#include "einvoice/rules.h"
#include "platform/error.h"
#include "tests/support/temp_database.h"

namespace tarvik::einvoice {
namespace {

using testing::ScalarNumber;
using testing::TempDatabase;

class LoadTest : public ::testing::Test {
 protected:
  LoadTest() : c_(db_.Connect()) {}

  // An invoice of the given orders' packed lines, as the creation
  // statements write it, with the header's own amounts.
  void Invoice(int number, const std::vector<int>& order_keys, double freight, double other, double paid) {
    c_->ExecuteWith(
        "INSERT INTO Invoice_Header (invoice_no, invoice_date, ship_date, bill_to, freight, other_charge, invoice_by,"
        " paid, export_flag) VALUES (?1, '2026-12-01', '2026-11-30', 'Buyer', ?2, ?3, 0, ?4, 1)",
        {Variant::Long(number), Variant::Double(freight), Variant::Double(other), Variant::Double(paid)});
    for (int key : order_keys) {
      ASSERT_TRUE(data::RunStoredQuery(*c_, "v_InvoiceDet_byOrdPack",
                                       {Variant::Long(key), Variant::String(std::to_string(number))}));
    }
  }

  TempDatabase db_;
  ComPtr<data::HostConnection> c_;
};

std::vector<std::string> Amounts(const Document& d) {
  std::vector<std::string> out;
  for (const auto& l : d.lines) out.push_back(l.net_amount.ToString());
  return out;
}

// Order 1001 of C100, an export customer: BOLT-10 5 x 12.50; NUT-10 7 x 6.75
// less 10 %, whose 42.525 rounds up to 42.53.
TEST_F(LoadTest, OneOrderInvoiceOfAnExportCustomer) {
  Invoice(900, {1}, 7.5, 0, 20);
  const Document d = LoadInvoice(*c_, 900);
  EXPECT_EQ(d.type, DocumentType::kInvoice);
  EXPECT_EQ(d.number, "900");
  EXPECT_EQ(d.issue_date, "2026-12-01");
  EXPECT_EQ(d.due_date, "2026-12-15");
  EXPECT_EQ(d.delivery_date, "2026-11-30");
  EXPECT_EQ(d.currency, "EUR");
  EXPECT_EQ(d.order_reference, "1001");
  EXPECT_TRUE(d.notes.empty());

  ASSERT_EQ(d.lines.size(), 2u);
  EXPECT_EQ(Amounts(d), (std::vector<std::string>{"62.50", "42.53"}));
  const Line& nut = d.lines[1];
  EXPECT_EQ(nut.id, "2");
  EXPECT_EQ(nut.seller_item_id, "NUT-10");
  EXPECT_EQ(nut.item_name, "Hex nut M10 (box of 100)");
  EXPECT_EQ(nut.unit_code, "XBX");
  EXPECT_EQ(nut.quantity.ToString(), "7");
  EXPECT_EQ(nut.gross_price.ToString(), "6.75");
  EXPECT_EQ(nut.price_discount.ToString(), "0.675");
  EXPECT_EQ(nut.net_price.ToString(), "6.075");
  EXPECT_TRUE(nut.note.empty());
  for (const auto& l : d.lines) {
    EXPECT_EQ(l.vat.category, VatCategory::kExport) << l.id;
    EXPECT_TRUE(l.vat.rate.IsZero());
    EXPECT_EQ(l.vat.exemption_reason_code, "VATEX-EU-G");
  }

  ASSERT_EQ(d.allowances_charges.size(), 1u);
  EXPECT_TRUE(d.allowances_charges[0].is_charge);
  EXPECT_EQ(d.allowances_charges[0].amount.ToString(), "7.50");
  EXPECT_EQ(d.allowances_charges[0].reason_code, "FC");
  EXPECT_EQ(d.allowances_charges[0].vat.category, VatCategory::kExport);

  ASSERT_EQ(d.vat_breakdown.size(), 1u);
  EXPECT_EQ(d.vat_breakdown[0].taxable_amount.ToString(), "112.53");
  EXPECT_EQ(d.vat_breakdown[0].tax_amount.ToString(), "0.00");
  EXPECT_EQ(d.totals.line_net.ToString(), "105.03");
  EXPECT_EQ(d.totals.charges.ToString(), "7.50");
  EXPECT_EQ(d.totals.tax_exclusive.ToString(), "112.53");
  EXPECT_EQ(d.totals.tax_inclusive.ToString(), "112.53");
  EXPECT_EQ(d.totals.prepaid.ToString(), "20.00");
  EXPECT_EQ(d.totals.payable.ToString(), "92.53");

  EXPECT_EQ(d.seller.name, "Tarvik Supply GmbH");
  EXPECT_EQ(d.seller.address.country, "DE");
  EXPECT_EQ(d.buyer.id, "C100");
  EXPECT_EQ(d.buyer.address.country, "US");
  EXPECT_EQ(d.delivery_name, "HQ");
  EXPECT_EQ(d.delivery_address.city, "Portland");
  EXPECT_EQ(d.delivery_address.country, "US");
  EXPECT_EQ(d.payment.means_code, "58");
  EXPECT_EQ(d.payment.iban, "DE89370400440532013000");
  EXPECT_EQ(d.payment.remittance, "900");
  EXPECT_EQ(DescribeBreaches(CheckDocument(d)), "");
}

// Orders 1004 and 1012 of C400, a domestic customer at 19 %: the gloves of
// 1012 are zero rated; freight and the other charge follow the standard
// rate, which carries most of the lines.
TEST_F(LoadTest, TwoOrdersOfADomesticCustomerWithAZeroRatedLine) {
  Invoice(901, {4, 12}, 10, 2.5, 0);
  const Document d = LoadInvoice(*c_, 901);
  EXPECT_EQ(d.order_reference, "");
  EXPECT_EQ(d.notes, (std::vector<std::string>{"Orders: 1004, 1012"}));
  ASSERT_EQ(d.lines.size(), 6u);
  EXPECT_EQ(Amounts(d), (std::vector<std::string>{"31.60", "261.00", "70.20", "123.75", "40.50", "33.60"}));
  EXPECT_EQ(d.lines[0].note, "Order 1004");
  EXPECT_EQ(d.lines[5].note, "Order 1012");
  EXPECT_EQ(d.lines[2].seller_item_id, "GLOVE-L");
  EXPECT_EQ(d.lines[2].vat.category, VatCategory::kZeroRated);
  EXPECT_EQ(d.lines[2].unit_code, "PR");
  EXPECT_EQ(d.lines[3].vat.category, VatCategory::kStandard);
  EXPECT_EQ(d.lines[3].vat.rate.ToString(), "19.00");

  ASSERT_EQ(d.allowances_charges.size(), 2u);
  EXPECT_EQ(d.allowances_charges[1].reason, "Other charge");
  EXPECT_EQ(d.allowances_charges[1].amount.ToString(), "2.50");
  EXPECT_EQ(d.allowances_charges[1].vat.category, VatCategory::kStandard);

  ASSERT_EQ(d.vat_breakdown.size(), 2u);
  const VatBreakdown& s = d.vat_breakdown[0];
  const VatBreakdown& z = d.vat_breakdown[1];
  EXPECT_EQ(s.vat.category, VatCategory::kStandard);
  EXPECT_EQ(s.taxable_amount.ToString(), "502.95");
  EXPECT_EQ(s.tax_amount.ToString(), "95.56");
  EXPECT_EQ(z.vat.category, VatCategory::kZeroRated);
  EXPECT_EQ(z.taxable_amount.ToString(), "70.20");
  EXPECT_EQ(z.tax_amount.ToString(), "0.00");
  EXPECT_EQ(d.totals.line_net.ToString(), "560.65");
  EXPECT_EQ(d.totals.tax_exclusive.ToString(), "573.15");
  EXPECT_EQ(d.totals.tax.ToString(), "95.56");
  EXPECT_EQ(d.totals.payable.ToString(), "668.71");

  EXPECT_EQ(d.buyer_reference, "991-33333TEST-33");
  EXPECT_EQ(d.delivery_address.postcode, "10115");
  EXPECT_EQ(DescribeBreaches(CheckDocument(d, Profile::kXRechnung)), "");

  // The books' own line amounts (worked out in floating point) agree to the cent.
  EXPECT_NEAR(ScalarNumber(*c_, "SELECT sum(amount) FROM Invoice_Detail WHERE invoice_no = 901"),
              d.totals.line_net.ToDouble(), 0.005);
}

// An intra-EU customer's lines to two ship-to places: no single delivery
// place, which an intra-community supply needs.
TEST_F(LoadTest, IntraCommunityInvoiceOfTwoPlacesNamesTheMissingDeliveryCountry) {
  Invoice(902, {2, 6}, 0, 0, 0);  // 1002 at HQ, 1006 at WAREHOUSE, both C200
  const Document d = LoadInvoice(*c_, 902);
  for (const auto& l : d.lines) EXPECT_EQ(l.vat.category, VatCategory::kIntraCommunity) << l.id;
  EXPECT_TRUE(d.allowances_charges.empty());
  EXPECT_TRUE(d.delivery_name.empty());
  EXPECT_TRUE(d.delivery_address.country.empty());
  const auto breaches = CheckDocument(d);
  ASSERT_EQ(breaches.size(), 1u) << DescribeBreaches(breaches);
  EXPECT_EQ(breaches[0].rule, "BR-IC-12");

  Invoice(903, {10}, 0, 0, 0);  // 1010 alone
  const Document one = LoadInvoice(*c_, 903);
  EXPECT_EQ(one.delivery_address.country, "IE");
  EXPECT_EQ(one.lines[0].vat.exemption_reason_code, "VATEX-EU-IC");
  EXPECT_EQ(DescribeBreaches(CheckDocument(one)), "");
}

// Outside the scope of VAT neither party's VAT id is stated; the company
// register identifies the seller instead.
TEST_F(LoadTest, SupplyOutsideTheScopeOfVatStatesNoVatIds) {
  c_->ExecuteWith("UPDATE Customer SET vat_category = 'O', vat_id = 'IE6388047V' WHERE cust_id = 'C200'", {});
  Invoice(906, {2}, 4, 0, 0);
  const Document d = LoadInvoice(*c_, 906);
  EXPECT_EQ(d.seller.vat_id, "");
  EXPECT_EQ(d.buyer.vat_id, "");
  EXPECT_EQ(d.seller.legal_registration_id, "HRB 123456");
  ASSERT_EQ(d.vat_breakdown.size(), 1u);
  EXPECT_EQ(d.vat_breakdown[0].vat.category, VatCategory::kNotSubject);
  EXPECT_EQ(d.vat_breakdown[0].vat.exemption_reason_code, "VATEX-EU-O");
  EXPECT_EQ(d.allowances_charges.at(0).vat.category, VatCategory::kNotSubject);
  EXPECT_EQ(DescribeBreaches(CheckDocument(d)), "");

  // Back to its items' categories, the ids are stated again.
  c_->ExecuteWith("UPDATE Customer SET vat_category = '' WHERE cust_id = 'C200'", {});
  const Document taxed = LoadInvoice(*c_, 906);
  EXPECT_EQ(taxed.seller.vat_id, "DE123456788");
  EXPECT_EQ(taxed.buyer.vat_id, "IE6388047V");
}

TEST_F(LoadTest, CreditNoteCarriesTheCancelledInvoice) {
  Invoice(904, {1}, 7.5, 0, 0);
  c_->ExecuteWith(
      "INSERT INTO Credit_Note_Header (credit_no, invoice_no, credit_date, invoice_date, ship_date, bill_to, freight,"
      " other_charge, invoice_by, extra1, extra2, paid, export_flag, export_date) SELECT 7001, invoice_no,"
      " '2026-12-05', invoice_date, ship_date, bill_to, freight, other_charge, invoice_by, extra1, extra2, paid, 1,"
      " NULL FROM Invoice_Header WHERE invoice_no = ?1",
      {Variant::Long(904)});
  c_->ExecuteWith(
      "INSERT INTO Credit_Note_Detail (credit_no, order_key, line_no, item_number, site, quantity, unit_price,"
      " discount, amount) SELECT 7001, order_key, line_no, item_number, site, quantity, unit_price, discount, amount"
      " FROM Invoice_Detail WHERE invoice_no = ?1",
      {Variant::Long(904)});
  const Document invoice = LoadInvoice(*c_, 904);
  const Document credit = LoadCreditNote(*c_, 7001);
  EXPECT_EQ(credit.type, DocumentType::kCreditNote);
  EXPECT_EQ(credit.number, "7001");
  EXPECT_EQ(credit.books_number, 7001);
  EXPECT_EQ(credit.issue_date, "2026-12-05");
  EXPECT_EQ(credit.due_date, "2026-12-19");
  EXPECT_EQ(credit.preceding_invoice, "904");
  EXPECT_EQ(credit.preceding_invoice_date, "2026-12-01");
  EXPECT_EQ(Amounts(credit), Amounts(invoice));
  EXPECT_EQ(credit.totals.payable, invoice.totals.payable);
  EXPECT_FALSE(credit.totals.payable.IsNegative());
  EXPECT_EQ(DescribeBreaches(CheckDocument(credit)), "");
}

TEST_F(LoadTest, MissingDocumentsAreNamed) {
  struct Case {
    Document (*load)(data::HostConnection&, std::int64_t);
    std::int64_t number;
    const char* named;
  };
  const Case cases[] = {
      {LoadInvoice, 424242, "Invoice 424242"},
      {LoadCreditNote, 1, "Credit note 1"},
      {LoadInvoice, 0, "Invoice 0"},
      {LoadInvoice, 1LL << 40, "Invoice 1099511627776"},
  };
  for (const auto& c : cases) {
    try {
      c.load(*c_, c.number);
      ADD_FAILURE() << c.named << " was loaded";
    } catch (const AutomationError& e) {
      EXPECT_NE(e.description().find(c.named), std::string::npos) << e.description();
    }
  }
}

// Whatever the customer and item say, a value of theirs reaches the
// document through parameters: quotes and markup stay text.
TEST_F(LoadTest, BooksTextReachesTheDocumentAsWritten) {
  const std::string hostile = "O'Hara <b>&amp;</b> '); DELETE FROM Customer; --";
  c_->ExecuteWith("UPDATE Customer SET name = ?1, buyer_reference = ?1 WHERE cust_id = 'C100'",
                  {Variant::String(hostile)});
  Invoice(905, {1}, 0, 0, 0);
  const Document d = LoadInvoice(*c_, 905);
  EXPECT_EQ(d.buyer.name, hostile);
  EXPECT_EQ(d.buyer_reference, hostile);
  EXPECT_EQ(ScalarNumber(*c_, "SELECT count(*) FROM Customer"), 4);
}

}  // namespace
}  // namespace tarvik::einvoice
