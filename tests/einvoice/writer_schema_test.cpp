// Every sample in every XML format meets its schema, and the check is one
// that fails: official examples pass it, damaged documents do not.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "einvoice/writers.h"
#include "sample_documents.h"
#include "writer_xml.h"

namespace tarvik::einvoice {
namespace {

using testing::SchemaFor;
using testing::SchemaPath;
using testing::XmlDocument;
using testing::XmlFormat;

std::string Describe(const std::vector<std::string>& errors) {
  std::string all;
  for (const std::string& e : errors) all += e + "\n";
  return all;
}

class SchemaTest : public ::testing::TestWithParam<std::tuple<samples::NamedSample, XmlFormat>> {};

TEST_P(SchemaTest, WrittenDocumentMeetsItsSchema) {
  const auto& [sample, format] = GetParam();
  Document document = sample.make();
  XmlDocument written(format.write(document));
  auto errors = written.SchemaErrors(SchemaPath(SchemaFor(format.format, document.type)));
  EXPECT_TRUE(errors.empty()) << Describe(errors);
}

INSTANTIATE_TEST_SUITE_P(Samples, SchemaTest,
                         ::testing::Combine(::testing::ValuesIn(samples::All()), ::testing::ValuesIn(testing::XmlFormats())),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) + std::get<1>(info.param).name;
                         });

TEST(SchemaCheck, OfficialExamplesPass) {
  const struct {
    const char* file;
    const char* schema;
  } kExamples[] = {
      {"ubl-tc434-example1.xml", "ubl-2.1/xsdrt/maindoc/UBL-Invoice-2.1.xsd"},
      {"ubl-tc434-example2.xml", "ubl-2.1/xsdrt/maindoc/UBL-Invoice-2.1.xsd"},
      {"ubl-tc434-creditnote1.xml", "ubl-2.1/xsdrt/maindoc/UBL-CreditNote-2.1.xsd"},
      {"CII_example1.xml", "cii-d16b/uncefact/data/standard/CrossIndustryInvoice_100pD16B.xsd"},
      {"CII_example3.xml", "cii-d16b/uncefact/data/standard/CrossIndustryInvoice_100pD16B.xsd"},
  };
  for (const auto& example : kExamples) {
    SCOPED_TRACE(example.file);
    auto doc = XmlDocument::FromFile(SchemaPath(std::string("examples/") + example.file));
    auto errors = doc.SchemaErrors(SchemaPath(example.schema));
    EXPECT_TRUE(errors.empty()) << Describe(errors);
  }
}

// Each damage is one a writer could do: a mandatory element left out, two
// elements in the wrong order, an invoice line under a credit note.
TEST(SchemaCheck, DamagedDocumentsFail) {
  enum Damage { kRemove, kMoveLast };
  const XmlFormat& ubl = testing::XmlFormats()[0];
  const XmlFormat& cii = testing::XmlFormats()[1];
  const XmlFormat& xrechnung = testing::XmlFormats()[2];
  const struct {
    const char* what;
    const XmlFormat& format;
    Document (*make)();
    Damage damage;
    const char* xpath;
  } kCases[] = {
      {"UBL without its number", ubl, samples::Domestic, kRemove, "/*/cbc:ID"},
      {"UBL totals after the lines", ubl, samples::Domestic, kMoveLast, "/*/cac:LegalMonetaryTotal"},
      {"UBL endpoint after the rest of the party", ubl, samples::Domestic, kMoveLast,
       "/*/cac:AccountingSupplierParty/cac:Party/cbc:EndpointID"},
      {"UBL price without its amount", ubl, samples::Export, kRemove, "//cac:Price/cbc:PriceAmount"},
      {"UBL credit note issue date after its type code", ubl, samples::CreditNote, kMoveLast,
       "/*/cbc:IssueDate"},
      {"CII without its document", cii, samples::IntraEu, kRemove, "/rsm:CrossIndustryInvoice/rsm:ExchangedDocument"},
      {"CII agreement after the settlement", cii, samples::Domestic, kMoveLast,
       "//rsm:SupplyChainTradeTransaction/ram:ApplicableHeaderTradeAgreement"},
      {"CII line without its line document", cii, samples::Consolidated, kRemove,
       "//ram:AssociatedDocumentLineDocument"},
      {"XRechnung profile before the customization", xrechnung, samples::Domestic, kMoveLast,
       "/*/cbc:CustomizationID"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    Document document = c.make();
    XmlDocument doc(c.format.write(document));
    std::string schema = SchemaPath(SchemaFor(c.format.format, document.type));
    ASSERT_TRUE(doc.SchemaErrors(schema).empty()) << "valid before the damage";
    int touched = c.damage == kRemove ? doc.Remove(c.xpath) : doc.MoveLast(c.xpath);
    ASSERT_GT(touched, 0) << "nothing at " << c.xpath;
    EXPECT_FALSE(doc.SchemaErrors(schema).empty());
  }
}

TEST(SchemaCheck, CreditNoteIsNotAnInvoice) {
  XmlDocument credit(WriteUbl(samples::CreditNote()));
  EXPECT_FALSE(credit.SchemaErrors(SchemaPath(SchemaFor(Format::kUbl, DocumentType::kInvoice))).empty());
}

}  // namespace
}  // namespace tarvik::einvoice
