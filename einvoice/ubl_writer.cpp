// UBL 2.1 Invoice and CreditNote. Element order follows the UBL schemas;
// the two document types differ only in their root, type code, line and
// quantity names, and where the due date goes.
#include "einvoice/writers.h"
#include "einvoice/xml_writer.h"

namespace tarvik::einvoice {
namespace {

constexpr const char* kCac = "cac";
constexpr const char* kCbc = "cbc";
constexpr const char* kCacUri = "urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2";
constexpr const char* kCbcUri = "urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2";

struct UblProfile {
  const char* customization_id;  // BT-24
  const char* profile_id;        // BT-23, nullptr: none
  // XRechnung wants BT-119 in every breakdown (BR-DE-14), category O
  // included, where the norm leaves it out; 0 satisfies both.
  bool breakdown_rate_always;
};

constexpr UblProfile kEn16931{"urn:cen.eu:en16931:2017", nullptr, false};
constexpr UblProfile kXRechnung{"urn:cen.eu:en16931:2017#compliant#urn:xeinkauf.de:kosit:xrechnung_3.0",
                                "urn:fdc:peppol.eu:2017:poacc:billing:01:1.0", true};

// The names that differ between the two document types.
struct UblDocumentNames {
  const char* root;
  const char* root_uri;
  const char* type_code;
  const char* line;
  const char* quantity;
};

constexpr UblDocumentNames kInvoiceNames{"Invoice", "urn:oasis:names:specification:ubl:schema:xsd:Invoice-2",
                                         "InvoiceTypeCode", "InvoiceLine", "InvoicedQuantity"};
constexpr UblDocumentNames kCreditNoteNames{"CreditNote",
                                            "urn:oasis:names:specification:ubl:schema:xsd:CreditNote-2",
                                            "CreditNoteTypeCode", "CreditNoteLine", "CreditedQuantity"};

class UblWriter {
 public:
  UblWriter(const Document& document, const UblProfile& profile)
      : doc_(document),
        profile_(profile),
        credit_(document.type == DocumentType::kCreditNote),
        names_(credit_ ? kCreditNoteNames : kInvoiceNames) {}

  std::string Write() {
    w_.StartRoot(nullptr, names_.root, {{nullptr, names_.root_uri}, {kCac, kCacUri}, {kCbc, kCbcUri}});
    w_.Element(kCbc, "CustomizationID", profile_.customization_id);
    if (profile_.profile_id) w_.Element(kCbc, "ProfileID", profile_.profile_id);
    w_.Element(kCbc, "ID", doc_.number);
    w_.Element(kCbc, "IssueDate", doc_.issue_date);
    // A credit note has no header due date; its BT-9 sits in the payment means.
    if (!credit_) w_.Optional(kCbc, "DueDate", doc_.due_date);
    w_.Element(kCbc, names_.type_code, std::to_string(TypeCode(doc_.type)));
    for (const std::string& note : doc_.notes) w_.Optional(kCbc, "Note", note);
    w_.Element(kCbc, "DocumentCurrencyCode", doc_.currency);
    w_.Optional(kCbc, "BuyerReference", doc_.buyer_reference);
    if (!doc_.order_reference.empty()) {
      w_.Nest(kCac, "OrderReference", [&] { w_.Element(kCbc, "ID", doc_.order_reference); });
    }
    if (!doc_.preceding_invoice.empty()) {
      w_.Nest(kCac, "BillingReference", [&] {
        w_.Nest(kCac, "InvoiceDocumentReference", [&] {
          w_.Element(kCbc, "ID", doc_.preceding_invoice);
          w_.Optional(kCbc, "IssueDate", doc_.preceding_invoice_date);
        });
      });
    }
    w_.Nest(kCac, "AccountingSupplierParty", [&] { Party(doc_.seller, true); });
    w_.Nest(kCac, "AccountingCustomerParty", [&] { Party(doc_.buyer, false); });
    Delivery();
    PaymentMeans();
    if (!doc_.payment_terms.empty()) {
      w_.Nest(kCac, "PaymentTerms", [&] { w_.Element(kCbc, "Note", doc_.payment_terms); });
    }
    for (const AllowanceCharge& ac : doc_.allowances_charges) DocumentAllowanceCharge(ac);
    TaxTotal();
    MonetaryTotal();
    for (const Line& line : doc_.lines) DocumentLine(line);
    return w_.Finish();
  }

 private:
  void Amount(const char* name, Decimal value) {
    w_.Start(kCbc, name);
    w_.Attribute("currencyID", doc_.currency);
    w_.Text(value.ToString());
    w_.End();
  }

