#include "invoice/selection.h"

#include "data/field_conversion.h"
#include "platform/variant.h"

namespace tarvik::invoice {
namespace {

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

}  // namespace

std::string FilterClause(const std::string& filter, const std::u16string& invoice_no) {
  const std::string keyword = Upper(filter);
  if (keyword == "EXPORT") return " Where (Export_Flag=1) And (Export_Date Is Null) ";
  if (keyword == "INVOICE_NUMBER") {
    return " Where Invoice_No = " + std::to_string(data::Field2Long(Variant::String16(invoice_no)));
  }
  return std::string();
}

}  // namespace tarvik::invoice
