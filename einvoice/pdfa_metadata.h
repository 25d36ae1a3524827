// The XMP packet of a Factur-X file: PDF/A-3b identification, the document
// information the Info dictionary repeats, and the Factur-X properties with
// the extension schema that declares them. Internal to Factur-X.
#pragma once

#include <ctime>
#include <string>

namespace tarvik::einvoice {

struct PdfaMetadata {
  std::string title;
  std::string author;  // empty: none
  std::string creator_tool;
  std::string producer;
  std::time_t created = 0;
  std::time_t modified = 0;
};

// "D:20261208171037+00'00'" (UTC), as the Info dictionary and file
// parameters carry dates.
std::string PdfDate(std::time_t when);
// "2026-12-08T17:10:37+00:00", the same instant as XMP carries it.
std::string XmpDate(std::time_t when);

// The text as XML may carry it: invalid UTF-8 bytes become '?', control
// characters other than tab and line ends are dropped.
std::string XmlSafeText(const std::string& text);

// The whole packet, wrapped in its xpacket processing instructions, UTF-8.
std::string XmpPacket(const PdfaMetadata& metadata);

}  // namespace tarvik::einvoice
