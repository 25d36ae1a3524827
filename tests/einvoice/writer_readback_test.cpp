// The written documents read back term by term: for every sample in every
// XML format, each business term is found where its syntax puts it, with
// the document's value, and an empty optional term is left out.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "einvoice/writers.h"
#include "sample_documents.h"
#include "writer_xml.h"

namespace tarvik::einvoice {
namespace {

using testing::XmlDocument;
using testing::XmlFormat;
using Values = std::vector<std::string>;

enum class Syntax { kUbl, kCii };

// An optional term: absent when empty.
Values Opt(const std::string& text) { return text.empty() ? Values{} : Values{text}; }
// An optional amount: absent when zero.
Values OptAmount(Decimal amount) { return amount.IsZero() ? Values{} : Values{amount.ToString()}; }
// Outside the scope of VAT there is no rate to state.
Values RateOf(const VatTreatment& vat) {
  return vat.category == VatCategory::kNotSubject ? Values{} : Values{vat.rate.ToString()};
}
// CII writes dates as YYYYMMDD.
std::string Compact(const std::string& date) {
  std::string out;
  for (char c : date) {
    if (c != '-') out += c;
  }
  return out;
}

struct Term {
  const char* term;
  const char* ubl;
  const char* cii;
  std::function<Values(const Document&, Syntax)> expected;
};

#define UBL_PARTY(role) "/*/cac:Accounting" role "Party/cac:Party"
#define CII_AGREEMENT "//ram:ApplicableHeaderTradeAgreement"
#define CII_SETTLEMENT "//ram:ApplicableHeaderTradeSettlement"
#define UBL_TOTAL "/*/cac:LegalMonetaryTotal/cbc:"
#define CII_TOTAL CII_SETTLEMENT "/ram:SpecifiedTradeSettlementHeaderMonetarySummation/ram:"

const std::vector<Term>& HeaderTerms() {
  static const std::vector<Term> kTerms = {
      {"BT-1", "/*/cbc:ID", "/rsm:CrossIndustryInvoice/rsm:ExchangedDocument/ram:ID",
       [](const Document& d, Syntax) { return Values{d.number}; }},
      {"BT-2", "/*/cbc:IssueDate", "//rsm:ExchangedDocument/ram:IssueDateTime/udt:DateTimeString",
       [](const Document& d, Syntax s) { return Values{s == Syntax::kCii ? Compact(d.issue_date) : d.issue_date}; }},
      {"BT-3", "/*/cbc:InvoiceTypeCode | /*/cbc:CreditNoteTypeCode", "//rsm:ExchangedDocument/ram:TypeCode",
       [](const Document& d, Syntax) { return Values{std::to_string(TypeCode(d.type))}; }},
      {"BT-5", "/*/cbc:DocumentCurrencyCode", CII_SETTLEMENT "/ram:InvoiceCurrencyCode",
       [](const Document& d, Syntax) { return Values{d.currency}; }},
      {"BT-9", "/*/cbc:DueDate | /*/cac:PaymentMeans/cbc:PaymentDueDate",
       CII_SETTLEMENT "/ram:SpecifiedTradePaymentTerms/ram:DueDateDateTime/udt:DateTimeString",
       [](const Document& d, Syntax s) { return Opt(s == Syntax::kCii ? Compact(d.due_date) : d.due_date); }},
      {"BT-10", "/*/cbc:BuyerReference", CII_AGREEMENT "/ram:BuyerReference",
       [](const Document& d, Syntax) { return Opt(d.buyer_reference); }},
      {"BT-13", "/*/cac:OrderReference/cbc:ID", CII_AGREEMENT "/ram:BuyerOrderReferencedDocument/ram:IssuerAssignedID",
       [](const Document& d, Syntax) { return Opt(d.order_reference); }},
      {"BT-20", "/*/cac:PaymentTerms/cbc:Note", CII_SETTLEMENT "/ram:SpecifiedTradePaymentTerms/ram:Description",
       [](const Document& d, Syntax) { return Opt(d.payment_terms); }},
      {"BT-22", "/*/cbc:Note", "//rsm:ExchangedDocument/ram:IncludedNote/ram:Content",
       [](const Document& d, Syntax) { return d.notes; }},
      {"BT-25", "/*/cac:BillingReference/cac:InvoiceDocumentReference/cbc:ID",
       CII_SETTLEMENT "/ram:InvoiceReferencedDocument/ram:IssuerAssignedID",
       [](const Document& d, Syntax) { return Opt(d.preceding_invoice); }},
      {"BT-26", "/*/cac:BillingReference/cac:InvoiceDocumentReference/cbc:IssueDate",
       CII_SETTLEMENT "/ram:InvoiceReferencedDocument/ram:FormattedIssueDateTime/qdt:DateTimeString",
       [](const Document& d, Syntax s) {
         return Opt(s == Syntax::kCii ? Compact(d.preceding_invoice_date) : d.preceding_invoice_date);
       }},
      // Seller
      {"BT-27", UBL_PARTY("Supplier") "/cac:PartyLegalEntity/cbc:RegistrationName",
       CII_AGREEMENT "/ram:SellerTradeParty/ram:Name", [](const Document& d, Syntax) { return Values{d.seller.name}; }},
      {"BT-28", UBL_PARTY("Supplier") "/cac:PartyName/cbc:Name",
       CII_AGREEMENT "/ram:SellerTradeParty/ram:SpecifiedLegalOrganization/ram:TradingBusinessName",
       [](const Document& d, Syntax) { return Opt(d.seller.trading_name); }},
      {"BT-30", UBL_PARTY("Supplier") "/cac:PartyLegalEntity/cbc:CompanyID",
       CII_AGREEMENT "/ram:SellerTradeParty/ram:SpecifiedLegalOrganization/ram:ID",
       [](const Document& d, Syntax) { return Opt(d.seller.legal_registration_id); }},
      {"BT-31", UBL_PARTY("Supplier") "/cac:PartyTaxScheme[cac:TaxScheme/cbc:ID='VAT']/cbc:CompanyID",
       CII_AGREEMENT "/ram:SellerTradeParty/ram:SpecifiedTaxRegistration/ram:ID[@schemeID='VA']",
       [](const Document& d, Syntax) { return Opt(d.seller.vat_id); }},
      {"BT-32", UBL_PARTY("Supplier") "/cac:PartyTaxScheme[cac:TaxScheme/cbc:ID!='VAT']/cbc:CompanyID",
       CII_AGREEMENT "/ram:SellerTradeParty/ram:SpecifiedTaxRegistration/ram:ID[@schemeID='FC']",
       [](const Document& d, Syntax) { return Opt(d.seller.tax_registration_id); }},
      {"BT-34", UBL_PARTY("Supplier") "/cbc:EndpointID",
       CII_AGREEMENT "/ram:SellerTradeParty/ram:URIUniversalCommunication/ram:URIID",
       [](const Document& d, Syntax) { return Opt(d.seller.electronic_address); }},
      {"BT-34-1", UBL_PARTY("Supplier") "/cbc:EndpointID/@schemeID",
       CII_AGREEMENT "/ram:SellerTradeParty/ram:URIUniversalCommunication/ram:URIID/@schemeID",
       [](const Document& d, Syntax) { return Opt(d.seller.electronic_scheme); }},
      {"BT-35", UBL_PARTY("Supplier") "/cac:PostalAddress/cbc:StreetName",
       CII_AGREEMENT "/ram:SellerTradeParty/ram:PostalTradeAddress/ram:LineOne",
       [](const Document& d, Syntax) { return Opt(d.seller.address.line1); }},
      {"BT-36", UBL_PARTY("Supplier") "/cac:PostalAddress/cbc:AdditionalStreetName",
       CII_AGREEMENT "/ram:SellerTradeParty/ram:PostalTradeAddress/ram:LineTwo",
       [](const Document& d, Syntax) { return Opt(d.seller.address.line2); }},
      {"BT-37", UBL_PARTY("Supplier") "/cac:PostalAddress/cbc:CityName",
       CII_AGREEMENT "/ram:SellerTradeParty/ram:PostalTradeAddress/ram:CityName",
       [](const Document& d, Syntax) { return Opt(d.seller.address.city); }},
      {"BT-38", UBL_PARTY("Supplier") "/cac:PostalAddress/cbc:PostalZone",
       CII_AGREEMENT "/ram:SellerTradeParty/ram:PostalTradeAddress/ram:PostcodeCode",
       [](const Document& d, Syntax) { return Opt(d.seller.address.postcode); }},
      {"BT-39", UBL_PARTY("Supplier") "/cac:PostalAddress/cbc:CountrySubentity",
       CII_AGREEMENT "/ram:SellerTradeParty/ram:PostalTradeAddress/ram:CountrySubDivisionName",
       [](const Document& d, Syntax) { return Opt(d.seller.address.subdivision); }},
      {"BT-40", UBL_PARTY("Supplier") "/cac:PostalAddress/cac:Country/cbc:IdentificationCode",
       CII_AGREEMENT "/ram:SellerTradeParty/ram:PostalTradeAddress/ram:CountryID",
       [](const Document& d, Syntax) { return Values{d.seller.address.country}; }},
      {"BT-41", UBL_PARTY("Supplier") "/cac:Contact/cbc:Name",
       CII_AGREEMENT "/ram:SellerTradeParty/ram:DefinedTradeContact/ram:PersonName",
       [](const Document& d, Syntax) { return Opt(d.seller.contact.name); }},
      {"BT-42", UBL_PARTY("Supplier") "/cac:Contact/cbc:Telephone",
       CII_AGREEMENT "/ram:SellerTradeParty/ram:DefinedTradeContact/ram:TelephoneUniversalCommunication/ram:CompleteNumber",
       [](const Document& d, Syntax) { return Opt(d.seller.contact.phone); }},
      {"BT-43", UBL_PARTY("Supplier") "/cac:Contact/cbc:ElectronicMail",
       CII_AGREEMENT "/ram:SellerTradeParty/ram:DefinedTradeContact/ram:EmailURIUniversalCommunication/ram:URIID",
       [](const Document& d, Syntax) { return Opt(d.seller.contact.email); }},
      // Buyer
      {"BT-44", UBL_PARTY("Customer") "/cac:PartyLegalEntity/cbc:RegistrationName",
       CII_AGREEMENT "/ram:BuyerTradeParty/ram:Name", [](const Document& d, Syntax) { return Values{d.buyer.name}; }},
      {"BT-46", UBL_PARTY("Customer") "/cac:PartyIdentification/cbc:ID", CII_AGREEMENT "/ram:BuyerTradeParty/ram:ID",
       [](const Document& d, Syntax) { return Opt(d.buyer.id); }},
      {"BT-47", UBL_PARTY("Customer") "/cac:PartyLegalEntity/cbc:CompanyID",
       CII_AGREEMENT "/ram:BuyerTradeParty/ram:SpecifiedLegalOrganization/ram:ID",
       [](const Document& d, Syntax) { return Opt(d.buyer.legal_registration_id); }},
      {"BT-48", UBL_PARTY("Customer") "/cac:PartyTaxScheme/cbc:CompanyID",
       CII_AGREEMENT "/ram:BuyerTradeParty/ram:SpecifiedTaxRegistration/ram:ID[@schemeID='VA']",
       [](const Document& d, Syntax) { return Opt(d.buyer.vat_id); }},
      {"BT-49", UBL_PARTY("Customer") "/cbc:EndpointID",
       CII_AGREEMENT "/ram:BuyerTradeParty/ram:URIUniversalCommunication/ram:URIID",
       [](const Document& d, Syntax) { return Opt(d.buyer.electronic_address); }},
      {"BT-163", UBL_PARTY("Customer") "/cac:PostalAddress/cac:AddressLine/cbc:Line",
       CII_AGREEMENT "/ram:BuyerTradeParty/ram:PostalTradeAddress/ram:LineThree",
       [](const Document& d, Syntax) { return Opt(d.buyer.address.line3); }},
      {"BT-54", UBL_PARTY("Customer") "/cac:PostalAddress/cbc:CountrySubentity",
       CII_AGREEMENT "/ram:BuyerTradeParty/ram:PostalTradeAddress/ram:CountrySubDivisionName",
       [](const Document& d, Syntax) { return Opt(d.buyer.address.subdivision); }},
      {"BT-52", UBL_PARTY("Customer") "/cac:PostalAddress/cbc:CityName",
       CII_AGREEMENT "/ram:BuyerTradeParty/ram:PostalTradeAddress/ram:CityName",
       [](const Document& d, Syntax) { return Opt(d.buyer.address.city); }},
      {"BT-55", UBL_PARTY("Customer") "/cac:PostalAddress/cac:Country/cbc:IdentificationCode",
       CII_AGREEMENT "/ram:BuyerTradeParty/ram:PostalTradeAddress/ram:CountryID",
       [](const Document& d, Syntax) { return Values{d.buyer.address.country}; }},
      {"BT-56", UBL_PARTY("Customer") "/cac:Contact/cbc:Name",
       CII_AGREEMENT "/ram:BuyerTradeParty/ram:DefinedTradeContact/ram:PersonName",
       [](const Document& d, Syntax) { return Opt(d.buyer.contact.name); }},
      // Delivery
      {"BT-70", "/*/cac:Delivery/cac:DeliveryParty/cac:PartyName/cbc:Name",
       "//ram:ApplicableHeaderTradeDelivery/ram:ShipToTradeParty/ram:Name",
       [](const Document& d, Syntax) { return Opt(d.delivery_name); }},
      {"BT-72", "/*/cac:Delivery/cbc:ActualDeliveryDate",
       "//ram:ApplicableHeaderTradeDelivery/ram:ActualDeliverySupplyChainEvent/ram:OccurrenceDateTime/udt:DateTimeString",
       [](const Document& d, Syntax s) { return Opt(s == Syntax::kCii ? Compact(d.delivery_date) : d.delivery_date); }},
      {"BT-75", "/*/cac:Delivery/cac:DeliveryLocation/cac:Address/cbc:StreetName",
       "//ram:ApplicableHeaderTradeDelivery/ram:ShipToTradeParty/ram:PostalTradeAddress/ram:LineOne",
       [](const Document& d, Syntax) { return Opt(d.delivery_address.line1); }},
      {"BT-80", "/*/cac:Delivery/cac:DeliveryLocation/cac:Address/cac:Country/cbc:IdentificationCode",
       "//ram:ApplicableHeaderTradeDelivery/ram:ShipToTradeParty/ram:PostalTradeAddress/ram:CountryID",
       [](const Document& d, Syntax) { return Opt(d.delivery_address.country); }},
      // Payment
      {"BT-81", "/*/cac:PaymentMeans/cbc:PaymentMeansCode", CII_SETTLEMENT "/ram:SpecifiedTradeSettlementPaymentMeans/ram:TypeCode",
       [](const Document& d, Syntax) { return Opt(d.payment.means_code); }},
      {"BT-83", "/*/cac:PaymentMeans/cbc:PaymentID", CII_SETTLEMENT "/ram:PaymentReference",
       [](const Document& d, Syntax) { return Opt(d.payment.remittance); }},
      {"BT-84", "/*/cac:PaymentMeans/cac:PayeeFinancialAccount/cbc:ID",
       CII_SETTLEMENT "/ram:SpecifiedTradeSettlementPaymentMeans/ram:PayeePartyCreditorFinancialAccount/ram:IBANID",
       [](const Document& d, Syntax) { return Opt(d.payment.iban); }},
      {"BT-85", "/*/cac:PaymentMeans/cac:PayeeFinancialAccount/cbc:Name",
       CII_SETTLEMENT "/ram:SpecifiedTradeSettlementPaymentMeans/ram:PayeePartyCreditorFinancialAccount/ram:AccountName",
       [](const Document& d, Syntax) { return Opt(d.payment.account_name); }},
      {"BT-86", "/*/cac:PaymentMeans/cac:PayeeFinancialAccount/cac:FinancialInstitutionBranch/cbc:ID",
       CII_SETTLEMENT "/ram:SpecifiedTradeSettlementPaymentMeans/ram:PayeeSpecifiedCreditorFinancialInstitution/ram:BICID",
       [](const Document& d, Syntax) { return Opt(d.payment.bic); }},
      // Totals
      {"BT-106", UBL_TOTAL "LineExtensionAmount", CII_TOTAL "LineTotalAmount",
       [](const Document& d, Syntax) { return Values{d.totals.line_net.ToString()}; }},
      {"BT-107", UBL_TOTAL "AllowanceTotalAmount", CII_TOTAL "AllowanceTotalAmount",
       [](const Document& d, Syntax) { return OptAmount(d.totals.allowances); }},
      {"BT-108", UBL_TOTAL "ChargeTotalAmount", CII_TOTAL "ChargeTotalAmount",
       [](const Document& d, Syntax) { return OptAmount(d.totals.charges); }},
      {"BT-109", UBL_TOTAL "TaxExclusiveAmount", CII_TOTAL "TaxBasisTotalAmount",
       [](const Document& d, Syntax) { return Values{d.totals.tax_exclusive.ToString()}; }},
      {"BT-110", "/*/cac:TaxTotal/cbc:TaxAmount", CII_TOTAL "TaxTotalAmount",
       [](const Document& d, Syntax) { return Values{d.totals.tax.ToString()}; }},
      {"BT-112", UBL_TOTAL "TaxInclusiveAmount", CII_TOTAL "GrandTotalAmount",
       [](const Document& d, Syntax) { return Values{d.totals.tax_inclusive.ToString()}; }},
      {"BT-113", UBL_TOTAL "PrepaidAmount", CII_TOTAL "TotalPrepaidAmount",
       [](const Document& d, Syntax) { return OptAmount(d.totals.prepaid); }},
      {"BT-114", UBL_TOTAL "PayableRoundingAmount", CII_TOTAL "RoundingAmount",
       [](const Document& d, Syntax) { return OptAmount(d.totals.rounding); }},
      {"BT-115", UBL_TOTAL "PayableAmount", CII_TOTAL "DuePayableAmount",
       [](const Document& d, Syntax) { return Values{d.totals.payable.ToString()}; }},
  };
  return kTerms;
}

// Relative to one line: the UBL line element or the CII line item.
struct LineTerm {
  const char* term;
  const char* ubl;
  const char* cii;
  std::function<Values(const Line&)> expected;
};

const std::vector<LineTerm>& LineTerms() {
  static const std::vector<LineTerm> kTerms = {
      {"BT-127", "cbc:Note", "ram:AssociatedDocumentLineDocument/ram:IncludedNote/ram:Content",
       [](const Line& l) { return Opt(l.note); }},
      {"BT-132", "cac:OrderLineReference/cbc:LineID",
       "ram:SpecifiedLineTradeAgreement/ram:BuyerOrderReferencedDocument/ram:LineID",
       [](const Line& l) { return Opt(l.order_line_reference); }},
      {"BT-129", "cbc:InvoicedQuantity | cbc:CreditedQuantity", "ram:SpecifiedLineTradeDelivery/ram:BilledQuantity",
       [](const Line& l) { return Values{l.quantity.ToString()}; }},
      {"BT-130", "cbc:InvoicedQuantity/@unitCode | cbc:CreditedQuantity/@unitCode",
       "ram:SpecifiedLineTradeDelivery/ram:BilledQuantity/@unitCode", [](const Line& l) { return Values{l.unit_code}; }},
      {"BT-131", "cbc:LineExtensionAmount",
       "ram:SpecifiedLineTradeSettlement/ram:SpecifiedTradeSettlementLineMonetarySummation/ram:LineTotalAmount",
       [](const Line& l) { return Values{l.net_amount.ToString()}; }},
      {"BT-146", "cac:Price/cbc:PriceAmount", "ram:SpecifiedLineTradeAgreement/ram:NetPriceProductTradePrice/ram:ChargeAmount",
       [](const Line& l) { return Values{l.net_price.ToString()}; }},
      {"BT-147", "cac:Price/cac:AllowanceCharge/cbc:Amount",
       "ram:SpecifiedLineTradeAgreement/ram:GrossPriceProductTradePrice/ram:AppliedTradeAllowanceCharge/ram:ActualAmount",
       [](const Line& l) { return OptAmount(l.price_discount); }},
      {"BT-148", "cac:Price/cac:AllowanceCharge/cbc:BaseAmount",
       "ram:SpecifiedLineTradeAgreement/ram:GrossPriceProductTradePrice/ram:ChargeAmount",
       [](const Line& l) { return l.price_discount.IsZero() ? Values{} : Values{l.gross_price.ToString()}; }},
      {"BT-151", "cac:Item/cac:ClassifiedTaxCategory/cbc:ID",
       "ram:SpecifiedLineTradeSettlement/ram:ApplicableTradeTax/ram:CategoryCode",
       [](const Line& l) { return Values{CategoryCode(l.vat.category)}; }},
      {"BT-152", "cac:Item/cac:ClassifiedTaxCategory/cbc:Percent",
       "ram:SpecifiedLineTradeSettlement/ram:ApplicableTradeTax/ram:RateApplicablePercent",
       [](const Line& l) { return RateOf(l.vat); }},
      {"BT-153", "cac:Item/cbc:Name", "ram:SpecifiedTradeProduct/ram:Name", [](const Line& l) { return Values{l.item_name}; }},
      {"BT-154", "cac:Item/cbc:Description", "ram:SpecifiedTradeProduct/ram:Description",
       [](const Line& l) { return Opt(l.item_description); }},
      {"BT-155", "cac:Item/cac:SellersItemIdentification/cbc:ID", "ram:SpecifiedTradeProduct/ram:SellerAssignedID",
       [](const Line& l) { return Opt(l.seller_item_id); }},
  };
  return kTerms;
}

// Relative to one VAT breakdown or one document allowance/charge.
struct BreakdownTerm {
  const char* term;
  const char* ubl;
  const char* cii;
  std::function<Values(const VatBreakdown&)> expected;
};

const std::vector<BreakdownTerm>& BreakdownTerms() {
  static const std::vector<BreakdownTerm> kTerms = {
      {"BT-116", "cbc:TaxableAmount", "ram:BasisAmount", [](const VatBreakdown& b) { return Values{b.taxable_amount.ToString()}; }},
      {"BT-117", "cbc:TaxAmount", "ram:CalculatedAmount", [](const VatBreakdown& b) { return Values{b.tax_amount.ToString()}; }},
      {"BT-120", "cac:TaxCategory/cbc:TaxExemptionReason", "ram:ExemptionReason",
       [](const VatBreakdown& b) { return Opt(b.vat.exemption_reason); }},
      {"BT-121", "cac:TaxCategory/cbc:TaxExemptionReasonCode", "ram:ExemptionReasonCode",
       [](const VatBreakdown& b) { return Opt(b.vat.exemption_reason_code); }},
  };
  return kTerms;
}

struct AllowanceChargeTerm {
  const char* term;
  const char* ubl;
  const char* cii;
  std::function<Values(const AllowanceCharge&)> expected;
};

const std::vector<AllowanceChargeTerm>& AllowanceChargeTerms() {
  static const std::vector<AllowanceChargeTerm> kTerms = {
      {"indicator", "cbc:ChargeIndicator", "ram:ChargeIndicator/udt:Indicator",
       [](const AllowanceCharge& a) { return Values{a.is_charge ? "true" : "false"}; }},
      {"BT-92/99", "cbc:Amount", "ram:ActualAmount", [](const AllowanceCharge& a) { return Values{a.amount.ToString()}; }},
      {"BT-95/102", "cac:TaxCategory/cbc:ID", "ram:CategoryTradeTax/ram:CategoryCode",
       [](const AllowanceCharge& a) { return Values{CategoryCode(a.vat.category)}; }},
      {"BT-96/103", "cac:TaxCategory/cbc:Percent", "ram:CategoryTradeTax/ram:RateApplicablePercent",
       [](const AllowanceCharge& a) { return RateOf(a.vat); }},
      {"BT-97/104", "cbc:AllowanceChargeReason", "ram:Reason", [](const AllowanceCharge& a) { return Opt(a.reason); }},
      {"BT-98/105", "cbc:AllowanceChargeReasonCode", "ram:ReasonCode",
       [](const AllowanceCharge& a) { return Opt(a.reason_code); }},
  };
  return kTerms;
}

class ReadBackTest : public ::testing::TestWithParam<std::tuple<samples::NamedSample, XmlFormat>> {
 protected:
  void SetUp() override {
    const auto& [sample, format] = GetParam();
    document_ = sample.make();
    syntax_ = format.format == Format::kCii ? Syntax::kCii : Syntax::kUbl;
    written_ = std::make_unique<XmlDocument>(format.write(document_));
  }
  template <typename T>
  const char* Path(const T& term) const {
    return syntax_ == Syntax::kUbl ? term.ubl : term.cii;
  }
  std::vector<std::string> At(const std::string& xpath) const { return written_->Values(xpath); }

