#include "einvoice/document.h"

namespace tarvik::einvoice {

int TypeCode(DocumentType type) { return type == DocumentType::kCreditNote ? 381 : 380; }

const char* CategoryCode(VatCategory category) {
  switch (category) {
    case VatCategory::kStandard: return "S";
    case VatCategory::kZeroRated: return "Z";
    case VatCategory::kExempt: return "E";
    case VatCategory::kReverseCharge: return "AE";
    case VatCategory::kIntraCommunity: return "K";
    case VatCategory::kExport: return "G";
    case VatCategory::kNotSubject: return "O";
  }
  return "S";
}

}  // namespace tarvik::einvoice
