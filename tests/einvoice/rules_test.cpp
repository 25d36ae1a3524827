// Each rule broken on a document that meets them all, changed in one
// field: the rule is reported with its business term and the place in our
// books the clerk has to correct.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "einvoice/rules.h"

namespace tarvik::einvoice {
namespace {

Decimal D(const char* text) { return *Decimal::Parse(text); }

VatTreatment Vat(VatCategory category, const char* rate, const char* reason = "", const char* code = "") {
  return {category, D(rate), reason, code};
}

// A domestic invoice: 10 x 12.50 at 19 %, 4 x 7.80 zero rated, 10.00
// freight at 19 %, 50.00 paid. Every amount written out by hand.
Document Domestic() {
  Document d;
  d.number = "4711";
  d.issue_date = "2026-12-01";
  d.due_date = "2026-12-15";
  d.currency = "EUR";
  d.buyer_reference = "991-33333TEST-33";
  d.payment_terms = "Payable within 14 days";
  d.delivery_date = "2026-11-30";
  d.delivery_name = "HQ";
  d.delivery_address = {"Marktstraße 9", "", "", "Berlin", "10115", "", "DE"};
  d.seller.name = "Tarvik Supply GmbH";
  d.seller.vat_id = "DE123456788";
  d.seller.tax_registration_id = "22/815/08150";
  d.seller.electronic_address = "rechnung@tarvik.example";
  d.seller.electronic_scheme = "EM";
  d.seller.address = {"Hafenstraße 12", "", "", "Hamburg", "20457", "", "DE"};
  d.seller.contact = {"Katrin Vogel", "+49 40 3000 1200", "billing@tarvik.example"};
  d.buyer.id = "C400";
  d.buyer.name = "Brightline Retail";
  d.buyer.vat_id = "DE811569869";
  d.buyer.electronic_address = "rechnung@brightline.example";
  d.buyer.electronic_scheme = "EM";
  d.buyer.address = {"Marktstraße 9", "", "", "Berlin", "10115", "", "DE"};
  d.payment = {"58", "4711", "DE89370400440532013000", "Tarvik Supply GmbH", "COBADEFFXXX"};
  Line bolt;
  bolt.id = "1";
  bolt.quantity = D("10");
  bolt.unit_code = "XBX";
  bolt.gross_price = D("12.50");
  bolt.net_price = D("12.50");
  bolt.net_amount = D("125.00");
  bolt.item_name = "Hex bolt";
  bolt.seller_item_id = "BOLT-10";
  bolt.vat = Vat(VatCategory::kStandard, "19");
  Line glove = bolt;
  glove.id = "2";
  glove.quantity = D("4");
  glove.unit_code = "PR";
  glove.gross_price = glove.net_price = D("7.80");
  glove.net_amount = D("31.20");
  glove.item_name = "Work gloves";
  glove.seller_item_id = "GLOVE-L";
  glove.vat = Vat(VatCategory::kZeroRated, "0");
  d.lines = {bolt, glove};
  d.allowances_charges = {{true, D("10.00"), "Freight", "FC", Vat(VatCategory::kStandard, "19")}};
  d.vat_breakdown = {{Vat(VatCategory::kStandard, "19"), D("135.00"), D("25.65")},
                     {Vat(VatCategory::kZeroRated, "0"), D("31.20"), D("0.00")}};
  d.totals = {D("156.20"), D("0.00"), D("10.00"), D("166.20"), D("25.65"),
              D("191.85"), D("50.00"), D("0.00"), D("141.85")};
  return d;
}

// The same goods under one category without VAT.
Document AllIn(VatCategory category, const char* reason, const char* code) {
  Document d = Domestic();
  const VatTreatment vat = Vat(category, "0", reason, code);
  for (auto& l : d.lines) l.vat = vat;
  for (auto& ac : d.allowances_charges) ac.vat = vat;
  d.vat_breakdown = {{vat, D("166.20"), D("0.00")}};
  d.totals.tax = D("0.00");
  d.totals.tax_inclusive = D("166.20");
  d.totals.payable = D("116.20");
  return d;
}

Document Exempt() { return AllIn(VatCategory::kExempt, "Exempt under the small business rule", ""); }
Document ReverseCharge() { return AllIn(VatCategory::kReverseCharge, "Reverse charge", "VATEX-EU-AE"); }
Document IntraCommunity() {
  Document d = AllIn(VatCategory::kIntraCommunity, "Intra-community supply", "VATEX-EU-IC");
  d.buyer.vat_id = "IE6388047V";
  d.delivery_address.country = "IE";
  return d;
}
Document Export() { return AllIn(VatCategory::kExport, "Export outside the EU", "VATEX-EU-G"); }
Document NotSubject() {
  Document d = AllIn(VatCategory::kNotSubject, "Not subject to VAT", "VATEX-EU-O");
  d.seller.vat_id.clear();
  d.buyer.vat_id.clear();
  d.seller.legal_registration_id = "HRB 12345";
  return d;
}

struct Case {
  const char* name;
  Document (*base)();
  Profile profile;
  std::function<void(Document&)> change;
  const char* rule;
  const char* term;
  const char* field;  // a part of the field named
};

const Profile kEn = Profile::kEn16931;
const Profile kXr = Profile::kXRechnung;

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {
      {"no number", Domestic, kEn, [](Document& d) { d.number.clear(); }, "BR-02", "BT-1",
       "Invoice_Header.invoice_no"},
      {"credit note without date", Domestic, kEn,
       [](Document& d) {
         d.type = DocumentType::kCreditNote;
         d.issue_date.clear();
       },
       "BR-03", "BT-2", "Credit_Note_Header.credit_date"},
      {"no currency", Domestic, kEn, [](Document& d) { d.currency.clear(); }, "BR-05", "BT-5",
       "currency (tarvik settings)"},
      {"no seller name", Domestic, kEn, [](Document& d) { d.seller.name.clear(); }, "BR-06", "BT-27",
       "seller_legal_name (tarvik settings)"},
      {"no buyer name", Domestic, kEn, [](Document& d) { d.buyer.name.clear(); }, "BR-07", "BT-44",
       "Customer.name (tarvik customer C400 name)"},
      {"no seller country", Domestic, kEn, [](Document& d) { d.seller.address.country.clear(); }, "BR-09", "BT-40",
       "seller_country (tarvik settings)"},
      {"no buyer country", Domestic, kEn, [](Document& d) { d.buyer.address.country.clear(); }, "BR-11", "BT-55",
       "Customer.country (tarvik customer C400 country)"},
      {"seller unidentified", Domestic, kEn,
       [](Document& d) {
         d.seller.vat_id.clear();
         d.seller.tax_registration_id.clear();
       },
       "BR-CO-26", "BT-31", "seller_vat_id"},
      {"standard rate without seller ids", Domestic, kEn,
       [](Document& d) {
         d.seller.vat_id.clear();
         d.seller.tax_registration_id.clear();
       },
       "BR-S-02", "BT-31", "seller_vat_id"},
      {"zero rate without seller ids", Domestic, kEn,
       [](Document& d) {
         d.seller.vat_id.clear();
         d.seller.tax_registration_id.clear();
       },
       "BR-Z-02", "BT-32", "seller_vat_id"},
      {"seller VAT id without prefix", Domestic, kEn, [](Document& d) { d.seller.vat_id = "123456788"; },
       "BR-CO-09", "BT-31", "seller_vat_id"},
      {"buyer VAT id in small letters", Domestic, kEn, [](Document& d) { d.buyer.vat_id = "de811569869"; },
       "BR-CO-09", "BT-48", "Customer.vat_id (tarvik customer C400 vat_id)"},
      {"seller address without scheme", Domestic, kEn, [](Document& d) { d.seller.electronic_scheme.clear(); },
       "BR-62", "BT-34", "seller_electronic_scheme"},
      {"buyer address without scheme", Domestic, kEn, [](Document& d) { d.buyer.electronic_scheme.clear(); },
       "BR-63", "BT-49", "Customer.electronic_scheme"},
      {"due without date or terms", Domestic, kEn,
       [](Document& d) {
         d.due_date.clear();
         d.payment_terms.clear();
       },
       "BR-CO-25", "BT-9", "payment_due_days"},
      {"no lines", Domestic, kEn, [](Document& d) { d.lines.clear(); }, "BR-16", "BG-25", "Invoice_Detail"},
      {"no unit", Domestic, kEn, [](Document& d) { d.lines[0].unit_code.clear(); }, "BR-23", "BT-130",
       "Item.unit_code (tarvik item BOLT-10 unit_code)"},
      {"no item name", Domestic, kEn, [](Document& d) { d.lines[1].item_name.clear(); }, "BR-25", "BT-153",
       "Item.description (tarvik item GLOVE-L description)"},
      {"negative price", Domestic, kEn, [](Document& d) { d.lines[0].gross_price = D("-12.50"); }, "BR-28",
       "BT-148", "Invoice_Detail.unit_price"},
      {"discount above the price", Domestic, kEn, [](Document& d) { d.lines[0].net_price = D("-0.01"); }, "BR-27",
       "BT-146", "Invoice_Detail.discount"},
      {"line amount of three decimals", Domestic, kEn, [](Document& d) { d.lines[0].net_amount = D("125.004"); },
       "BR-DEC-23", "BT-131", "Invoice_Detail.amount"},
      {"line sum off", Domestic, kEn, [](Document& d) { d.lines[0].net_amount = D("125.01"); }, "BR-CO-10",
       "BT-106", "computed"},
      {"allowance sum off", Domestic, kEn, [](Document& d) { d.totals.allowances = D("1.00"); }, "BR-CO-11",
       "BT-107", "computed"},
      {"charge sum off", Domestic, kEn, [](Document& d) { d.allowances_charges[0].amount = D("9.00"); },
       "BR-CO-12", "BT-108", "computed"},
      {"amount without VAT off", Domestic, kEn, [](Document& d) { d.totals.tax_exclusive = D("166.21"); },
       "BR-CO-13", "BT-109", "computed"},
      {"VAT total off", Domestic, kEn, [](Document& d) { d.totals.tax = D("25.66"); }, "BR-CO-14", "BT-110",
       "computed"},
      {"amount with VAT off", Domestic, kEn, [](Document& d) { d.totals.tax_inclusive = D("191.86"); }, "BR-CO-15",
       "BT-112", "computed"},
      {"amount due off", Domestic, kEn, [](Document& d) { d.totals.payable = D("191.85"); }, "BR-CO-16", "BT-115",
       "computed"},
      {"amount due of three decimals", Domestic, kEn,
       [](Document& d) {
         d.totals.prepaid = D("50.005");
         d.totals.payable = D("141.845");
       },
       "BR-DEC-18", "BT-115", "computed"},
      {"breakdown tax rounded wrong", Domestic, kEn, [](Document& d) { d.vat_breakdown[0].tax_amount = D("25.66"); },
       "BR-CO-17", "BT-117", "VAT breakdown"},
      {"no breakdown", Domestic, kEn, [](Document& d) { d.vat_breakdown.clear(); }, "BR-CO-18", "BG-23",
       "VAT breakdown"},
      {"standard lines without their breakdown", Domestic, kEn,
       [](Document& d) { d.vat_breakdown.erase(d.vat_breakdown.begin()); }, "BR-S-01", "BG-23", "VAT breakdown"},
      {"standard rate of 0", Domestic, kEn, [](Document& d) { d.lines[0].vat.rate = D("0"); }, "BR-S-05",
       "BT-152", "Customer.tax_rate (tarvik customer C400 tax_rate)"},
      {"standard charge of rate 0", Domestic, kEn, [](Document& d) { d.allowances_charges[0].vat.rate = D("0"); },
       "BR-S-07", "BT-103", "Customer.tax_rate"},
      {"standard allowance of rate 0", Domestic, kEn,
       [](Document& d) {
         d.allowances_charges.push_back({false, D("0.00"), "Discount", "95", Vat(VatCategory::kStandard, "0")});
       },
       "BR-S-06", "BT-96", "Customer.tax_rate"},
      {"standard taxable amount off", Domestic, kEn,
       [](Document& d) { d.vat_breakdown[0].taxable_amount = D("125.00"); }, "BR-S-08", "BT-116", "VAT breakdown"},
      {"standard tax off", Domestic, kEn, [](Document& d) { d.vat_breakdown[0].tax_amount = D("25.00"); }, "BR-S-09",
       "BT-117", "VAT breakdown"},
      {"standard rate with an exemption", Domestic, kEn,
       [](Document& d) { d.vat_breakdown[0].vat.exemption_reason = "Exempt"; }, "BR-S-10", "BT-120",
       "Item.vat_exemption_reason (tarvik item BOLT-10"},
      {"zero rated in two breakdowns", Domestic, kEn,
       [](Document& d) { d.vat_breakdown.push_back({Vat(VatCategory::kZeroRated, "0"), D("0.00"), D("0.00")}); },
       "BR-Z-01", "BG-23", "VAT breakdown"},
      {"zero rated line with a rate", Domestic, kEn, [](Document& d) { d.lines[1].vat.rate = D("7"); }, "BR-Z-05",
       "BT-152", "Item.vat_category (tarvik item GLOVE-L vat_category)"},
      {"zero rated with tax", Domestic, kEn, [](Document& d) { d.vat_breakdown[1].tax_amount = D("1.00"); },
       "BR-Z-09", "BT-117", "VAT breakdown"},
      {"zero rated with an exemption code", Domestic, kEn,
       [](Document& d) { d.vat_breakdown[1].vat.exemption_reason_code = "VATEX-EU-O"; }, "BR-Z-10", "BT-121",
       "vat_exemption_reason"},
      {"exempt without a reason", Exempt, kEn, [](Document& d) { d.vat_breakdown[0].vat.exemption_reason.clear(); },
       "BR-E-10", "BT-120", "vat_exemption_reason"},
      {"exempt without seller ids", Exempt, kEn,
       [](Document& d) {
         d.seller.vat_id.clear();
         d.seller.tax_registration_id.clear();
       },
       "BR-E-02", "BT-31", "seller_vat_id"},
      {"exempt with tax", Exempt, kEn,
       [](Document& d) {
         d.vat_breakdown[0].tax_amount = D("1.00");
         d.totals.tax = D("1.00");
         d.totals.tax_inclusive = D("167.20");
         d.totals.payable = D("117.20");
       },
       "BR-E-09", "BT-117", "VAT breakdown"},
      {"reverse charge without buyer VAT id", ReverseCharge, kEn, [](Document& d) { d.buyer.vat_id.clear(); },
       "BR-AE-02", "BT-48", "Customer.vat_id"},
      {"reverse charge without seller VAT id", ReverseCharge, kEn, [](Document& d) { d.seller.vat_id.clear(); },
       "BR-AE-02", "BT-31", "seller_vat_id"},
      {"reverse charge without a reason", ReverseCharge, kEn,
       [](Document& d) {
         d.vat_breakdown[0].vat.exemption_reason.clear();
         d.vat_breakdown[0].vat.exemption_reason_code.clear();
       },
       "BR-AE-10", "BT-121", "Customer.vat_exemption_reason"},
      {"intra-EU without buyer VAT id", IntraCommunity, kEn, [](Document& d) { d.buyer.vat_id.clear(); }, "BR-IC-02",
       "BT-48", "Customer.vat_id (tarvik customer C400 vat_id)"},
      {"intra-EU without seller VAT id", IntraCommunity, kEn, [](Document& d) { d.seller.vat_id.clear(); },
       "BR-IC-02", "BT-31", "seller_vat_id"},
      {"intra-EU line with a rate", IntraCommunity, kEn, [](Document& d) { d.lines[0].vat.rate = D("19"); },
       "BR-IC-05", "BT-152", "Customer.vat_category"},
      {"intra-EU without delivery date", IntraCommunity, kEn, [](Document& d) { d.delivery_date.clear(); },
       "BR-IC-11", "BT-72", "Invoice_Header.ship_date"},
      {"intra-EU without delivery country", IntraCommunity, kEn, [](Document& d) { d.delivery_address.country.clear(); },
       "BR-IC-12", "BT-80", "ShipTo.country (customer C400, ship-to HQ)"},
      {"intra-EU without a reason", IntraCommunity, kEn,
       [](Document& d) {
         d.vat_breakdown[0].vat.exemption_reason.clear();
         d.vat_breakdown[0].vat.exemption_reason_code.clear();
       },
       "BR-IC-10", "BT-120", "Customer.vat_exemption_reason"},
      {"export with only a tax registration", Export, kEn, [](Document& d) { d.seller.vat_id.clear(); }, "BR-G-02",
       "BT-31", "seller_vat_id"},
      {"export taxable amount off", Export, kEn, [](Document& d) { d.vat_breakdown[0].taxable_amount = D("156.20"); },
       "BR-G-08", "BT-116", "VAT breakdown"},
      {"outside the scope with a seller VAT id", NotSubject, kEn, [](Document& d) { d.seller.vat_id = "DE123456788"; },
       "BR-O-02", "BT-31", "seller_vat_id"},
      {"outside the scope with a buyer VAT id", NotSubject, kEn, [](Document& d) { d.buyer.vat_id = "DE811569869"; },
       "BR-O-02", "BT-48", "Customer.vat_id"},
      {"outside the scope beside another category", NotSubject, kEn,
       [](Document& d) { d.vat_breakdown.push_back({Vat(VatCategory::kZeroRated, "0"), D("0.00"), D("0.00")}); },
       "BR-O-11", "BT-118", "Customer.vat_category"},
      {"XRechnung without payment instructions", Domestic, kXr, [](Document& d) { d.payment = {}; }, "BR-DE-1",
       "BG-16", "bank_iban (tarvik settings)"},
      {"XRechnung without contact", Domestic, kXr, [](Document& d) { d.seller.contact = {}; }, "BR-DE-2", "BG-6",
       "contact_name"},
      {"XRechnung without seller city", Domestic, kXr, [](Document& d) { d.seller.address.city.clear(); }, "BR-DE-3",
       "BT-37", "seller_city (tarvik settings)"},
      {"XRechnung without seller postcode", Domestic, kXr, [](Document& d) { d.seller.address.postcode.clear(); },
       "BR-DE-4", "BT-38", "seller_postcode (tarvik settings)"},
      {"XRechnung without contact name", Domestic, kXr, [](Document& d) { d.seller.contact.name.clear(); },
       "BR-DE-5", "BT-41", "contact_name (tarvik settings)"},
      {"XRechnung without contact phone", Domestic, kXr, [](Document& d) { d.seller.contact.phone.clear(); },
       "BR-DE-6", "BT-42", "contact_phone (tarvik settings)"},
      {"XRechnung without contact e-mail", Domestic, kXr, [](Document& d) { d.seller.contact.email.clear(); },
       "BR-DE-7", "BT-43", "contact_email (tarvik settings)"},
      {"XRechnung without buyer city", Domestic, kXr, [](Document& d) { d.buyer.address.city.clear(); }, "BR-DE-8",
       "BT-52", "Customer.city (tarvik customer C400 city)"},
      {"XRechnung without buyer postcode", Domestic, kXr, [](Document& d) { d.buyer.address.postcode.clear(); },
       "BR-DE-9", "BT-53", "Customer.postcode"},
      {"XRechnung without delivery city", Domestic, kXr, [](Document& d) { d.delivery_address.city.clear(); },
       "BR-DE-10", "BT-77", "ShipTo.city (customer C400, ship-to HQ)"},
      {"XRechnung without delivery postcode", Domestic, kXr, [](Document& d) { d.delivery_address.postcode.clear(); },
       "BR-DE-11", "BT-78", "ShipTo.postcode"},
      {"XRechnung without buyer reference", Domestic, kXr, [](Document& d) { d.buyer_reference.clear(); },
       "BR-DE-15", "BT-10", "Customer.buyer_reference (tarvik customer C400 buyer_reference)"},
      {"XRechnung without seller tax ids", Domestic, kXr,
       [](Document& d) {
         d.seller.vat_id.clear();
         d.seller.tax_registration_id.clear();
       },
       "BR-DE-16", "BT-32", "seller_vat_id"},
      {"XRechnung phone of two digits", Domestic, kXr, [](Document& d) { d.seller.contact.phone = "ext 12"; },
       "BR-DE-27", "BT-42", "contact_phone"},
      {"XRechnung e-mail without domain", Domestic, kXr, [](Document& d) { d.seller.contact.email = "billing@tarvik"; },
       "BR-DE-28", "BT-43", "contact_email"},
      {"XRechnung without seller electronic address", Domestic, kXr,
       [](Document& d) { d.seller.electronic_address.clear(); }, "XR-BT-34", "BT-34", "seller_electronic_address"},
      {"XRechnung without buyer electronic address", Domestic, kXr,
       [](Document& d) { d.buyer.electronic_address.clear(); }, "XR-BT-49", "BT-49", "Customer.electronic_address"},
  };
  return cases;
}

TEST(Rules, EveryBaseDocumentMeetsEveryRule) {
  for (auto base : {Domestic, Exempt, ReverseCharge, IntraCommunity, Export, NotSubject}) {
    for (Profile profile : {kEn, kXr}) {
      const Document d = base();
      // Outside the scope of VAT a seller has no VAT id, which XRechnung asks for.
      if (profile == kXr && d.lines[0].vat.category == VatCategory::kNotSubject) continue;
      EXPECT_EQ(DescribeBreaches(CheckDocument(d, profile)), "") << CategoryCode(d.lines[0].vat.category);
    }
  }
}

TEST(Rules, EachChangeBreaksItsRuleAndNamesTheTermAndOurField) {
  for (const auto& c : Cases()) {
    Document d = c.base();
    c.change(d);
    const auto breaches = CheckDocument(d, c.profile);
    bool found = false;
    for (const auto& b : breaches) {
      if (b.rule != c.rule) continue;
      if (b.terms.find(c.term) == std::string::npos || b.field.find(c.field) == std::string::npos) continue;
      found = true;
      EXPECT_FALSE(b.message.empty()) << c.name;
    }
    EXPECT_TRUE(found) << c.name << ": expected " << c.rule << " " << c.term << " " << c.field << ", got\n"
                       << DescribeBreaches(breaches);
  }
}

TEST(Rules, WhatOnlyXRechnungAsksIsNotAskedOfThePlainNorm) {
  Document d = Domestic();
  d.buyer_reference.clear();
  d.payment = {};
  d.seller.contact = {};
  d.seller.electronic_address.clear();
  EXPECT_EQ(DescribeBreaches(CheckDocument(d, kEn)), "");
  EXPECT_GE(CheckDocument(d, kXr).size(), 4u);
}

// Alternatives the norm accepts are not reported.
TEST(Rules, AcceptedAlternativesPass) {
  struct Alternative {
    const char* name;
    Document (*base)();
    std::function<void(Document&)> change;
  };
  const Alternative alternatives[] = {
      {"standard rate with a tax and a legal registration", Domestic,
       [](Document& d) {
         d.seller.vat_id.clear();
         d.seller.legal_registration_id = "HRB 12345";
       }},
      {"reverse charge to a buyer with a legal registration", ReverseCharge,
       [](Document& d) {
         d.buyer.vat_id.clear();
         d.buyer.legal_registration_id = "HRB 999";
       }},
      {"exemption by code alone", Exempt,
       [](Document& d) {
         d.vat_breakdown[0].vat.exemption_reason.clear();
         d.vat_breakdown[0].vat.exemption_reason_code = "VATEX-EU-132";
       }},
      {"nothing due without a due date", Domestic,
       [](Document& d) {
         d.due_date.clear();
         d.payment_terms.clear();
         d.totals.prepaid = D("191.85");
         d.totals.payable = D("0.00");
       }},
      {"Greek VAT id prefix", Domestic, [](Document& d) { d.buyer.vat_id = "EL094259216"; }},
  };
  for (const auto& a : alternatives) {
    Document d = a.base();
    a.change(d);
    EXPECT_EQ(DescribeBreaches(CheckDocument(d)), "") << a.name;
  }
}

TEST(Rules, BreachesAreDescribedOnePerLine) {
  Document d = Domestic();
  d.currency.clear();
  d.buyer.name.clear();
  const std::string text = DescribeBreaches(CheckDocument(d));
  EXPECT_EQ(text,
            "BR-05 BT-5 currency (tarvik settings): the document has no currency\n"
            "BR-07 BT-44 Customer.name (tarvik customer C400 name): the buyer has no name\n");
}

}  // namespace
}  // namespace tarvik::einvoice
