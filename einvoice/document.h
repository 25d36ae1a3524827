// One electronic invoice or credit note in the terms of the European norm
// for e-invoicing: what the books and the company settings say about it,
// every amount already computed and rounded as the document carries it.
// The loader (load.h) fills it and the checks (rules.h) judge it; the
// writers (writers.h) only translate it into a syntax and compute nothing.
// The comments name the business terms (BT-n, groups BG-n).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "einvoice/decimal.h"

namespace tarvik::einvoice {

enum class DocumentType {
  kInvoice,     // type code 380
  kCreditNote,  // type code 381
};
int TypeCode(DocumentType type);

struct Address {                 // BG-5 / BG-8 / BG-15
  std::string line1;             // BT-35 / BT-50 / BT-75
  std::string line2;             // BT-36 / BT-51 / BT-76
  std::string line3;             // BT-162 / BT-163 / BT-165
  std::string city;              // BT-37 / BT-52 / BT-77
  std::string postcode;          // BT-38 / BT-53 / BT-78
  std::string subdivision;       // BT-39 / BT-54 / BT-79
  std::string country;           // BT-40 / BT-55 / BT-80, ISO 3166-1 alpha-2
};

struct Contact {                 // BG-6 / BG-9
  std::string name;              // BT-41 / BT-56
  std::string phone;             // BT-42 / BT-57
  std::string email;             // BT-43 / BT-58
};

struct Party {                   // BG-4 seller / BG-7 buyer
  std::string name;              // BT-27 / BT-44 (legal name)
  std::string trading_name;      // BT-28 / BT-45
  std::string id;                // BT-29 / BT-46 (our customer id for the buyer)
  std::string legal_registration_id;  // BT-30 / BT-47
  std::string vat_id;            // BT-31 / BT-48, with its country prefix
  std::string tax_registration_id;    // BT-32 (seller only)
  std::string electronic_address;     // BT-34 / BT-49
  std::string electronic_scheme;      // its scheme (EAS code, e.g. "EM", "9930")
  Address address;
  Contact contact;
};

// The VAT category codes of the norm (UNTDID 5305 subset).
enum class VatCategory {
  kStandard,       // S
  kZeroRated,      // Z
  kExempt,         // E
  kReverseCharge,  // AE
  kIntraCommunity, // K  (intra-EU supply of goods)
  kExport,         // G  (export outside the EU)
  kNotSubject,     // O  (outside the scope of VAT)
};
const char* CategoryCode(VatCategory category);

struct VatTreatment {
  VatCategory category = VatCategory::kStandard;
  Decimal rate;                  // percent; 0 for every category but S
  std::string exemption_reason;       // BT-120 (text)
  std::string exemption_reason_code;  // BT-121 (VATEX code), e.g. "VATEX-EU-IC"
};

struct Line {                    // BG-25
  std::string id;                // BT-126, unique within the document
  std::string note;              // BT-127 (a consolidated invoice names the line's order here)
  std::string order_line_reference;   // BT-132
  Decimal quantity;              // BT-129 (negative never; a credit note states positive quantities)
  std::string unit_code;         // BT-130, UN/ECE Rec. 20 (e.g. "C62", "H87", "KGM")
  Decimal net_amount;            // BT-131 = quantity x net_price, rounded to 2 decimals
  Decimal net_price;             // BT-146 = gross_price - price_discount
  Decimal gross_price;           // BT-148
  Decimal price_discount;        // BT-147 (zero: none)
  std::string item_name;         // BT-153
  std::string item_description;  // BT-154
  std::string seller_item_id;    // BT-155 (our item number)
  VatTreatment vat;              // BT-151, BT-152
};

// A document-level allowance (BG-20) or charge (BG-21).
struct AllowanceCharge {
  bool is_charge = true;
  Decimal amount;                // BT-92 / BT-99, positive
  std::string reason;            // BT-97 / BT-104, e.g. "Freight"
  std::string reason_code;       // BT-98 (UNTDID 5189) / BT-105 (UNTDID 7161), e.g. "FC"
  VatTreatment vat;              // BT-95/96 / BT-102/103
};

struct VatBreakdown {            // BG-23, one per category and rate
  VatTreatment vat;              // BT-118, BT-119, BT-120, BT-121
  Decimal taxable_amount;        // BT-116
  Decimal tax_amount;            // BT-117
};

struct Totals {                  // BG-22
  Decimal line_net;              // BT-106 = sum of BT-131
  Decimal allowances;            // BT-107
  Decimal charges;               // BT-108
  Decimal tax_exclusive;         // BT-109 = BT-106 - BT-107 + BT-108
  Decimal tax;                   // BT-110 = sum of BT-117
  Decimal tax_inclusive;         // BT-112 = BT-109 + BT-110
  Decimal prepaid;               // BT-113 (the invoice's Paid)
  Decimal rounding;              // BT-114
  Decimal payable;               // BT-115 = BT-112 - BT-113 + BT-114
};

struct PaymentInstructions {     // BG-16
  std::string means_code;        // BT-81 (UNTDID 4461): "58" SEPA credit transfer, "30" credit transfer
  std::string remittance;        // BT-83 (the document number)
  std::string iban;              // BT-84
  std::string account_name;      // BT-85
  std::string bic;               // BT-86
};

struct Document {
  DocumentType type = DocumentType::kInvoice;
  std::string number;            // BT-1
  std::string issue_date;        // BT-2, YYYY-MM-DD
  std::string due_date;          // BT-9, YYYY-MM-DD
  std::string currency;          // BT-5, ISO 4217
  std::string buyer_reference;   // BT-10
  std::string order_reference;   // BT-13 (the order number of a one-order invoice)
  std::string preceding_invoice;      // BT-25 (a credit note's invoice)
  std::string preceding_invoice_date; // BT-26
  std::vector<std::string> notes;     // BT-22
  std::string payment_terms;     // BT-20
  std::string delivery_date;     // BT-72 (the ship date)
  std::string delivery_name;     // BT-70 (the ship-to, when one for the whole document)
  Address delivery_address;      // BG-15 (empty country: none)
  Party seller;
  Party buyer;
  PaymentInstructions payment;
  std::vector<Line> lines;
  std::vector<AllowanceCharge> allowances_charges;
  std::vector<VatBreakdown> vat_breakdown;
  Totals totals;
  std::int64_t books_number = 0; // the invoice (or credit note) number in the books
};

}  // namespace tarvik::einvoice