  Document document_;
  Syntax syntax_ = Syntax::kUbl;
  std::unique_ptr<XmlDocument> written_;
};

TEST_P(ReadBackTest, HeaderTerms) {
  for (const Term& term : HeaderTerms()) {
    SCOPED_TRACE(term.term);
    EXPECT_EQ(At(Path(term)), term.expected(document_, syntax_));
  }
}

TEST_P(ReadBackTest, LineTerms) {
  const char* kLines = syntax_ == Syntax::kUbl ? "/*/cac:InvoiceLine | /*/cac:CreditNoteLine"
                                               : "//ram:IncludedSupplyChainTradeLineItem";
  ASSERT_EQ(At("count(" + std::string(kLines) + ")"), Values{std::to_string(document_.lines.size())});
  for (const Line& line : document_.lines) {
    std::string at = syntax_ == Syntax::kUbl
                         ? "/*/cac:*[self::cac:InvoiceLine or self::cac:CreditNoteLine][cbc:ID='" + line.id + "']/"
                         : "//ram:IncludedSupplyChainTradeLineItem[ram:AssociatedDocumentLineDocument/ram:LineID='" +
                               line.id + "']/";
    for (const LineTerm& term : LineTerms()) {
      SCOPED_TRACE(std::string(term.term) + " of line " + line.id);
      std::string path = Path(term);
      // A union selects from each branch: prefix every branch.
      std::string full;
      for (std::size_t start = 0; start <= path.size();) {
        std::size_t bar = path.find(" | ", start);
        std::string branch = path.substr(start, bar == std::string::npos ? std::string::npos : bar - start);
        full += (full.empty() ? "" : " | ") + at + branch;
        if (bar == std::string::npos) break;
        start = bar + 3;
      }
      EXPECT_EQ(At(full), term.expected(line));
    }
  }
}

TEST_P(ReadBackTest, VatBreakdownPerCategoryAndRate) {
  const char* kParts = syntax_ == Syntax::kUbl ? "/*/cac:TaxTotal/cac:TaxSubtotal" : CII_SETTLEMENT "/ram:ApplicableTradeTax";
  ASSERT_EQ(At("count(" + std::string(kParts) + ")"), Values{std::to_string(document_.vat_breakdown.size())});
  for (const VatBreakdown& part : document_.vat_breakdown) {
    std::string category = CategoryCode(part.vat.category), rate = part.vat.rate.ToString();
    std::string at = syntax_ == Syntax::kUbl ? std::string(kParts) + "[cac:TaxCategory/cbc:ID='" + category +
                                                   "'][cac:TaxCategory/cbc:Percent='" + rate + "']/"
                                             : std::string(kParts) + "[ram:CategoryCode='" + category +
                                                   "'][ram:RateApplicablePercent='" + rate + "']/";
    for (const BreakdownTerm& term : BreakdownTerms()) {
      SCOPED_TRACE(std::string(term.term) + " of " + category + " " + rate);
      EXPECT_EQ(At(at + Path(term)), term.expected(part));
    }
  }
}

TEST_P(ReadBackTest, DocumentAllowancesAndCharges) {
  const char* kAll = syntax_ == Syntax::kUbl ? "/*/cac:AllowanceCharge" : CII_SETTLEMENT "/ram:SpecifiedTradeAllowanceCharge";
  ASSERT_EQ(At("count(" + std::string(kAll) + ")"), Values{std::to_string(document_.allowances_charges.size())});
  for (std::size_t i = 0; i < document_.allowances_charges.size(); ++i) {
    std::string at = std::string(kAll) + "[" + std::to_string(i + 1) + "]/";
    for (const AllowanceChargeTerm& term : AllowanceChargeTerms()) {
      SCOPED_TRACE(std::string(term.term) + " of allowance/charge " + std::to_string(i + 1));
      EXPECT_EQ(At(at + Path(term)), term.expected(document_.allowances_charges[i]));
    }
  }
}

// UBL amounts name their currency, quantities their unit; an element
// without them fails the norm's rules though the schema lets it pass.
TEST_P(ReadBackTest, AmountsCarryTheCurrencyAndQuantitiesTheUnit) {
  if (syntax_ == Syntax::kCii) {
    EXPECT_EQ(At(CII_TOTAL "TaxTotalAmount/@currencyID"), Values{document_.currency});
    return;
  }
  EXPECT_EQ(At("count(//cbc:*[substring(local-name(), string-length(local-name()) - 5) = 'Amount']"
               "[not(@currencyID = '" + document_.currency + "')])"),
            Values{"0"});
  EXPECT_EQ(At("count(//cbc:InvoicedQuantity[not(@unitCode)] | //cbc:CreditedQuantity[not(@unitCode)])"), Values{"0"});
}

INSTANTIATE_TEST_SUITE_P(Samples, ReadBackTest,
                         ::testing::Combine(::testing::ValuesIn(samples::All()), ::testing::ValuesIn(testing::XmlFormats())),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) + std::get<1>(info.param).name;
                         });

}  // namespace
}  // namespace tarvik::einvoice
