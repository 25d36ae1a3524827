#include "einvoice/credit_note_pdf.h"

#include <optional>
#include <vector>

#include "components/report/layout.h"
#include "components/report/pdf_renderer.h"
#include "components/report/report_data.h"
#include "components/report/text_template.h"
#include "platform/regional.h"

namespace tarvik::einvoice {
namespace {

namespace report = components::report;

data::Value Day(const std::string& iso) {
  if (auto day = regional::ParseIsoDate(iso)) return data::DateValue{*day};
  return {};
}

data::Value Amount(const Decimal& d) { return d.ToDouble(); }

std::string Money(const Decimal& d) { return report::FormatValue(d.ToDouble(), report::Format::kMoney); }

std::string Joined(std::initializer_list<std::string> parts, const char* separator) {
  std::string out;
  for (const std::string& p : parts) {
    if (p.empty()) continue;
    if (!out.empty()) out += separator;
    out += p;
  }
  return out;
}

// "S 19%", or the bare code where no rate applies.
std::string VatText(const VatTreatment& vat) {
  const std::string code = CategoryCode(vat.category);
  if (vat.category != VatCategory::kStandard && vat.rate.IsZero()) return code;
  return code + " " + report::FormatValue(vat.rate.ToDouble(), report::Format::kPercent);
}

std::string BreakdownText(const Document& doc) {
  std::string text;
  for (const VatBreakdown& part : doc.vat_breakdown) {
    if (!text.empty()) text += '\n';
    text += "VAT " + VatText(part.vat) + ": " + Money(part.tax_amount) + " on " + Money(part.taxable_amount) +
            " " + doc.currency;
    const std::string why = Joined({part.vat.exemption_reason, part.vat.exemption_reason_code}, ", ");
    if (!why.empty()) text += " (" + why + ")";
  }
  return text;
}

report::Record Header(const Document& doc) {
  Decimal freight, other;
  for (const AllowanceCharge& ac : doc.allowances_charges) {
    if (!ac.is_charge) continue;
    (ac.reason_code == "FC" ? freight : other) += ac.amount;
  }
  const Address& buyer = doc.buyer.address;
  const Address& ship = doc.delivery_address;
  report::Record h;
  h.Add("credit_no", doc.number);
  h.Add("credit_date", Day(doc.issue_date));
  h.Add("invoice_no", doc.preceding_invoice);
  h.Add("invoice_date", Day(doc.preceding_invoice_date));
  h.Add("ship_date", Day(doc.delivery_date));
  h.Add("currency", doc.currency);
  h.Add("cust_id", doc.buyer.id);
  h.Add("customer_name", doc.buyer.name);
  h.Add("customer_address", Joined({buyer.line1, buyer.line2, buyer.line3}, "\n"));
  h.Add("customer_city", Joined({buyer.postcode, buyer.city}, " "));
  h.Add("customer_country", buyer.country);
  h.Add("customer_vat", doc.buyer.vat_id.empty() ? std::string() : "VAT: " + doc.buyer.vat_id);
  h.Add("shipto_name", doc.delivery_name);
  h.Add("shipto_address", Joined({ship.line1, ship.line2, ship.line3}, "\n"));
  h.Add("shipto_city", Joined({ship.postcode, ship.city}, " "));
  h.Add("subtotal", Amount(doc.totals.line_net));
  h.Add("freight", Amount(freight));
  h.Add("other_charge", Amount(other));
  h.Add("tax", Amount(doc.totals.tax));
  h.Add("total", Amount(doc.totals.tax_inclusive));
  h.Add("paid", Amount(doc.totals.prepaid));
  h.Add("refund", Amount(doc.totals.payable));
  h.Add("vat_breakdown", BreakdownText(doc));
  return h;
}

// A consolidated document names each line's order in its note ("Order N").
std::string OrderOf(const Document& doc, const Line& line) {
  constexpr std::string_view kPrefix = "Order ";
  if (line.note.starts_with(kPrefix)) return line.note.substr(kPrefix.size());
  return doc.order_reference;
}

report::Record LineRecord(const Document& doc, const Line& line) {
  const double gross = line.gross_price.ToDouble();
  report::Record r;
  r.Add("order_number", OrderOf(doc, line));
  r.Add("line_no", line.id);
  r.Add("item_number", line.seller_item_id);
  r.Add("description", line.item_name);
  r.Add("vat", VatText(line.vat));
  r.Add("quantity", line.quantity.ToDouble());
  r.Add("unit_price", gross);
  r.Add("discount", gross == 0 ? 0.0 : line.price_discount.ToDouble() / gross * 100);
  r.Add("amount", Amount(line.net_amount));
  return r;
}

}  // namespace

void DrawCreditNote(data::HostConnection& connection, const Document& credit_note, const std::string& layout_file,
                    const std::string& path) {
  const report::Layout layout = report::LoadLayout(layout_file);
  report::InvoiceData data{Header(credit_note), {}};
  for (const Line& line : credit_note.lines) data.lines.push_back(LineRecord(credit_note, line));
  const std::string title = "Credit note";
  report::RenderPdf(
      layout, {data}, report::ReadSettingsRecord(connection),
      [&](const std::string& name) -> std::optional<data::Value> {
        if (name == "Title") return data::Value(title);
        return std::nullopt;
      },
      title + " " + credit_note.number, path, report::ExistingOutput::kReplace);
}

}  // namespace tarvik::einvoice