  void Address(const char* element, const einvoice::Address& address) {
    w_.Nest(kCac, element, [&] {
      w_.Optional(kCbc, "StreetName", address.line1);
      w_.Optional(kCbc, "AdditionalStreetName", address.line2);
      w_.Optional(kCbc, "CityName", address.city);
      w_.Optional(kCbc, "PostalZone", address.postcode);
      w_.Optional(kCbc, "CountrySubentity", address.subdivision);
      if (!address.line3.empty()) {
        w_.Nest(kCac, "AddressLine", [&] { w_.Element(kCbc, "Line", address.line3); });
      }
      w_.Nest(kCac, "Country", [&] { w_.Element(kCbc, "IdentificationCode", address.country); });
    });
  }

  void TaxScheme(const char* id) {
    w_.Nest(kCac, "TaxScheme", [&] { w_.Element(kCbc, "ID", id); });
  }

  void Party(const einvoice::Party& party, bool seller) {
    w_.Nest(kCac, "Party", [&] {
      if (!party.electronic_address.empty()) {
        w_.Start(kCbc, "EndpointID");
        if (!party.electronic_scheme.empty()) w_.Attribute("schemeID", party.electronic_scheme);
        w_.Text(party.electronic_address);
        w_.End();
      }
      if (!party.id.empty()) {
        w_.Nest(kCac, "PartyIdentification", [&] { w_.Element(kCbc, "ID", party.id); });
      }
      if (!party.trading_name.empty()) {
        w_.Nest(kCac, "PartyName", [&] { w_.Element(kCbc, "Name", party.trading_name); });
      }
      Address("PostalAddress", party.address);
      if (!party.vat_id.empty()) {
        w_.Nest(kCac, "PartyTaxScheme", [&] {
          w_.Element(kCbc, "CompanyID", party.vat_id);
          TaxScheme("VAT");
        });
      }
      // The seller's tax registration other than VAT (BT-32).
      if (seller && !party.tax_registration_id.empty()) {
        w_.Nest(kCac, "PartyTaxScheme", [&] {
          w_.Element(kCbc, "CompanyID", party.tax_registration_id);
          TaxScheme("FC");
        });
      }
      w_.Nest(kCac, "PartyLegalEntity", [&] {
        w_.Element(kCbc, "RegistrationName", party.name);
        w_.Optional(kCbc, "CompanyID", party.legal_registration_id);
      });
      const Contact& contact = party.contact;
      if (!contact.name.empty() || !contact.phone.empty() || !contact.email.empty()) {
        w_.Nest(kCac, "Contact", [&] {
          w_.Optional(kCbc, "Name", contact.name);
          w_.Optional(kCbc, "Telephone", contact.phone);
          w_.Optional(kCbc, "ElectronicMail", contact.email);
        });
      }
    });
  }

  void Delivery() {
    bool has_address = !doc_.delivery_address.country.empty();
    if (doc_.delivery_date.empty() && doc_.delivery_name.empty() && !has_address) return;
    w_.Nest(kCac, "Delivery", [&] {
      w_.Optional(kCbc, "ActualDeliveryDate", doc_.delivery_date);
      if (has_address) {
        w_.Nest(kCac, "DeliveryLocation", [&] { Address("Address", doc_.delivery_address); });
      }
      if (!doc_.delivery_name.empty()) {
        w_.Nest(kCac, "DeliveryParty", [&] {
          w_.Nest(kCac, "PartyName", [&] { w_.Element(kCbc, "Name", doc_.delivery_name); });
        });
      }
    });
  }

  void PaymentMeans() {
    const PaymentInstructions& pay = doc_.payment;
    if (pay.means_code.empty()) return;
    w_.Nest(kCac, "PaymentMeans", [&] {
      w_.Element(kCbc, "PaymentMeansCode", pay.means_code);
      if (credit_) w_.Optional(kCbc, "PaymentDueDate", doc_.due_date);
      w_.Optional(kCbc, "PaymentID", pay.remittance);
      if (!pay.iban.empty()) {
        w_.Nest(kCac, "PayeeFinancialAccount", [&] {
          w_.Element(kCbc, "ID", pay.iban);
          w_.Optional(kCbc, "Name", pay.account_name);
          if (!pay.bic.empty()) {
            w_.Nest(kCac, "FinancialInstitutionBranch", [&] { w_.Element(kCbc, "ID", pay.bic); });
          }
        });
      }
    });
  }

