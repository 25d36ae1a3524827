// UN/CEFACT Cross Industry Invoice D16B. Element order follows the CII
// schemas; invoice and credit note differ only in the type code.
#include <stdexcept>

#include "einvoice/writers.h"
#include "einvoice/xml_writer.h"

namespace tarvik::einvoice {
namespace {

constexpr const char* kRsm = "rsm";
constexpr const char* kRam = "ram";
constexpr const char* kUdt = "udt";
constexpr const char* kQdt = "qdt";
constexpr const char* kGuideline = "urn:cen.eu:en16931:2017";

// "2026-03-01" as CII's format 102, "20260301".
std::string Format102(const std::string& date) {
  bool ok = date.size() == 10 && date[4] == '-' && date[7] == '-';
  for (std::size_t i = 0; ok && i < date.size(); ++i) {
    if (i != 4 && i != 7 && (date[i] < '0' || date[i] > '9')) ok = false;
  }
  if (!ok) throw std::invalid_argument("date \"" + date + "\" is not YYYY-MM-DD");
  return date.substr(0, 4) + date.substr(5, 2) + date.substr(8, 2);
}

class CiiWriter {
 public:
  explicit CiiWriter(const Document& document) : doc_(document) {}

  std::string Write() {
    w_.StartRoot(kRsm, "CrossIndustryInvoice",
                 {{kRsm, "urn:un:unece:uncefact:data:standard:CrossIndustryInvoice:100"},
                  {kRam, "urn:un:unece:uncefact:data:standard:ReusableAggregateBusinessInformationEntity:100"},
                  {kUdt, "urn:un:unece:uncefact:data:standard:UnqualifiedDataType:100"},
                  {kQdt, "urn:un:unece:uncefact:data:standard:QualifiedDataType:100"}});
    w_.Nest(kRsm, "ExchangedDocumentContext", [&] {
      w_.Nest(kRam, "GuidelineSpecifiedDocumentContextParameter", [&] { w_.Element(kRam, "ID", kGuideline); });
    });
    w_.Nest(kRsm, "ExchangedDocument", [&] {
      w_.Element(kRam, "ID", doc_.number);
      w_.Element(kRam, "TypeCode", std::to_string(TypeCode(doc_.type)));
      Date(kRam, "IssueDateTime", kUdt, doc_.issue_date);
      for (const std::string& note : doc_.notes) Note(note);
    });
    w_.Nest(kRsm, "SupplyChainTradeTransaction", [&] {
      for (const Line& line : doc_.lines) DocumentLine(line);
      Agreement();
      Delivery();
      Settlement();
    });
    return w_.Finish();
  }

 private:
  // <name><prefix:DateTimeString format="102">YYYYMMDD</...></name>
  void Date(const char* prefix, const char* name, const char* string_prefix, const std::string& date) {
    w_.Nest(prefix, name, [&] {
      w_.Start(string_prefix, "DateTimeString");
      w_.Attribute("format", "102");
      w_.Text(Format102(date));
      w_.End();
    });
  }

  void Note(const std::string& text) {
    if (text.empty()) return;
    w_.Nest(kRam, "IncludedNote", [&] { w_.Element(kRam, "Content", text); });
  }

  void Amount(const char* name, Decimal value) { w_.Element(kRam, name, value.ToString()); }

  // Category and rate; the breakdown adds amounts and the exemption. Category O carries no rate.
  void Tax(const char* element, const VatTreatment& vat, const VatBreakdown* part) {
    w_.Nest(kRam, element, [&] {
      if (part) Amount("CalculatedAmount", part->tax_amount);
      w_.Element(kRam, "TypeCode", "VAT");
      if (part) {
        w_.Optional(kRam, "ExemptionReason", vat.exemption_reason);
        Amount("BasisAmount", part->taxable_amount);
      }
      w_.Element(kRam, "CategoryCode", CategoryCode(vat.category));
      if (part) w_.Optional(kRam, "ExemptionReasonCode", vat.exemption_reason_code);
      if (vat.category != VatCategory::kNotSubject) w_.Element(kRam, "RateApplicablePercent", vat.rate.ToString());
    });
  }

