#include "einvoice/writers.h"

namespace tarvik::einvoice {
namespace {

struct FormatInfo {
  Format format;
  std::string_view name;
  std::string_view extension;
};

constexpr FormatInfo kFormats[] = {
    {Format::kUbl, "ubl", ".xml"},
    {Format::kCii, "cii", ".xml"},
    {Format::kXRechnung, "xrechnung", ".xml"},
    {Format::kFacturX, "facturx", ".pdf"},
};

const FormatInfo& Info(Format format) {
  for (const FormatInfo& info : kFormats) {
    if (info.format == format) return info;
  }
  return kFormats[0];
}

}  // namespace

bool ParseFormat(std::string_view name, Format* format) {
  for (const FormatInfo& info : kFormats) {
    if (info.name == name) {
      *format = info.format;
      return true;
    }
  }
  return false;
}

std::string_view FormatName(Format format) { return Info(format).name; }

std::string_view FormatExtension(Format format) { return Info(format).extension; }

}  // namespace tarvik::einvoice
