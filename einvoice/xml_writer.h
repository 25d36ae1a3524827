// A streaming XML writer over libxml2's text writer, for the e-invoice
// syntaxes: the root declares every namespace, elements below name their
// prefix, libxml2 escapes the text. Failures throw: std::invalid_argument
// for text XML cannot carry (bad UTF-8, control characters), naming the
// element; std::runtime_error when libxml2 itself fails.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>

namespace tarvik::einvoice {

struct XmlNamespace {
  const char* prefix;  // nullptr: the default namespace
  const char* uri;
};

class XmlWriter {
 public:
  XmlWriter();
  ~XmlWriter();
  XmlWriter(const XmlWriter&) = delete;
  XmlWriter& operator=(const XmlWriter&) = delete;

  void StartRoot(const char* prefix, const char* name, std::initializer_list<XmlNamespace> namespaces);
  void Start(const char* prefix, const char* name);
  void End();
  // On the element just started, before its text.
  void Attribute(const char* name, std::string_view value);
  void Text(std::string_view text);
  void Element(const char* prefix, const char* name, std::string_view text);
  // An optional term: nothing when text is empty.
  void Optional(const char* prefix, const char* name, std::string_view text) {
    if (!text.empty()) Element(prefix, name, text);
  }
  // Start, body(), End.
  template <typename Body>
  void Nest(const char* prefix, const char* name, Body&& body) {
    Start(prefix, name);
    body();
    End();
  }
  // Closes what is open and returns the document.
  std::string Finish();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// True when text is UTF-8 made only of characters XML 1.0 allows.
bool IsXmlText(std::string_view text);

}  // namespace tarvik::einvoice