  void DocumentLine(const Line& line) {
    w_.Nest(kRam, "IncludedSupplyChainTradeLineItem", [&] {
      w_.Nest(kRam, "AssociatedDocumentLineDocument", [&] {
        w_.Element(kRam, "LineID", line.id);
        Note(line.note);
      });
      w_.Nest(kRam, "SpecifiedTradeProduct", [&] {
        w_.Optional(kRam, "SellerAssignedID", line.seller_item_id);
        w_.Element(kRam, "Name", line.item_name);
        w_.Optional(kRam, "Description", line.item_description);
      });
      w_.Nest(kRam, "SpecifiedLineTradeAgreement", [&] {
        if (!line.order_line_reference.empty()) {
          w_.Nest(kRam, "BuyerOrderReferencedDocument",
                  [&] { w_.Element(kRam, "LineID", line.order_line_reference); });
        }
        // The gross price travels only with the discount that takes it to the net price.
        if (!line.price_discount.IsZero()) {
          w_.Nest(kRam, "GrossPriceProductTradePrice", [&] {
            Amount("ChargeAmount", line.gross_price);
            w_.Nest(kRam, "AppliedTradeAllowanceCharge", [&] {
              ChargeIndicator(false);
              Amount("ActualAmount", line.price_discount);
            });
          });
        }
        w_.Nest(kRam, "NetPriceProductTradePrice", [&] { Amount("ChargeAmount", line.net_price); });
      });
      w_.Nest(kRam, "SpecifiedLineTradeDelivery", [&] {
        w_.Start(kRam, "BilledQuantity");
        w_.Attribute("unitCode", line.unit_code);
        w_.Text(line.quantity.ToString());
        w_.End();
      });
      w_.Nest(kRam, "SpecifiedLineTradeSettlement", [&] {
        Tax("ApplicableTradeTax", line.vat, nullptr);
        w_.Nest(kRam, "SpecifiedTradeSettlementLineMonetarySummation",
                [&] { Amount("LineTotalAmount", line.net_amount); });
      });
    });
  }

  void ChargeIndicator(bool charge) {
    w_.Nest(kRam, "ChargeIndicator", [&] { w_.Element(kUdt, "Indicator", charge ? "true" : "false"); });
  }

  void Address(const einvoice::Address& address) {
    w_.Nest(kRam, "PostalTradeAddress", [&] {
      w_.Optional(kRam, "PostcodeCode", address.postcode);
      w_.Optional(kRam, "LineOne", address.line1);
      w_.Optional(kRam, "LineTwo", address.line2);
      w_.Optional(kRam, "LineThree", address.line3);
      w_.Optional(kRam, "CityName", address.city);
      w_.Element(kRam, "CountryID", address.country);
      w_.Optional(kRam, "CountrySubDivisionName", address.subdivision);
    });
  }

  void TaxRegistration(const std::string& id, const char* scheme) {
    if (id.empty()) return;
    w_.Nest(kRam, "SpecifiedTaxRegistration", [&] {
      w_.Start(kRam, "ID");
      w_.Attribute("schemeID", scheme);
      w_.Text(id);
      w_.End();
    });
  }

  void Party(const char* element, const einvoice::Party& party, bool seller) {
    w_.Nest(kRam, element, [&] {
      w_.Optional(kRam, "ID", party.id);
      w_.Element(kRam, "Name", party.name);
      if (!party.legal_registration_id.empty() || !party.trading_name.empty()) {
        w_.Nest(kRam, "SpecifiedLegalOrganization", [&] {
          w_.Optional(kRam, "ID", party.legal_registration_id);
          w_.Optional(kRam, "TradingBusinessName", party.trading_name);
        });
      }
      const Contact& contact = party.contact;
      if (!contact.name.empty() || !contact.phone.empty() || !contact.email.empty()) {
        w_.Nest(kRam, "DefinedTradeContact", [&] {
          w_.Optional(kRam, "PersonName", contact.name);
          if (!contact.phone.empty()) {
            w_.Nest(kRam, "TelephoneUniversalCommunication",
                    [&] { w_.Element(kRam, "CompleteNumber", contact.phone); });
          }
          if (!contact.email.empty()) {
            w_.Nest(kRam, "EmailURIUniversalCommunication", [&] { w_.Element(kRam, "URIID", contact.email); });
          }
        });
      }
      Address(party.address);
      if (!party.electronic_address.empty()) {
        w_.Nest(kRam, "URIUniversalCommunication", [&] {
          w_.Start(kRam, "URIID");
          if (!party.electronic_scheme.empty()) w_.Attribute("schemeID", party.electronic_scheme);
          w_.Text(party.electronic_address);
          w_.End();
        });
      }
      TaxRegistration(party.vat_id, "VA");
      // The seller's tax registration other than VAT (BT-32).
      if (seller) TaxRegistration(party.tax_registration_id, "FC");
    });
  }

  void Agreement() {
    w_.Nest(kRam, "ApplicableHeaderTradeAgreement", [&] {
      w_.Optional(kRam, "BuyerReference", doc_.buyer_reference);
      Party("SellerTradeParty", doc_.seller, true);
      Party("BuyerTradeParty", doc_.buyer, false);
      if (!doc_.order_reference.empty()) {
        w_.Nest(kRam, "BuyerOrderReferencedDocument",
                [&] { w_.Element(kRam, "IssuerAssignedID", doc_.order_reference); });
      }
    });
  }

