// Hand-built e-invoice documents that meet the norm's rules, every amount
// worked out by hand: the cases the books produce (domestic, intra-EU,
// export, an invoice of two orders, a credit note). Tests of the writers,
// Factur-X and the host use them instead of loading from a database.
#pragma once

#include <ostream>
#include <string_view>
#include <vector>

#include "einvoice/document.h"

namespace tarvik::einvoice::samples {

// Germany to Germany, S 19 %: two lines (one with a price discount), a
// document discount, a freight charge, part prepaid, one order, one ship-to.
Document Domestic();
// To a French business, K (intra-community supply), freight under K too.
Document IntraEu();
// To a Swiss business without a VAT id, G (export); a fractional quantity.
Document Export();
// Two orders of one German customer: S and Z lines, no order reference,
// the orders named in a note and in each line's note, no single ship-to.
Document Consolidated();
// Credits the domestic invoice (its number and date as the preceding invoice).
Document CreditNote();

struct NamedSample {
  std::string_view name;
  Document (*make)();
};
inline void PrintTo(const NamedSample& sample, std::ostream* out) { *out << sample.name; }
// Every sample above, in that order.
const std::vector<NamedSample>& All();

}  // namespace tarvik::einvoice::samples
