// The business rules of the norm that our data can break: what a document
// must carry (BR-01..), how its amounts add up (BR-CO-..) and what each VAT
// category asks (BR-S-.., BR-AE-.., BR-G-.., ...); XRechnung's own (BR-DE-..)
// when that profile is asked for.
#pragma once

#include <string>
#include <vector>

#include "einvoice/document.h"

namespace tarvik::einvoice {

struct RuleBreach {
  std::string rule;   // "BR-CO-09"
  std::string terms;  // the business terms concerned, "BT-31"
  std::string field;  // where our books keep it, "seller_vat_id (tarvik settings)"
  std::string message;
};

enum class Profile { kEn16931, kXRechnung };

// Empty when the document meets every rule checked.
std::vector<RuleBreach> CheckDocument(const Document& document, Profile profile = Profile::kEn16931);

// One line per breach: "BR-CO-09 BT-31 seller_vat_id (tarvik settings): ...".
std::string DescribeBreaches(const std::vector<RuleBreach>& breaches);

}  // namespace tarvik::einvoice
