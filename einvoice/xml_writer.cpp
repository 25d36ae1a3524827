#include "einvoice/xml_writer.h"

#include <libxml/xmlwriter.h>

#include <stdexcept>
#include <vector>

namespace tarvik::einvoice {
namespace {

struct BufferFree {
  void operator()(xmlBufferPtr buffer) const { xmlBufferFree(buffer); }
};
struct WriterFree {
  void operator()(xmlTextWriterPtr writer) const { xmlFreeTextWriter(writer); }
};

const xmlChar* X(const char* text) { return reinterpret_cast<const xmlChar*>(text); }

// Length of the UTF-8 sequence led by c, 0 when c cannot lead one.
int SequenceLength(unsigned char c) {
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) return 2;
  if (c >= 0xE0 && c <= 0xEF) return 3;
  if (c >= 0xF0 && c <= 0xF4) return 4;
  return 0;
}

bool IsXmlChar(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
         (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

}  // namespace

bool IsXmlText(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    auto lead = static_cast<unsigned char>(text[i]);
    int length = SequenceLength(lead);
    if (length == 0 || i + static_cast<std::size_t>(length) > text.size()) return false;
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
      auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    // Overlong forms and surrogates fall out here or in IsXmlChar.
    static constexpr char32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kLeast[length] || !IsXmlChar(c)) return false;
    i += static_cast<std::size_t>(length);
  }
  return true;
}

struct XmlWriter::Impl {
  std::unique_ptr<xmlBuffer, BufferFree> buffer;
  std::unique_ptr<xmlTextWriter, WriterFree> writer;
  std::vector<std::string> open;  // qualified names, for messages

  void Check(int rc, const char* what) const {
    if (rc < 0) throw std::runtime_error(std::string("XML writer failed to ") + what);
  }
};

XmlWriter::XmlWriter() : impl_(std::make_unique<Impl>()) {
  impl_->buffer.reset(xmlBufferCreate());
  if (!impl_->buffer) throw std::runtime_error("XML writer: out of memory");
  impl_->writer.reset(xmlNewTextWriterMemory(impl_->buffer.get(), 0));
  if (!impl_->writer) throw std::runtime_error("XML writer: out of memory");
  impl_->Check(xmlTextWriterSetIndent(impl_->writer.get(), 1), "set indentation");
  impl_->Check(xmlTextWriterSetIndentString(impl_->writer.get(), X("  ")), "set indentation");
  impl_->Check(xmlTextWriterStartDocument(impl_->writer.get(), nullptr, "UTF-8", nullptr), "start the document");
}

XmlWriter::~XmlWriter() = default;

void XmlWriter::StartRoot(const char* prefix, const char* name, std::initializer_list<XmlNamespace> namespaces) {
  Start(prefix, name);
  for (const XmlNamespace& ns : namespaces) {
    std::string attribute = ns.prefix ? std::string("xmlns:") + ns.prefix : std::string("xmlns");
    Attribute(attribute.c_str(), ns.uri);
  }
}

void XmlWriter::Start(const char* prefix, const char* name) {
  impl_->Check(xmlTextWriterStartElementNS(impl_->writer.get(), prefix ? X(prefix) : nullptr, X(name), nullptr),
               "start an element");
  impl_->open.push_back(prefix ? std::string(prefix) + ":" + name : std::string(name));
}

void XmlWriter::End() {
  impl_->Check(xmlTextWriterEndElement(impl_->writer.get()), "end an element");
  impl_->open.pop_back();
}

void XmlWriter::Attribute(const char* name, std::string_view value) {
  if (!IsXmlText(value)) {
    throw std::invalid_argument("the text of attribute " + std::string(name) + " of " + impl_->open.back() +
                                " is not valid UTF-8 XML text");
  }
  std::string copy(value);
  impl_->Check(xmlTextWriterWriteAttribute(impl_->writer.get(), X(name), X(copy.c_str())), "write an attribute");
}

void XmlWriter::Text(std::string_view text) {
  if (!IsXmlText(text)) {
    throw std::invalid_argument("the text of " + impl_->open.back() + " is not valid UTF-8 XML text");
  }
  std::string copy(text);
  impl_->Check(xmlTextWriterWriteString(impl_->writer.get(), X(copy.c_str())), "write text");
}

void XmlWriter::Element(const char* prefix, const char* name, std::string_view text) {
  Start(prefix, name);
  Text(text);
  End();
}

std::string XmlWriter::Finish() {
  impl_->Check(xmlTextWriterEndDocument(impl_->writer.get()), "end the document");
  impl_->open.clear();
  impl_->Check(xmlTextWriterFlush(impl_->writer.get()), "flush");
  const xmlChar* content = xmlBufferContent(impl_->buffer.get());
  return std::string(reinterpret_cast<const char*>(content),
                     static_cast<std::size_t>(xmlBufferLength(impl_->buffer.get())));
}

}  // namespace tarvik::einvoice
