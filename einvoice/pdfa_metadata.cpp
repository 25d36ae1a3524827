#include "einvoice/pdfa_metadata.h"

#include <libxml/tree.h>
#include <libxml/xmlsave.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <stdexcept>

namespace tarvik::einvoice {
namespace {

struct DocFree {
  void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};
struct BufferFree {
  void operator()(xmlBuffer* b) const { xmlBufferFree(b); }
};
struct SaveClose {
  void operator()(xmlSaveCtxt* s) const { xmlSaveClose(s); }
};

const xmlChar* X(const char* s) { return reinterpret_cast<const xmlChar*>(s); }

constexpr const char* kRdf = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";
constexpr const char* kFacturX = "urn:factur-x:pdfa:CrossIndustryDocument:invoice:1p0#";

// The Factur-X properties: what readers look for, and how the extension
// schema describes each one.
struct FxProperty {
  const char* name;
  const char* value;
  const char* description;
};
constexpr FxProperty kFxProperties[] = {
    {"DocumentType", "INVOICE",
     "The type of the hybrid document in capital letters, e.g. INVOICE or ORDER"},
    {"DocumentFileName", "factur-x.xml", "The name of the embedded XML document"},
    {"Version", "1.0", "The actual version of the standard applying to the embedded XML document"},
    {"ConformanceLevel", "EN 16931", "The conformance level of the embedded XML document"},
};

std::tm Utc(std::time_t when) {
  std::tm tm{};
  if (gmtime_r(&when, &tm) == nullptr)
    throw std::runtime_error("The time cannot be written as a date.");
  return tm;
}

std::string Format(std::time_t when, const char* pattern) {
  const std::tm tm = Utc(when);
  // Room for six ints at their widest, so no year is ever cut short.
  char text[96];
  std::snprintf(text, sizeof text, pattern, tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                tm.tm_hour, tm.tm_min, tm.tm_sec);
  return text;
}

class Builder {
 public:
  Builder() : doc_(xmlNewDoc(X("1.0"))) {
    if (!doc_) throw std::bad_alloc();
    xmlNode* meta = xmlNewDocNode(doc_.get(), nullptr, X("xmpmeta"), nullptr);
    xmlDocSetRootElement(doc_.get(), meta);
    xmlSetNs(meta, xmlNewNs(meta, X("adobe:ns:meta/"), X("x")));
    rdf_root_ = xmlNewChild(meta, nullptr, X("RDF"), nullptr);
    rdf_ = xmlNewNs(rdf_root_, X(kRdf), X("rdf"));
    xmlSetNs(rdf_root_, rdf_);
  }

  // One rdf:Description per namespace, as PDF/A readers expect them.
  xmlNode* Description(const char* href, const char* prefix, xmlNs** ns) {
    xmlNode* d = xmlNewChild(rdf_root_, rdf_, X("Description"), nullptr);
    xmlNewNsProp(d, rdf_, X("about"), X(""));
    *ns = xmlNewNs(d, X(href), X(prefix));
    return d;
  }

  static xmlNode* Text(xmlNode* parent, xmlNs* ns, const char* name, const std::string& value) {
    return xmlNewTextChild(parent, ns, X(name), X(XmlSafeText(value).c_str()));
  }

  // An rdf container (Alt, Seq, Bag) under parent.
  xmlNode* Container(xmlNode* parent, xmlNs* ns, const char* name, const char* kind) {
    xmlNode* property = xmlNewChild(parent, ns, X(name), nullptr);
    return xmlNewChild(property, rdf_, X(kind), nullptr);
  }

  xmlNode* Item(xmlNode* container, const std::string& value) {
    return Text(container, rdf_, "li", value);
  }

  // An rdf:li holding a structure of its own.
  xmlNode* ResourceItem(xmlNode* container) {
    xmlNode* li = xmlNewChild(container, rdf_, X("li"), nullptr);
    xmlNewNsProp(li, rdf_, X("parseType"), X("Resource"));
    return li;
  }

  std::string Serialize() {
    std::unique_ptr<xmlBuffer, BufferFree> buffer(xmlBufferCreate());
    if (!buffer) throw std::bad_alloc();
    {
      std::unique_ptr<xmlSaveCtxt, SaveClose> save(
          xmlSaveToBuffer(buffer.get(), "UTF-8", XML_SAVE_NO_DECL | XML_SAVE_FORMAT));
      if (!save || xmlSaveDoc(save.get(), doc_.get()) < 0) {
        throw std::runtime_error("The XMP metadata cannot be written.");
      }
    }
    return std::string(reinterpret_cast<const char*>(xmlBufferContent(buffer.get())),
                       static_cast<std::size_t>(xmlBufferLength(buffer.get())));
  }