  void Delivery() {
    w_.Nest(kRam, "ApplicableHeaderTradeDelivery", [&] {
      bool has_address = !doc_.delivery_address.country.empty();
      if (has_address || !doc_.delivery_name.empty()) {
        w_.Nest(kRam, "ShipToTradeParty", [&] {
          w_.Optional(kRam, "Name", doc_.delivery_name);
          if (has_address) Address(doc_.delivery_address);
        });
      }
      if (!doc_.delivery_date.empty()) {
        w_.Nest(kRam, "ActualDeliverySupplyChainEvent",
                [&] { Date(kRam, "OccurrenceDateTime", kUdt, doc_.delivery_date); });
      }
    });
  }

  void PaymentMeans() {
    const PaymentInstructions& pay = doc_.payment;
    if (pay.means_code.empty()) return;
    w_.Nest(kRam, "SpecifiedTradeSettlementPaymentMeans", [&] {
      w_.Element(kRam, "TypeCode", pay.means_code);
      if (!pay.iban.empty()) {
        w_.Nest(kRam, "PayeePartyCreditorFinancialAccount", [&] {
          w_.Element(kRam, "IBANID", pay.iban);
          w_.Optional(kRam, "AccountName", pay.account_name);
        });
      }
      if (!pay.bic.empty()) {
        w_.Nest(kRam, "PayeeSpecifiedCreditorFinancialInstitution", [&] { w_.Element(kRam, "BICID", pay.bic); });
      }
    });
  }

  void DocumentAllowanceCharge(const AllowanceCharge& ac) {
    w_.Nest(kRam, "SpecifiedTradeAllowanceCharge", [&] {
      ChargeIndicator(ac.is_charge);
      Amount("ActualAmount", ac.amount);
      w_.Optional(kRam, "ReasonCode", ac.reason_code);
      w_.Optional(kRam, "Reason", ac.reason);
      Tax("CategoryTradeTax", ac.vat, nullptr);
    });
  }

  void MonetaryTotal() {
    const Totals& t = doc_.totals;
    bool allowances = false, charges = false;
    for (const AllowanceCharge& ac : doc_.allowances_charges) (ac.is_charge ? charges : allowances) = true;
    w_.Nest(kRam, "SpecifiedTradeSettlementHeaderMonetarySummation", [&] {
      Amount("LineTotalAmount", t.line_net);
      if (charges || !t.charges.IsZero()) Amount("ChargeTotalAmount", t.charges);
      if (allowances || !t.allowances.IsZero()) Amount("AllowanceTotalAmount", t.allowances);
      Amount("TaxBasisTotalAmount", t.tax_exclusive);
      w_.Start(kRam, "TaxTotalAmount");
      w_.Attribute("currencyID", doc_.currency);
      w_.Text(t.tax.ToString());
      w_.End();
      if (!t.rounding.IsZero()) Amount("RoundingAmount", t.rounding);
      Amount("GrandTotalAmount", t.tax_inclusive);
      if (!t.prepaid.IsZero()) Amount("TotalPrepaidAmount", t.prepaid);
      Amount("DuePayableAmount", t.payable);
    });
  }

  void Settlement() {
    w_.Nest(kRam, "ApplicableHeaderTradeSettlement", [&] {
      w_.Optional(kRam, "PaymentReference", doc_.payment.remittance);
      w_.Element(kRam, "InvoiceCurrencyCode", doc_.currency);
      PaymentMeans();
      for (const VatBreakdown& part : doc_.vat_breakdown) Tax("ApplicableTradeTax", part.vat, &part);
      for (const AllowanceCharge& ac : doc_.allowances_charges) DocumentAllowanceCharge(ac);
      if (!doc_.payment_terms.empty() || !doc_.due_date.empty()) {
        w_.Nest(kRam, "SpecifiedTradePaymentTerms", [&] {
          w_.Optional(kRam, "Description", doc_.payment_terms);
          if (!doc_.due_date.empty()) Date(kRam, "DueDateDateTime", kUdt, doc_.due_date);
        });
      }
      MonetaryTotal();
      if (!doc_.preceding_invoice.empty()) {
        w_.Nest(kRam, "InvoiceReferencedDocument", [&] {
          w_.Element(kRam, "IssuerAssignedID", doc_.preceding_invoice);
          if (!doc_.preceding_invoice_date.empty()) {
            Date(kRam, "FormattedIssueDateTime", kQdt, doc_.preceding_invoice_date);
          }
        });
      }
    });
  }

  const Document& doc_;
  XmlWriter w_;
};

}  // namespace

std::string WriteCii(const Document& document) { return CiiWriter(document).Write(); }

}  // namespace tarvik::einvoice
