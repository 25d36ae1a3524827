// Reading written e-invoices back in tests: parse, validate against the
// schemas kept in third_party/einvoice, select with XPath, and damage a
// document on purpose.
#pragma once

#include <libxml/tree.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "einvoice/document.h"
#include "einvoice/writers.h"

namespace tarvik::einvoice::testing {

// The formats written as XML, with their writer.
struct XmlFormat {
  const char* name;
  Format format;
  std::string (*write)(const Document&);
};
const std::vector<XmlFormat>& XmlFormats();
inline void PrintTo(const XmlFormat& format, std::ostream* out) { *out << format.name; }

// The schema a document of this format and type validates against, as a
// path below the schema folder ("ubl-2.1/xsdrt/maindoc/UBL-Invoice-2.1.xsd").
std::string SchemaFor(Format format, DocumentType type);
std::string SchemaPath(const std::string& relative);

struct DocFree {
  void operator()(xmlDocPtr doc) const { xmlFreeDoc(doc); }
};

class XmlDocument {
 public:
  // Throws std::runtime_error when xml is not well-formed.
  explicit XmlDocument(const std::string& xml);
  static XmlDocument FromFile(const std::string& path);

  // The schema's complaints; empty when the document is valid. The schema
  // is parsed once per path.
  std::vector<std::string> SchemaErrors(const std::string& schema_path) const;
  // The text of each node the XPath selects (attributes: their value), or
  // the value of an expression that is not a node set. The prefixes of both
  // syntaxes are known: cac, cbc, rsm, ram, udt, qdt.
  std::vector<std::string> Values(const std::string& xpath) const;
  // Damage: removes the nodes selected, or moves them to the end of their
  // parent. Returns how many there were.
  int Remove(const std::string& xpath);
  int MoveLast(const std::string& xpath);

 private:
  explicit XmlDocument(xmlDocPtr doc);
  std::vector<xmlNodePtr> Select(const std::string& xpath) const;
  std::unique_ptr<xmlDoc, DocFree> doc_;
};

}  // namespace tarvik::einvoice::testing
