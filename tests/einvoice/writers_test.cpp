// Format names, the root and identifiers of each syntax, and text XML
// cannot carry: refused with the element named, nothing written.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "einvoice/writers.h"
#include "einvoice/xml_writer.h"
#include "sample_documents.h"
#include "writer_xml.h"

namespace tarvik::einvoice {
namespace {

using testing::XmlDocument;
using Values = std::vector<std::string>;

TEST(FormatNames, RoundTripWithExtension) {
  const struct {
    const char* name;
    Format format;
    const char* extension;
  } kCases[] = {
      {"ubl", Format::kUbl, ".xml"},
      {"cii", Format::kCii, ".xml"},
      {"xrechnung", Format::kXRechnung, ".xml"},
      {"facturx", Format::kFacturX, ".pdf"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    Format parsed = Format::kUbl == c.format ? Format::kCii : Format::kUbl;
    ASSERT_TRUE(ParseFormat(c.name, &parsed));
    EXPECT_EQ(parsed, c.format);
    EXPECT_EQ(FormatName(c.format), c.name);
    EXPECT_EQ(FormatExtension(c.format), c.extension);
  }
}

TEST(FormatNames, OthersAreRefusedAndLeaveTheFormat) {
  for (const char* name : {"", "UBL", "pdf", "ubl ", "x-rechnung", "factur-x", "cii\n"}) {
    SCOPED_TRACE(name);
    Format format = Format::kCii;
    EXPECT_FALSE(ParseFormat(name, &format));
    EXPECT_EQ(format, Format::kCii);
  }
}

// What tells a receiver which syntax, document type and rule set it has.
TEST(WrittenDocument, RootTypeAndIdentifiers) {
  const struct {
    const char* what;
    std::string (*write)(const Document&);
    Document (*make)();
    const char* xpath;
    Values expected;
  } kCases[] = {
      {"UBL invoice root", WriteUbl, samples::Domestic, "local-name(/*)", {"Invoice"}},
      {"UBL invoice lines", WriteUbl, samples::Domestic, "count(/*/cac:InvoiceLine/cbc:InvoicedQuantity)", {"2"}},
      {"UBL invoice due date in the header", WriteUbl, samples::Domestic, "/*/cbc:DueDate", {"2026-03-17"}},
      {"UBL credit note root", WriteUbl, samples::CreditNote, "local-name(/*)", {"CreditNote"}},
      {"UBL credit note type code", WriteUbl, samples::CreditNote, "/*/cbc:CreditNoteTypeCode", {"381"}},
      {"UBL credit note lines", WriteUbl, samples::CreditNote, "count(/*/cac:CreditNoteLine/cbc:CreditedQuantity)",
       {"2"}},
      {"UBL credit note due date with the payment means", WriteUbl, samples::CreditNote,
       "/*/cac:PaymentMeans/cbc:PaymentDueDate", {"2026-03-24"}},
      {"UBL customization", WriteUbl, samples::Domestic, "/*/cbc:CustomizationID", {"urn:cen.eu:en16931:2017"}},
      {"UBL has no profile", WriteUbl, samples::Domestic, "/*/cbc:ProfileID", {}},
      {"XRechnung customization", WriteXRechnung, samples::CreditNote, "/*/cbc:CustomizationID",
       {"urn:cen.eu:en16931:2017#compliant#urn:xeinkauf.de:kosit:xrechnung_3.0"}},
      {"XRechnung profile", WriteXRechnung, samples::Domestic, "/*/cbc:ProfileID",
       {"urn:fdc:peppol.eu:2017:poacc:billing:01:1.0"}},
      {"CII guideline", WriteCii, samples::Export,
       "/rsm:CrossIndustryInvoice/rsm:ExchangedDocumentContext/ram:GuidelineSpecifiedDocumentContextParameter/ram:ID",
       {"urn:cen.eu:en16931:2017"}},
      {"CII credit note type code", WriteCii, samples::CreditNote, "//rsm:ExchangedDocument/ram:TypeCode", {"381"}},
      {"CII date format", WriteCii, samples::Domestic, "//ram:IssueDateTime/udt:DateTimeString/@format", {"102"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(XmlDocument(c.write(c.make())).Values(c.xpath), c.expected);
  }
}

TEST(XmlText, AcceptsUtf8AndRefusesWhatXmlCannotCarry) {
  const struct {
    const char* what;
    std::string text;
    bool ok;
  } kCases[] = {
      {"empty", "", true},
      {"ASCII with markup characters", "A & B <C> \"D\"", true},
      {"tab, newline, carriage return", "a\tb\nc\rd", true},
      {"two-byte letters", "Müller Straße", true},
      {"three-byte sign", "10 \xE2\x82\xAC", true},
      {"four-byte character", "\xF0\x9F\x93\xA6", true},
      {"control character", "a\x01" "b", false},
      {"NUL", std::string("a\0b", 3), false},
      {"Latin-1 byte", "M\xFCller", false},
      {"lone continuation byte", "\x80", false},
      {"truncated sequence", "\xE2\x82", false},
      {"overlong slash", "\xC0\xAF", false},
      {"overlong three-byte", "\xE0\x80\xAF", false},
      {"surrogate", "\xED\xA0\x80", false},
      {"U+FFFE", "\xEF\xBF\xBE", false},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", false},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(IsXmlText(c.text), c.ok);
  }
}

TEST(WrittenDocument, BadTextIsRefusedNamingTheElement) {
  const struct {
    const char* what;
    void (*damage)(Document&);
    const char* ubl_element;
    const char* cii_element;
  } kCases[] = {
      {"buyer name in Latin-1", [](Document& d) { d.buyer.name = "M\xFCller GmbH"; }, "cbc:RegistrationName",
       "ram:Name"},
      {"line note with a control character", [](Document& d) { d.lines[1].note = "Order\x02 1005"; }, "cbc:Note",
       "ram:Content"},
      {"unit code with a broken sequence", [](Document& d) { d.lines[0].unit_code = "C6\xC3"; },
       "attribute unitCode", "attribute unitCode"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    Document document = samples::Domestic();
    c.damage(document);
    for (bool cii : {false, true}) {
      try {
        cii ? WriteCii(document) : WriteUbl(document);
        ADD_FAILURE() << "written despite the bad text";
      } catch (const std::invalid_argument& e) {
        EXPECT_NE(std::string(e.what()).find(cii ? c.cii_element : c.ubl_element), std::string::npos) << e.what();
      }
    }
  }
}

TEST(WrittenDocument, CiiRefusesADateItCannotConvert) {
  for (const char* date : {"03.03.2026", "2026-3-3", "2026/03/03", "", "2026-03-0x"}) {
    SCOPED_TRACE(date);
    Document document = samples::Domestic();
    document.issue_date = date;
    EXPECT_THROW(WriteCii(document), std::invalid_argument);
  }
}

// Optional groups with nothing in them are left out rather than written empty.
TEST(WrittenDocument, EmptyOptionalGroupsAreLeftOut) {
  Document document = samples::Export();
  document.delivery_date.clear();
  document.delivery_address = {};
  document.payment = {};
  document.seller.contact = {};
  document.seller.electronic_address.clear();
  const struct {
    std::string (*write)(const Document&);
    const char* xpath;
  } kCases[] = {
      {WriteUbl, "count(/*/cac:Delivery | /*/cac:PaymentMeans | //cac:Contact | /*/cac:AccountingSupplierParty//cbc:EndpointID)"},
      {WriteCii, "count(//ram:ShipToTradeParty | //ram:ActualDeliverySupplyChainEvent | "
                 "//ram:SpecifiedTradeSettlementPaymentMeans | //ram:DefinedTradeContact | "
                 "//ram:URIUniversalCommunication[ancestor::ram:SellerTradeParty] | //ram:PaymentReference)"},
  };
  for (const auto& c : kCases) {
    XmlDocument written(c.write(document));
    EXPECT_EQ(written.Values(c.xpath), Values{"0"}) << c.xpath;
  }
}

// Outside the scope of VAT a document states no rate on its lines, but still
// the category and, in the breakdown, the reason. XRechnung alone wants a
// breakdown rate even here; it gets 0.
TEST(WrittenDocument, NotSubjectToVatStatesNoRate) {
  Document document = samples::Export();
  const VatTreatment kOutOfScope{VatCategory::kNotSubject, Decimal(), "Not subject to VAT", "VATEX-EU-O"};
  for (Line& line : document.lines) line.vat = kOutOfScope;
  document.vat_breakdown[0].vat = kOutOfScope;
  const struct {
    const testing::XmlFormat& format;
    const char* rates;
    const char* categories;
    const char* reason_code;
    const char* breakdown_rates;  // a count of rates, or XRechnung's rate itself
    const char* breakdown_rate;
  } kCases[] = {
      {testing::XmlFormats()[0], "count(//cbc:Percent)", "count(//cac:ClassifiedTaxCategory[cbc:ID='O'])",
       "//cac:TaxSubtotal/cac:TaxCategory/cbc:TaxExemptionReasonCode", "count(//cac:TaxSubtotal//cbc:Percent)", "0"},
      {testing::XmlFormats()[1], "count(//ram:RateApplicablePercent)",
       "count(//ram:SpecifiedLineTradeSettlement/ram:ApplicableTradeTax[ram:CategoryCode='O'])",
       "//ram:ApplicableHeaderTradeSettlement/ram:ApplicableTradeTax/ram:ExemptionReasonCode",
       "count(//ram:ApplicableHeaderTradeSettlement/ram:ApplicableTradeTax/ram:RateApplicablePercent)", "0"},
      {testing::XmlFormats()[2], "count(//cac:InvoiceLine//cbc:Percent)",
       "count(//cac:ClassifiedTaxCategory[cbc:ID='O'])", "//cac:TaxSubtotal/cac:TaxCategory/cbc:TaxExemptionReasonCode",
       "//cac:TaxSubtotal/cac:TaxCategory/cbc:Percent", "0"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.format.name);
    XmlDocument written(c.format.write(document));
    EXPECT_TRUE(written.SchemaErrors(testing::SchemaPath(testing::SchemaFor(c.format.format, document.type))).empty());
    EXPECT_EQ(written.Values(c.rates), Values{"0"});
    EXPECT_EQ(written.Values(c.categories), Values{"2"});
    EXPECT_EQ(written.Values(c.reason_code), Values{"VATEX-EU-O"});
    EXPECT_EQ(written.Values(c.breakdown_rates), Values{c.breakdown_rate});
  }
}

}  // namespace
}  // namespace tarvik::einvoice
