#include "writer_xml.h"

#include <libxml/parser.h>
#include <libxml/xmlschemas.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include <map>
#include <mutex>
#include <stdexcept>

namespace tarvik::einvoice::testing {
namespace {

const xmlChar* X(const char* text) { return reinterpret_cast<const xmlChar*>(text); }
std::string S(const xmlChar* text) { return text ? reinterpret_cast<const char*>(text) : ""; }

struct SchemaFree {
  void operator()(xmlSchemaPtr schema) const { xmlSchemaFree(schema); }
};
struct ParserContextFree {
  void operator()(xmlSchemaParserCtxtPtr context) const { xmlSchemaFreeParserCtxt(context); }
};
struct ValidContextFree {
  void operator()(xmlSchemaValidCtxtPtr context) const { xmlSchemaFreeValidCtxt(context); }
};
struct XPathContextFree {
  void operator()(xmlXPathContextPtr context) const { xmlXPathFreeContext(context); }
};
struct XPathObjectFree {
  void operator()(xmlXPathObjectPtr object) const { xmlXPathFreeObject(object); }
};

void CollectError(void* sink, xmlErrorPtr error) {
  auto* errors = static_cast<std::vector<std::string>*>(sink);
  std::string message = S(X(error->message));
  while (!message.empty() && message.back() == '\n') message.pop_back();
  errors->push_back("line " + std::to_string(error->line) + ": " + message);
}

xmlSchemaPtr LoadSchema(const std::string& path) {
  static std::mutex mutex;
  static std::map<std::string, std::unique_ptr<xmlSchema, SchemaFree>> cache;
  std::lock_guard lock(mutex);
  auto& slot = cache[path];
  if (!slot) {
    std::unique_ptr<xmlSchemaParserCtxt, ParserContextFree> parser(xmlSchemaNewParserCtxt(path.c_str()));
    if (!parser) throw std::runtime_error("cannot read schema " + path);
    slot.reset(xmlSchemaParse(parser.get()));
    if (!slot) throw std::runtime_error("cannot parse schema " + path);
  }
  return slot.get();
}

const struct {
  const char* prefix;
  const char* uri;
} kPrefixes[] = {
    {"cac", "urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2"},
    {"cbc", "urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2"},
    {"rsm", "urn:un:unece:uncefact:data:standard:CrossIndustryInvoice:100"},
    {"ram", "urn:un:unece:uncefact:data:standard:ReusableAggregateBusinessInformationEntity:100"},
    {"udt", "urn:un:unece:uncefact:data:standard:UnqualifiedDataType:100"},
    {"qdt", "urn:un:unece:uncefact:data:standard:QualifiedDataType:100"},
};

std::unique_ptr<xmlXPathObject, XPathObjectFree> Evaluate(xmlDocPtr doc, const std::string& xpath) {
  std::unique_ptr<xmlXPathContext, XPathContextFree> context(xmlXPathNewContext(doc));
  if (!context) throw std::runtime_error("out of memory");
  for (const auto& p : kPrefixes) xmlXPathRegisterNs(context.get(), X(p.prefix), X(p.uri));
  std::unique_ptr<xmlXPathObject, XPathObjectFree> result(xmlXPathEvalExpression(X(xpath.c_str()), context.get()));
  if (!result) throw std::runtime_error("bad XPath " + xpath);
  return result;
}

}  // namespace

const std::vector<XmlFormat>& XmlFormats() {
  static const std::vector<XmlFormat> kFormats = {
      {"Ubl", Format::kUbl, WriteUbl},
      {"Cii", Format::kCii, WriteCii},
      {"XRechnung", Format::kXRechnung, WriteXRechnung},
  };
  return kFormats;
}

std::string SchemaFor(Format format, DocumentType type) {
  if (format == Format::kCii || format == Format::kFacturX) {
    return "cii-d16b/uncefact/data/standard/CrossIndustryInvoice_100pD16B.xsd";
  }
  return type == DocumentType::kCreditNote ? "ubl-2.1/xsdrt/maindoc/UBL-CreditNote-2.1.xsd"
                                           : "ubl-2.1/xsdrt/maindoc/UBL-Invoice-2.1.xsd";
}

std::string SchemaPath(const std::string& relative) { return std::string(TARVIK_EINVOICE_SCHEMA_DIR) + "/" + relative; }

XmlDocument::XmlDocument(xmlDocPtr doc) : doc_(doc) {}

XmlDocument::XmlDocument(const std::string& xml)
    : doc_(xmlReadMemory(xml.data(), static_cast<int>(xml.size()), "written.xml", nullptr, XML_PARSE_NONET)) {
  if (!doc_) throw std::runtime_error("the written document is not well-formed XML");
}

XmlDocument XmlDocument::FromFile(const std::string& path) {
  xmlDocPtr doc = xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET);
  if (!doc) throw std::runtime_error("cannot read " + path);
  return XmlDocument(doc);
}

std::vector<std::string> XmlDocument::SchemaErrors(const std::string& schema_path) const {
  std::unique_ptr<xmlSchemaValidCtxt, ValidContextFree> context(xmlSchemaNewValidCtxt(LoadSchema(schema_path)));
  if (!context) throw std::runtime_error("out of memory");
  std::vector<std::string> errors;
  xmlSchemaSetValidStructuredErrors(context.get(), CollectError, &errors);
  int rc = xmlSchemaValidateDoc(context.get(), doc_.get());
  if (rc != 0 && errors.empty()) errors.push_back("invalid (code " + std::to_string(rc) + ")");
  return errors;
}

std::vector<std::string> XmlDocument::Values(const std::string& xpath) const {
  auto result = Evaluate(doc_.get(), xpath);
  std::vector<std::string> values;
  if (result->type != XPATH_NODESET) {
    std::unique_ptr<xmlChar, decltype(xmlFree)> text(xmlXPathCastToString(result.get()), xmlFree);
    values.push_back(S(text.get()));
    return values;
  }
  xmlNodeSetPtr nodes = result->nodesetval;
  for (int i = 0; nodes && i < nodes->nodeNr; ++i) {
    std::unique_ptr<xmlChar, decltype(xmlFree)> text(xmlNodeGetContent(nodes->nodeTab[i]), xmlFree);
    values.push_back(S(text.get()));
  }
  return values;
}

std::vector<xmlNodePtr> XmlDocument::Select(const std::string& xpath) const {
  auto result = Evaluate(doc_.get(), xpath);
  std::vector<xmlNodePtr> nodes;
  if (result->type == XPATH_NODESET && result->nodesetval) {
    for (int i = 0; i < result->nodesetval->nodeNr; ++i) nodes.push_back(result->nodesetval->nodeTab[i]);
  }
  return nodes;
}

int XmlDocument::Remove(const std::string& xpath) {
  auto nodes = Select(xpath);
  for (xmlNodePtr node : nodes) {
    xmlUnlinkNode(node);
    xmlFreeNode(node);
  }
  return static_cast<int>(nodes.size());
}

int XmlDocument::MoveLast(const std::string& xpath) {
  auto nodes = Select(xpath);
  for (xmlNodePtr node : nodes) {
    xmlNodePtr parent = node->parent;
    xmlUnlinkNode(node);
    xmlAddChild(parent, node);
  }
  return static_cast<int>(nodes.size());
}

}  // namespace tarvik::einvoice::testing