  // Category and rate; the breakdown adds the exemption. Category O carries
  // no rate on lines and charges, nor in the breakdown unless the profile asks.
  void TaxCategory(const char* element, const VatTreatment& vat, bool with_exemption) {
    w_.Nest(kCac, element, [&] {
      w_.Element(kCbc, "ID", CategoryCode(vat.category));
      if (vat.category != VatCategory::kNotSubject) {
        w_.Element(kCbc, "Percent", vat.rate.ToString());
      } else if (with_exemption && profile_.breakdown_rate_always) {
        w_.Element(kCbc, "Percent", "0");
      }
      if (with_exemption) {
        w_.Optional(kCbc, "TaxExemptionReasonCode", vat.exemption_reason_code);
        w_.Optional(kCbc, "TaxExemptionReason", vat.exemption_reason);
      }
      TaxScheme("VAT");
    });
  }

  void DocumentAllowanceCharge(const AllowanceCharge& ac) {
    w_.Nest(kCac, "AllowanceCharge", [&] {
      w_.Element(kCbc, "ChargeIndicator", ac.is_charge ? "true" : "false");
      w_.Optional(kCbc, "AllowanceChargeReasonCode", ac.reason_code);
      w_.Optional(kCbc, "AllowanceChargeReason", ac.reason);
      Amount("Amount", ac.amount);
      TaxCategory("TaxCategory", ac.vat, false);
    });
  }

  void TaxTotal() {
    w_.Nest(kCac, "TaxTotal", [&] {
      Amount("TaxAmount", doc_.totals.tax);
      for (const VatBreakdown& part : doc_.vat_breakdown) {
        w_.Nest(kCac, "TaxSubtotal", [&] {
          Amount("TaxableAmount", part.taxable_amount);
          Amount("TaxAmount", part.tax_amount);
          TaxCategory("TaxCategory", part.vat, true);
        });
      }
    });
  }

  void MonetaryTotal() {
    const Totals& t = doc_.totals;
    bool allowances = false, charges = false;
    for (const AllowanceCharge& ac : doc_.allowances_charges) (ac.is_charge ? charges : allowances) = true;
    w_.Nest(kCac, "LegalMonetaryTotal", [&] {
      Amount("LineExtensionAmount", t.line_net);
      Amount("TaxExclusiveAmount", t.tax_exclusive);
      Amount("TaxInclusiveAmount", t.tax_inclusive);
      if (allowances || !t.allowances.IsZero()) Amount("AllowanceTotalAmount", t.allowances);
      if (charges || !t.charges.IsZero()) Amount("ChargeTotalAmount", t.charges);
      if (!t.prepaid.IsZero()) Amount("PrepaidAmount", t.prepaid);
      if (!t.rounding.IsZero()) Amount("PayableRoundingAmount", t.rounding);
      Amount("PayableAmount", t.payable);
    });
  }

  void DocumentLine(const Line& line) {
    w_.Nest(kCac, names_.line, [&] {
      w_.Element(kCbc, "ID", line.id);
      w_.Optional(kCbc, "Note", line.note);
      w_.Start(kCbc, names_.quantity);
      w_.Attribute("unitCode", line.unit_code);
      w_.Text(line.quantity.ToString());
      w_.End();
      Amount("LineExtensionAmount", line.net_amount);
      if (!line.order_line_reference.empty()) {
        w_.Nest(kCac, "OrderLineReference", [&] { w_.Element(kCbc, "LineID", line.order_line_reference); });
      }
      w_.Nest(kCac, "Item", [&] {
        w_.Optional(kCbc, "Description", line.item_description);
        w_.Element(kCbc, "Name", line.item_name);
        if (!line.seller_item_id.empty()) {
          w_.Nest(kCac, "SellersItemIdentification", [&] { w_.Element(kCbc, "ID", line.seller_item_id); });
        }
        TaxCategory("ClassifiedTaxCategory", line.vat, false);
      });
      w_.Nest(kCac, "Price", [&] {
        Amount("PriceAmount", line.net_price);
        // The gross price travels only with the discount that takes it to the net price.
        if (!line.price_discount.IsZero()) {
          w_.Nest(kCac, "AllowanceCharge", [&] {
            w_.Element(kCbc, "ChargeIndicator", "false");
            Amount("Amount", line.price_discount);
            Amount("BaseAmount", line.gross_price);
          });
        }
      });
    });
  }

  const Document& doc_;
  const UblProfile& profile_;
  const bool credit_;
  const UblDocumentNames& names_;
  XmlWriter w_;
};

}  // namespace

std::string WriteUbl(const Document& document) { return UblWriter(document, kEn16931).Write(); }

std::string WriteXRechnung(const Document& document) { return UblWriter(document, kXRechnung).Write(); }

}  // namespace tarvik::einvoice
