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

struct XmlFormat {
  const char* name;
  Format format;
  std::string (*write)(const Document&);
};

const XmlFormat kXmlFormats[] = {
    {"Ubl", Format::kUbl, WriteUbl},
    {"Cii", Format::kCii, WriteCii},
    {"XRechnung", Format::kXRechnung, WriteXRechnung},
};

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
                         ::testing::Combine(::testing::ValuesIn(samples::All()), ::testing::ValuesIn(kXmlFormats)),
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
  const struct {
    const char* what;
    Format format;
    Document (*make)();
    Damage damage;
    const char* xpath;
  } kCases[] = {
      {"UBL without its number", Format::kUbl, samples::Domestic, kRemove, "/*/cbc:ID"},
      {"UBL totals after the lines", Format::kUbl, samples::Domestic, kMoveLast, "/*/cac:LegalMonetaryTotal"},
      {"UBL party name before the endpoint", Format::kUbl, samples::Domestic, kMoveLast,
       "/*/cac:AccountingSupplierParty/cac:Party/cbc:EndpointID"},
      {"UBL price without its amount", Format::kUbl, samples::Export, kRemove, "//cac:Price/cbc:PriceAmount"},
      {"UBL credit note issue date after its type code", Format::kUbl, samples::CreditNote, kMoveLast,
       "/*/cbc:IssueDate"},
      {"CII without its document", Format::kCii, samples::IntraEu, kRemove, "/rsm:CrossIndustryInvoice/rsm:ExchangedDocument"},
      {"CII agreement after the settlement", Format::kCii, samples::Domestic, kMoveLast,
       "//rsm:SupplyChainTradeTransaction/ram:ApplicableHeaderTradeAgreement"},
      {"CII line without its line document", Format::kCii, samples::Consolidated, kRemove,
       "//ram:AssociatedDocumentLineDocument"},
      {"XRechnung profile before the customization", Format::kXRechnung, samples::Domestic, kMoveLast,
       "/*/cbc:CustomizationID"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.what);
    Document document = c.make();
    std::string xml = c.format == Format::kCii ? WriteCii(document)
                      : c.format == Format::kUbl ? WriteUbl(document)
                                                 : WriteXRechnung(document);
    XmlDocument doc(xml);
    std::string schema = SchemaPath(SchemaFor(c.format, document.type));
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
