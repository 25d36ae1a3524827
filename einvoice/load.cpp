#include "einvoice/load.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "data/result_set.h"
#include "data/value.h"
#include "db/company_settings.h"
#include "platform/error.h"
#include "platform/regional.h"

namespace tarvik::einvoice {
namespace {

// Where an invoice and a credit note keep their rows; the two tables of
// each share their columns, the credit note adding the invoice it cancels.
struct Books {
  DocumentType type;
  const char* what;
  const char* header_sql;
  const char* detail_sql;
};

// Header columns: date, ship date, freight, other charge, paid, cancelled
// invoice number and date.
const Books kInvoiceBooks = {
    DocumentType::kInvoice, "Invoice",
    "SELECT invoice_date, ship_date, freight, other_charge, paid, NULL, NULL "
    "FROM Invoice_Header WHERE invoice_no = ?1",
    "SELECT d.order_key, d.line_no, d.item_number, d.quantity, d.unit_price, d.discount, o.order_number, "
    "o.cust_id, o.shipto_name, it.description, it.unit_code, it.vat_category, it.vat_exemption_reason, "
    "it.vat_exemption_code FROM Invoice_Detail d JOIN Order_Header o ON o.order_key = d.order_key "
    "LEFT JOIN Item it ON it.item_number = d.item_number WHERE d.invoice_no = ?1 "
    "ORDER BY o.order_number, d.order_key, d.line_no"};

const Books kCreditBooks = {
    DocumentType::kCreditNote, "Credit note",
    "SELECT credit_date, ship_date, freight, other_charge, paid, invoice_no, invoice_date "
    "FROM Credit_Note_Header WHERE credit_no = ?1",
    "SELECT d.order_key, d.line_no, d.item_number, d.quantity, d.unit_price, d.discount, o.order_number, "
    "o.cust_id, o.shipto_name, it.description, it.unit_code, it.vat_category, it.vat_exemption_reason, "
    "it.vat_exemption_code FROM Credit_Note_Detail d JOIN Order_Header o ON o.order_key = d.order_key "
    "LEFT JOIN Item it ON it.item_number = d.item_number WHERE d.credit_no = ?1 "
    "ORDER BY o.order_number, d.order_key, d.line_no"};

std::string Text(const data::Value& v) {
  if (auto* s = std::get_if<std::string>(&v)) return *s;
  if (auto* n = std::get_if<std::int64_t>(&v)) return std::to_string(*n);
  return {};
}

double Number(const data::Value& v) {
  if (auto* d = std::get_if<double>(&v)) return *d;
  if (auto* n = std::get_if<std::int64_t>(&v)) return static_cast<double>(*n);
  return 0;
}

// A date column as a day number (OLE date), whichever way the backend hands it over.
std::optional<double> Day(const data::Value& v) {
  if (auto* d = std::get_if<data::DateValue>(&v)) return std::floor(d->ole);
  if (auto* s = std::get_if<std::string>(&v)) {
    if (auto d = regional::ParseIsoDate(*s)) return std::floor(*d);
  }
  return std::nullopt;
}

std::string IsoDay(std::optional<double> day) {
  return day ? regional::FormatIsoDate(*day).substr(0, 10) : std::string();
}

// Drops trailing zeros down to min_scale decimals: 12.5000 -> 12.50.
Decimal Trimmed(Decimal d, int min_scale) {
  while (d.scale() > min_scale && d.units() % 10 == 0) d = Decimal::FromUnits(d.units() / 10, d.scale() - 1);
  return d;
}

Decimal Amount(double v) { return Decimal::FromDouble(v, 2); }
Decimal Price(double v) { return Trimmed(Decimal::FromDouble(v, 4), 2); }

// percent % of base, exact.
Decimal PercentOf(Decimal base, Decimal percent) {
  const Decimal product = base * percent;
  return Decimal::FromUnits(product.units(), product.scale() + 2);
}

Decimal Round2(Decimal d) { return d.Rescaled(2); }

VatCategory CategoryFromCode(const std::string& code) {
  static const std::pair<const char*, VatCategory> kCodes[] = {
      {"S", VatCategory::kStandard},        {"Z", VatCategory::kZeroRated},
      {"E", VatCategory::kExempt},          {"AE", VatCategory::kReverseCharge},
      {"K", VatCategory::kIntraCommunity},  {"G", VatCategory::kExport},
      {"O", VatCategory::kNotSubject},
  };
  for (const auto& [text, category] : kCodes) {
    if (code == text) return category;
  }
  return VatCategory::kStandard;
}

// The exemption a category states when the books name none.
struct DefaultExemption {
  VatCategory category;
  const char* code;
  const char* reason;
};
const DefaultExemption kDefaultExemptions[] = {
    {VatCategory::kIntraCommunity, "VATEX-EU-IC", "Intra-community supply"},
    {VatCategory::kExport, "VATEX-EU-G", "Export outside the EU"},
    {VatCategory::kReverseCharge, "VATEX-EU-AE", "Reverse charge"},
    {VatCategory::kNotSubject, "VATEX-EU-O", "Not subject to VAT"},
};

VatTreatment Treatment(const std::string& code, Decimal standard_rate, const std::string& reason,
                       const std::string& reason_code) {
  VatTreatment t;
  t.category = CategoryFromCode(code);
  t.rate = t.category == VatCategory::kStandard ? standard_rate : Decimal::FromUnits(0, 2);
  t.exemption_reason = reason;
  t.exemption_reason_code = reason_code;
  if (t.category == VatCategory::kStandard || t.category == VatCategory::kZeroRated) return t;
  for (const auto& d : kDefaultExemptions) {
    if (d.category != t.category || !t.exemption_reason.empty() || !t.exemption_reason_code.empty()) continue;
    t.exemption_reason = d.reason;
    t.exemption_reason_code = d.code;
  }
  return t;
}

bool SameVat(const VatTreatment& a, const VatTreatment& b) { return a.category == b.category && a.rate == b.rate; }

struct Customer {
  Party party;
  std::string buyer_reference;
  std::string vat_category;
  std::string exemption_reason;
  std::string exemption_code;
  Decimal tax_rate;
};

Customer ReadCustomer(data::HostConnection& c, const std::string& id) {
  auto rs = c.QueryWith(
      "SELECT name, address, address_line2, city, postcode, subdivision, country, vat_id, legal_registration_id, "
      "electronic_address, electronic_scheme, buyer_reference, contact_name, contact_phone, contact_email, "
      "vat_category, vat_exemption_reason, vat_exemption_code, tax_rate FROM Customer WHERE cust_id = ?1",
      {Variant::String(id)});
  if (!rs->Seek(0)) RaiseError(kErrItemNotFound, "Customer " + id + " of the invoice's orders is not in the books.");
  auto col = [&](int i) { return Text(rs->Column(i)); };
  Customer out;
  Party& p = out.party;
  p.id = id;
  p.name = col(0);
  p.address.line1 = col(1);
  p.address.line2 = col(2);
  p.address.city = col(3);
  p.address.postcode = col(4);
  p.address.subdivision = col(5);
  p.address.country = col(6);
  p.vat_id = col(7);
  p.legal_registration_id = col(8);
  p.electronic_address = col(9);
  p.electronic_scheme = col(10);
  out.buyer_reference = col(11);
  p.contact = {col(12), col(13), col(14)};
  out.vat_category = col(15);
  out.exemption_reason = col(16);
  out.exemption_code = col(17);
  out.tax_rate = Trimmed(Decimal::FromDouble(Number(rs->Column(18)), 4), 2);
  return out;
}

std::string Setting(const std::vector<std::pair<std::string, std::string>>& settings, std::string_view name) {
  for (const auto& [n, v] : settings) {
    if (n == name) return v;
  }
  return {};
}

Party Seller(const std::vector<std::pair<std::string, std::string>>& s) {
  Party p;
  p.name = Setting(s, "seller_legal_name");
  p.trading_name = Setting(s, "seller_trading_name");
  p.vat_id = Setting(s, "seller_vat_id");
  p.tax_registration_id = Setting(s, "seller_tax_registration_id");
  p.legal_registration_id = Setting(s, "seller_legal_registration_id");
  p.electronic_address = Setting(s, "seller_electronic_address");
  p.electronic_scheme = Setting(s, "seller_electronic_scheme");
  p.address = {Setting(s, "seller_address_line1"), Setting(s, "seller_address_line2"),
               Setting(s, "seller_address_line3"), Setting(s, "seller_city"),
               Setting(s, "seller_postcode"),      Setting(s, "seller_subdivision"),
               Setting(s, "seller_country")};
  p.contact = {Setting(s, "contact_name"), Setting(s, "contact_phone"), Setting(s, "contact_email")};
  return p;
}

std::string Compact(const std::string& text) {
  std::string out;
  for (char ch : text) {
    if (ch != ' ') out += ch;
  }
  return out;
}

// The ship-to of every line, when they all go to one named place.
void ReadDelivery(data::HostConnection& c, Document& doc, const std::string& cust_id,
                  const std::vector<std::string>& shiptos) {
  if (shiptos.empty() || shiptos.front().empty()) return;
  if (std::any_of(shiptos.begin(), shiptos.end(), [&](const std::string& s) { return s != shiptos.front(); })) return;
  auto rs = c.QueryWith("SELECT address, city, postcode, country FROM ShipTo WHERE cust_id = ?1 AND shipto_name = ?2",
                        {Variant::String(cust_id), Variant::String(shiptos.front())});
  if (!rs->Seek(0)) return;
  doc.delivery_name = shiptos.front();
  doc.delivery_address.line1 = Text(rs->Column(0));
  doc.delivery_address.city = Text(rs->Column(1));
  doc.delivery_address.postcode = Text(rs->Column(2));
  doc.delivery_address.country = Text(rs->Column(3));
  // A ship-to is the customer's own place: in its country unless it says otherwise.
  if (doc.delivery_address.country.empty()) doc.delivery_address.country = doc.buyer.address.country;
}

// The category and rate most of the lines' net amount falls under (the
// first line's on a tie): what the document's freight and charges carry.
VatTreatment MainTreatment(const std::vector<Line>& lines) {
  std::vector<std::pair<VatTreatment, Decimal>> sums;
  for (const auto& l : lines) {
    auto it = std::find_if(sums.begin(), sums.end(), [&](const auto& s) { return SameVat(s.first, l.vat); });
    if (it == sums.end()) {
      sums.emplace_back(l.vat, l.net_amount);
    } else {
      it->second += l.net_amount;
    }
  }
  if (sums.empty()) return {};
  auto best = sums.begin();
  for (auto it = sums.begin(); it != sums.end(); ++it) {
    if (it->second > best->second) best = it;
  }
  return best->first;
}

void AddCharge(Document& doc, double value, const char* reason, const char* code, const VatTreatment& vat) {
  const Decimal amount = Amount(value);
  if (amount.IsZero()) return;
  AllowanceCharge ac;
  ac.is_charge = !amount.IsNegative();
  ac.amount = ac.is_charge ? amount : -amount;
  ac.reason = ac.is_charge ? reason : std::string(reason) + " credited";
  ac.reason_code = ac.is_charge ? code : "";
  ac.vat = vat;
  doc.allowances_charges.push_back(std::move(ac));
}

void ComputeTotals(Document& doc) {
  Totals& t = doc.totals;
  const Decimal prepaid = t.prepaid;
  t = Totals{};
  t.prepaid = prepaid;
  std::vector<VatBreakdown>& breakdown = doc.vat_breakdown;
  breakdown.clear();
  auto add = [&](const VatTreatment& vat, Decimal amount) {
    auto it = std::find_if(breakdown.begin(), breakdown.end(), [&](const auto& b) { return SameVat(b.vat, vat); });
    if (it == breakdown.end()) {
      breakdown.push_back({vat, Decimal(), Decimal()});
      it = breakdown.end() - 1;
    }
    it->taxable_amount += amount;
  };
  for (const auto& l : doc.lines) {
    t.line_net += l.net_amount;
    add(l.vat, l.net_amount);
  }
  for (const auto& ac : doc.allowances_charges) {
    (ac.is_charge ? t.charges : t.allowances) += ac.amount;
    add(ac.vat, ac.is_charge ? ac.amount : -ac.amount);
  }
  for (auto& b : breakdown) {
    b.tax_amount = Round2(PercentOf(b.taxable_amount, b.vat.rate));
    t.tax += b.tax_amount;
  }
  t.tax_exclusive = t.line_net - t.allowances + t.charges;
  t.tax_inclusive = t.tax_exclusive + t.tax;
  t.payable = t.tax_inclusive - t.prepaid + t.rounding;
}

Document Load(data::HostConnection& c, const Books& books, std::int64_t number) {
  const std::string name = std::string(books.what) + " " + std::to_string(number);
  if (number < 1 || number > std::numeric_limits<std::int32_t>::max()) {
    RaiseError(kErrItemNotFound, name + " is not in the books.");
  }
  const Variant key = Variant::Long(static_cast<std::int32_t>(number));
  auto header = c.QueryWith(books.header_sql, {key});
  if (!header->Seek(0)) RaiseError(kErrItemNotFound, name + " is not in the books.");

  Document doc;
  doc.type = books.type;
  doc.books_number = number;
  doc.number = std::to_string(number);
  const std::optional<double> issued = Day(header->Column(0));
  doc.issue_date = IsoDay(issued);
  doc.delivery_date = IsoDay(Day(header->Column(1)));
  const double freight = Number(header->Column(2));
  const double other_charge = Number(header->Column(3));
  doc.totals.prepaid = Amount(Number(header->Column(4)));
  if (books.type == DocumentType::kCreditNote) {
    doc.preceding_invoice = Text(header->Column(5));
    doc.preceding_invoice_date = IsoDay(Day(header->Column(6)));
  }

  const auto settings = db::ReadCompanySettings(c);
  doc.seller = Seller(settings);
  doc.currency = Setting(settings, "currency");
  doc.payment_terms = Setting(settings, "payment_terms");
  const std::string due_days = Setting(settings, "payment_due_days");
  int days = 0;
  const auto [end, fault] = std::from_chars(due_days.data(), due_days.data() + due_days.size(), days);
  if (issued && !due_days.empty() && fault == std::errc() && end == due_days.data() + due_days.size()) {
    doc.due_date = IsoDay(*issued + days);
  }
  if (const std::string iban = Compact(Setting(settings, "bank_iban")); !iban.empty()) {
    doc.payment = {"58", doc.number, iban, Setting(settings, "bank_account_name"), Setting(settings, "bank_bic")};
  }

  struct Row {
    std::string order_number, cust_id, shipto;
    Line line;
    std::string item_category, item_reason, item_code;
  };
  std::vector<Row> rows;
  auto detail = c.QueryWith(books.detail_sql, {key});
  for (std::int64_t r = 0; detail->Seek(r); ++r) {
    Row row;
    row.order_number = Text(detail->Column(6));
    row.cust_id = Text(detail->Column(7));
    row.shipto = Text(detail->Column(8));
    Line& l = row.line;
    l.seller_item_id = Text(detail->Column(2));
    l.quantity = Trimmed(Decimal::FromDouble(Number(detail->Column(3)), 4), 0);
    l.gross_price = Price(Number(detail->Column(4)));
    const Decimal discount = Trimmed(Decimal::FromDouble(Number(detail->Column(5)), 4), 0);
    l.price_discount = Trimmed(PercentOf(l.gross_price, discount), 2);
    l.net_price = Trimmed(l.gross_price - l.price_discount, 2);
    l.net_amount = Round2(l.quantity * l.net_price);
    // An item no longer in the books is named by its number.
    l.item_name = IsNull(detail->Column(9)) ? l.seller_item_id : Text(detail->Column(9));
    l.unit_code = IsNull(detail->Column(10)) ? "C62" : Text(detail->Column(10));
    row.item_category = IsNull(detail->Column(11)) ? "S" : Text(detail->Column(11));
    row.item_reason = Text(detail->Column(12));
    row.item_code = Text(detail->Column(13));
    rows.push_back(std::move(row));
  }
  if (rows.empty()) RaiseError(kErrItemNotFound, name + " has no lines in the books.");

  std::vector<std::string> customers, orders, shiptos;
  for (const auto& row : rows) {
    if (std::find(customers.begin(), customers.end(), row.cust_id) == customers.end()) customers.push_back(row.cust_id);
    if (std::find(orders.begin(), orders.end(), row.order_number) == orders.end()) orders.push_back(row.order_number);
    shiptos.push_back(row.shipto);
  }
  if (customers.size() != 1) {
    RaiseError(kErrInvalidOperation, name + " bills orders of several customers; an e-invoice has one buyer.");
  }
  const Customer customer = ReadCustomer(c, customers.front());
  doc.buyer = customer.party;
  doc.buyer_reference = customer.buyer_reference;
  ReadDelivery(c, doc, customers.front(), shiptos);

  if (orders.size() == 1) {
    doc.order_reference = orders.front();
  } else {
    std::string list;
    for (const auto& o : orders) list += (list.empty() ? "" : ", ") + o;
    doc.notes.push_back("Orders: " + list);
  }
  int id = 0;
  for (auto& row : rows) {
    Line& l = row.line;
    l.id = std::to_string(++id);
    if (orders.size() > 1) l.note = "Order " + row.order_number;
    // A customer's own category covers the whole document; otherwise each item says.
    l.vat = customer.vat_category.empty()
                ? Treatment(row.item_category, customer.tax_rate, row.item_reason, row.item_code)
                : Treatment(customer.vat_category, customer.tax_rate, customer.exemption_reason,
                            customer.exemption_code);
    doc.lines.push_back(std::move(l));
  }

  // A supply outside the scope of VAT states no VAT identifier of either party.
  if (std::all_of(doc.lines.begin(), doc.lines.end(),
                  [](const Line& l) { return l.vat.category == VatCategory::kNotSubject; })) {
    doc.seller.vat_id.clear();
    doc.buyer.vat_id.clear();
  }
  const VatTreatment main = MainTreatment(doc.lines);
  AddCharge(doc, freight, "Freight", "FC", main);
  AddCharge(doc, other_charge, "Other charge", "", main);
  ComputeTotals(doc);
  return doc;
}

}  // namespace

Document LoadInvoice(data::HostConnection& connection, std::int64_t invoice_no) {
  return Load(connection, kInvoiceBooks, invoice_no);
}

Document LoadCreditNote(data::HostConnection& connection, std::int64_t credit_no) {
  return Load(connection, kCreditBooks, credit_no);
}

}  // namespace tarvik::einvoice