 private:
  std::unique_ptr<xmlDoc, DocFree> doc_;
  xmlNode* rdf_root_ = nullptr;
  xmlNs* rdf_ = nullptr;
};

}  // namespace

std::string PdfDate(std::time_t when) { return Format(when, "D:%04d%02d%02d%02d%02d%02d+00'00'"); }

std::string XmpDate(std::time_t when) {
  return Format(when, "%04d-%02d-%02dT%02d:%02d:%02d+00:00");
}

std::string XmlSafeText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    int length = static_cast<int>(std::min<std::size_t>(text.size() - i, 4));
    const int c = xmlGetUTF8Char(reinterpret_cast<const unsigned char*>(text.data() + i), &length);
    if (c < 0 || length <= 0) {
      out += '?';
      ++i;
      continue;
    }
    const bool control =
        (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0xFFFE || c == 0xFFFF;
    if (!control) out.append(text, i, static_cast<std::size_t>(length));
    i += static_cast<std::size_t>(length);
  }
  return out;
}

std::string XmpPacket(const PdfaMetadata& metadata) {
  Builder b;
  xmlNs* ns = nullptr;

  xmlNode* id = b.Description("http://www.aiim.org/pdfa/ns/id/", "pdfaid", &ns);
  Builder::Text(id, ns, "part", "3");
  Builder::Text(id, ns, "conformance", "B");

  xmlNode* dc = b.Description("http://purl.org/dc/elements/1.1/", "dc", &ns);
  Builder::Text(dc, ns, "format", "application/pdf");
  xmlNodeSetLang(b.Item(b.Container(dc, ns, "title", "Alt"), metadata.title), X("x-default"));
  if (!metadata.author.empty()) b.Item(b.Container(dc, ns, "creator", "Seq"), metadata.author);

  xmlNode* xmp = b.Description("http://ns.adobe.com/xap/1.0/", "xmp", &ns);
  Builder::Text(xmp, ns, "CreatorTool", metadata.creator_tool);
  Builder::Text(xmp, ns, "CreateDate", XmpDate(metadata.created));
  Builder::Text(xmp, ns, "ModifyDate", XmpDate(metadata.modified));
  Builder::Text(xmp, ns, "MetadataDate", XmpDate(metadata.modified));

  xmlNode* pdf = b.Description("http://ns.adobe.com/pdf/1.3/", "pdf", &ns);
  Builder::Text(pdf, ns, "Producer", metadata.producer);

  xmlNode* fx = b.Description(kFacturX, "fx", &ns);
  for (const auto& p : kFxProperties) Builder::Text(fx, ns, p.name, p.value);

  // fx is no namespace PDF/A knows, so the packet declares it itself.
  xmlNode* ext = b.Description("http://www.aiim.org/pdfa/ns/extension/", "pdfaExtension", &ns);
  xmlNs* schema_ns = xmlNewNs(ext, X("http://www.aiim.org/pdfa/ns/schema#"), X("pdfaSchema"));
  xmlNs* property_ns = xmlNewNs(ext, X("http://www.aiim.org/pdfa/ns/property#"), X("pdfaProperty"));
  xmlNode* schema = b.ResourceItem(b.Container(ext, ns, "schemas", "Bag"));
  Builder::Text(schema, schema_ns, "schema", "Factur-X PDFA Extension Schema");
  Builder::Text(schema, schema_ns, "namespaceURI", kFacturX);
  Builder::Text(schema, schema_ns, "prefix", "fx");
  xmlNode* properties = b.Container(schema, schema_ns, "property", "Seq");
  for (const auto& p : kFxProperties) {
    xmlNode* property = b.ResourceItem(properties);
    Builder::Text(property, property_ns, "name", p.name);
    Builder::Text(property, property_ns, "valueType", "Text");
    Builder::Text(property, property_ns, "category", "external");
    Builder::Text(property, property_ns, "description", p.description);
  }

  return "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n" + b.Serialize() +
         "<?xpacket end=\"w\"?>";
}

}  // namespace tarvik::einvoice
