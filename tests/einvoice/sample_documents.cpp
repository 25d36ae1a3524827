#include "sample_documents.h"

#include <stdexcept>
#include <string>

namespace tarvik::einvoice::samples {
namespace {

Decimal D(std::string_view text) {
  auto value = Decimal::Parse(text);
  if (!value) throw std::invalid_argument("bad sample amount " + std::string(text));
  return *value;
}

VatTreatment Standard() { return {VatCategory::kStandard, D("19.00"), "", ""}; }
VatTreatment ZeroRated() { return {VatCategory::kZeroRated, D("0.00"), "", ""}; }
VatTreatment IntraCommunity() {
  return {VatCategory::kIntraCommunity, D("0.00"), "Intra-community supply", "VATEX-EU-IC"};
}
VatTreatment ExportOutsideEu() {
  return {VatCategory::kExport, D("0.00"), "Export outside the EU", "VATEX-EU-G"};
}

struct LineSpec {
  const char* id;
  const char* quantity;
  const char* unit;
  const char* gross;
  const char* discount;
  const char* net_price;
  const char* net_amount;
  const char* item_id;
  const char* name;
  const char* description;
};

Line MakeLine(const LineSpec& spec, const VatTreatment& vat, std::string note = {}) {
  Line line;
  line.id = spec.id;
  line.note = std::move(note);
  line.quantity = D(spec.quantity);
  line.unit_code = spec.unit;
  line.gross_price = D(spec.gross);
  line.price_discount = D(spec.discount);
  line.net_price = D(spec.net_price);
  line.net_amount = D(spec.net_amount);
  line.seller_item_id = spec.item_id;
  line.item_name = spec.name;
  line.item_description = spec.description;
  line.vat = vat;
  return line;
}

AllowanceCharge Freight(const char* amount, const VatTreatment& vat) {
  return {true, D(amount), "Freight", "FC", vat};
}

Party Seller() {
  Party p;
  p.name = "Nordlicht Werkzeuge GmbH";
  p.trading_name = "Nordlicht Werkzeuge";
  p.legal_registration_id = "HRB 123456";
  p.vat_id = "DE123456789";
  p.tax_registration_id = "27/123/45678";
  p.electronic_address = "rechnung@nordlicht-werkzeuge.de";
  p.electronic_scheme = "EM";
  p.address = {"Hafenstraße 12", "Halle 3", "", "Hamburg", "20457", "Hamburg", "DE"};
  p.contact = {"Jana Petersen", "+49 40 1234567", "buchhaltung@nordlicht-werkzeuge.de"};
  return p;
}

PaymentInstructions Payment(const std::string& number) {
  return {"58", number, "DE89370400440532013000", "Nordlicht Werkzeuge GmbH", "COBADEFFXXX"};
}

// What every sample shares: seller, currency, payment.
Document Base(const char* number, DocumentType type = DocumentType::kInvoice) {
  Document d;
  d.type = type;
  d.number = number;
  d.books_number = std::stoll(number);
  d.currency = "EUR";
  d.seller = Seller();
  d.payment = Payment(number);
  d.payment_terms = "Payable within 14 days without deduction";
  return d;
}

Party DomesticBuyer() {
  Party p;
  p.name = "Bäckerei Müller & Söhne KG";
  p.id = "C1001";
  p.vat_id = "DE987654321";
  p.electronic_address = "einkauf@mueller-baeckerei.de";
  p.electronic_scheme = "EM";
  p.address = {"Lindenallee 7", "", "", "München", "80331", "", "DE"};
  p.contact = {"Klaus Müller", "+49 89 7654321", "einkauf@mueller-baeckerei.de"};
  return p;
}

const LineSpec kWrenchSet{"1",       "10",      "C62", "12.50", "1.25", "11.25", "112.50", "WR-100",
                          "Socket wrench set", "1/2 inch drive, 24 pieces"};
const LineSpec kBenchVice{"2", "3", "H87", "45.00", "0.00", "45.00", "135.00", "BV-200", "Bench vice", ""};

}  // namespace

Document Domestic() {
  Document d = Base("10012");
  d.issue_date = "2026-03-03";
  d.due_date = "2026-03-17";
  d.buyer_reference = "04011000-1234512345-06";
  d.order_reference = "1005";
  d.notes = {"Thank you for your order."};
  d.delivery_date = "2026-03-02";
  d.delivery_name = "Bäckerei Müller, Filiale Nord";
  d.delivery_address = {"Nordring 44", "", "", "München", "80807", "", "DE"};
  d.buyer = DomesticBuyer();
  d.lines = {MakeLine(kWrenchSet, Standard()), MakeLine(kBenchVice, Standard())};
  d.allowances_charges = {{false, D("5.00"), "Discount", "95", Standard()}, Freight("15.00", Standard())};
  // 247.50 - 5.00 + 15.00 = 257.50; 19 % of it is 48.925.
  d.vat_breakdown = {{Standard(), D("257.50"), D("48.93")}};
  d.totals = {D("247.50"), D("5.00"),   D("15.00"), D("257.50"), D("48.93"),
              D("306.43"), D("100.00"), D("0.00"),  D("206.43")};
  return d;
}

Document IntraEu() {
  Document d = Base("10013");
  d.issue_date = "2026-03-04";
  d.due_date = "2026-03-18";
  d.buyer_reference = "ACHAT-7781";
  d.order_reference = "1006";
  d.delivery_date = "2026-03-04";
  d.delivery_name = "Outillage Lefèvre SARL";
  d.delivery_address = {"12 rue des Forges", "", "", "Lyon", "69002", "", "FR"};
  Party& b = d.buyer;
  b.name = "Outillage Lefèvre SARL";
  b.id = "C1002";
  b.legal_registration_id = "32112345600017";
  b.vat_id = "FR32123456789";
  b.electronic_address = "factures@lefevre-outillage.fr";
  b.electronic_scheme = "EM";
  b.address = {"12 rue des Forges", "", "Bâtiment B", "Lyon", "69002", "Auvergne-Rhône-Alpes", "FR"};
  d.lines = {MakeLine({"1", "4", "C62", "250.00", "0.00", "250.00", "1000.00", "DR-300", "Pillar drill", ""},
                      IntraCommunity()),
             MakeLine({"2", "2.5", "KGM", "18.40", "0.00", "18.40", "46.00", "NL-010", "Nails, galvanised", ""},
                      IntraCommunity())};
  d.lines[0].order_line_reference = "1";
  d.allowances_charges = {Freight("25.00", IntraCommunity())};
  d.vat_breakdown = {{IntraCommunity(), D("1071.00"), D("0.00")}};
  d.totals = {D("1046.00"), D("0.00"), D("25.00"), D("1071.00"), D("0.00"),
              D("1071.00"), D("0.00"), D("0.00"),  D("1071.00")};
  return d;
}

Document Export() {
  Document d = Base("10014");
  d.issue_date = "2026-03-05";
  d.due_date = "2026-04-04";
  d.buyer_reference = "Bestellung 88-12";
  d.order_reference = "1007";
  d.delivery_date = "2026-03-05";
  d.delivery_address = {"Bahnhofstrasse 5", "", "", "Zürich", "8001", "", "CH"};
  Party& b = d.buyer;
  b.name = "Alpen Handwerk AG";
  b.id = "C1003";
  b.electronic_address = "rechnungen@alpen-handwerk.ch";
  b.electronic_scheme = "EM";
  b.address = {"Bahnhofstrasse 5", "", "", "Zürich", "8001", "", "CH"};
  d.lines = {MakeLine({"1", "12.500", "MTR", "8.00", "0.40", "7.60", "95.00", "CH-050", "Steel chain", "5 mm links"},
                      ExportOutsideEu()),
             MakeLine({"2", "1", "C62", "320.00", "0.00", "320.00", "320.00", "WB-900", "Workbench", ""},
                      ExportOutsideEu())};
  d.vat_breakdown = {{ExportOutsideEu(), D("415.00"), D("0.00")}};
  d.totals = {D("415.00"), D("0.00"), D("0.00"), D("415.00"), D("0.00"),
              D("415.00"), D("0.00"), D("0.00"), D("415.00")};
  return d;
}

Document Consolidated() {
  Document d = Base("10015");
  d.issue_date = "2026-03-06";
  d.due_date = "2026-03-20";
  d.buyer_reference = "04011000-1234512345-06";
  d.notes = {"Orders: 1005, 1009"};
  d.delivery_date = "2026-03-05";
  d.buyer = DomesticBuyer();
  d.lines = {
      MakeLine({"1", "2", "C62", "30.00", "0.00", "30.00", "60.00", "HM-010", "Claw hammer", ""}, Standard(),
               "Order 1005"),
      MakeLine({"2", "5", "C62", "4.20", "0.00", "4.20", "21.00", "GL-020", "Work gloves", ""}, Standard(),
               "Order 1009"),
      MakeLine({"3", "1", "C62", "99.99", "0.00", "99.99", "99.99", "PV-001", "Solar panel mount", ""},
               ZeroRated(), "Order 1009")};
  d.allowances_charges = {Freight("9.90", Standard())};
  // S: 60.00 + 21.00 + 9.90 = 90.90, 19 % is 17.271.
  d.vat_breakdown = {{Standard(), D("90.90"), D("17.27")}, {ZeroRated(), D("99.99"), D("0.00")}};
  d.totals = {D("180.99"), D("0.00"), D("9.90"), D("190.89"), D("17.27"),
              D("208.16"), D("0.00"), D("0.00"), D("208.16")};
  return d;
}

Document CreditNote() {
  Document d = Base("90001", DocumentType::kCreditNote);
  d.issue_date = "2026-03-10";
  d.due_date = "2026-03-24";
  d.buyer_reference = "04011000-1234512345-06";
  d.order_reference = "1005";
  d.preceding_invoice = "10012";
  d.preceding_invoice_date = "2026-03-03";
  d.delivery_date = "2026-03-02";
  d.buyer = DomesticBuyer();
  d.lines = {MakeLine(kWrenchSet, Standard()), MakeLine(kBenchVice, Standard())};
  d.allowances_charges = {Freight("15.00", Standard())};
  // 247.50 + 15.00 = 262.50; 19 % of it is 49.875.
  d.vat_breakdown = {{Standard(), D("262.50"), D("49.88")}};
  d.totals = {D("247.50"), D("0.00"), D("15.00"), D("262.50"), D("49.88"),
              D("312.38"), D("0.00"), D("0.00"),  D("312.38")};
  return d;
}

const std::vector<NamedSample>& All() {
  static const std::vector<NamedSample> kAll = {
      {"Domestic", Domestic}, {"IntraEu", IntraEu}, {"Export", Export},
      {"Consolidated", Consolidated}, {"CreditNote", CreditNote}};
  return kAll;
}

}  // namespace tarvik::einvoice::samples
