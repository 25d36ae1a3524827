#include "einvoice/rules.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace tarvik::einvoice {
namespace {

// Where our books keep a business term, so a breach tells the clerk what to set.
enum class Store { kSetting, kCustomer, kShipTo, kHeader, kComputed };

struct Field {
  Store store;
  const char* name;                   // the setting, column or computed amount
  const char* credit_name = nullptr;  // the header column of a credit note, when it differs
};

// What a document must carry: the term empty is a breach.
struct Required {
  const char* rule;
  const char* terms;
  std::string Document::*text;  // or, for a party's fields, chosen by get
  const std::string& (*get)(const Document&);
  Field field;
  const char* message;
};

const std::string& SellerName(const Document& d) { return d.seller.name; }
const std::string& SellerCountry(const Document& d) { return d.seller.address.country; }
const std::string& SellerCity(const Document& d) { return d.seller.address.city; }
const std::string& SellerPostcode(const Document& d) { return d.seller.address.postcode; }
const std::string& ContactName(const Document& d) { return d.seller.contact.name; }
const std::string& ContactPhone(const Document& d) { return d.seller.contact.phone; }
const std::string& ContactEmail(const Document& d) { return d.seller.contact.email; }
const std::string& SellerAddress(const Document& d) { return d.seller.electronic_address; }
const std::string& BuyerName(const Document& d) { return d.buyer.name; }
const std::string& BuyerCountry(const Document& d) { return d.buyer.address.country; }
const std::string& BuyerCity(const Document& d) { return d.buyer.address.city; }
const std::string& BuyerPostcode(const Document& d) { return d.buyer.address.postcode; }
const std::string& BuyerAddress(const Document& d) { return d.buyer.electronic_address; }
const std::string& PaymentMeans(const Document& d) { return d.payment.means_code; }

const Required kRequired[] = {
    {"BR-02", "BT-1", &Document::number, nullptr, {Store::kHeader, "invoice_no", "credit_no"},
     "the document has no number"},
    {"BR-03", "BT-2", &Document::issue_date, nullptr, {Store::kHeader, "invoice_date", "credit_date"},
     "the document has no issue date"},
    {"BR-05", "BT-5", &Document::currency, nullptr, {Store::kSetting, "currency"},
     "the document has no currency"},
    {"BR-06", "BT-27", nullptr, SellerName, {Store::kSetting, "seller_legal_name"}, "the seller has no name"},
    {"BR-07", "BT-44", nullptr, BuyerName, {Store::kCustomer, "name"}, "the buyer has no name"},
    {"BR-09", "BT-40", nullptr, SellerCountry, {Store::kSetting, "seller_country"},
     "the seller's address has no country"},
    {"BR-11", "BT-55", nullptr, BuyerCountry, {Store::kCustomer, "country"}, "the buyer's address has no country"},
};

const Required kXRechnungRequired[] = {
    {"BR-DE-1", "BG-16", nullptr, PaymentMeans, {Store::kSetting, "bank_iban"},
     "XRechnung asks for payment instructions; the seller has no account to pay to"},
    {"BR-DE-3", "BT-37", nullptr, SellerCity, {Store::kSetting, "seller_city"}, "the seller's address has no city"},
    {"BR-DE-4", "BT-38", nullptr, SellerPostcode, {Store::kSetting, "seller_postcode"},
     "the seller's address has no postcode"},
    {"BR-DE-5", "BT-41", nullptr, ContactName, {Store::kSetting, "contact_name"}, "the seller's contact has no name"},
    {"BR-DE-6", "BT-42", nullptr, ContactPhone, {Store::kSetting, "contact_phone"},
     "the seller's contact has no telephone"},
    {"BR-DE-7", "BT-43", nullptr, ContactEmail, {Store::kSetting, "contact_email"},
     "the seller's contact has no e-mail address"},
    {"BR-DE-8", "BT-52", nullptr, BuyerCity, {Store::kCustomer, "city"}, "the buyer's address has no city"},
    {"BR-DE-9", "BT-53", nullptr, BuyerPostcode, {Store::kCustomer, "postcode"},
     "the buyer's address has no postcode"},
    {"BR-DE-15", "BT-10", &Document::buyer_reference, nullptr, {Store::kCustomer, "buyer_reference"},
     "XRechnung asks for the buyer reference (a public buyer's Leitweg-ID)"},
    // XRechnung makes both electronic addresses mandatory without a rule number of its own.
    {"XR-BT-34", "BT-34", nullptr, SellerAddress, {Store::kSetting, "seller_electronic_address"},
     "XRechnung asks for the seller's electronic address"},
    {"XR-BT-49", "BT-49", nullptr, BuyerAddress, {Store::kCustomer, "electronic_address"},
     "XRechnung asks for the buyer's electronic address"},
};

// What each VAT category asks of a document; the rule numbers of a
// category follow one plan (-01 breakdown, -02 identifiers, -05 rate, ...).
enum class Ids { kSellerAny, kSellerVat, kSellerAndBuyerOrLegal, kSellerAndBuyer, kNone };
struct CategoryRules {
  VatCategory category;
  const char* prefix;
  bool one_breakdown;   // exactly one breakdown (S may have one per rate)
  Ids ids;
  bool positive_rate;   // S; every other category is 0 %
  bool exemption;       // the breakdown states why no VAT is due
};
const CategoryRules kCategories[] = {
    {VatCategory::kStandard, "BR-S", false, Ids::kSellerAny, true, false},
    {VatCategory::kZeroRated, "BR-Z", true, Ids::kSellerAny, false, false},
    {VatCategory::kExempt, "BR-E", true, Ids::kSellerAny, false, true},
    {VatCategory::kReverseCharge, "BR-AE", true, Ids::kSellerAndBuyerOrLegal, false, true},
    {VatCategory::kIntraCommunity, "BR-IC", true, Ids::kSellerAndBuyer, false, true},
    {VatCategory::kExport, "BR-G", true, Ids::kSellerVat, false, true},
    {VatCategory::kNotSubject, "BR-O", true, Ids::kNone, false, true},
};

struct Amount {
  const char* rule;
  const char* terms;
  Decimal Totals::*value;
};
// Amounts the norm allows two decimals.
const Amount kTwoDecimals[] = {
    {"BR-DEC-09", "BT-106", &Totals::line_net},    {"BR-DEC-10", "BT-107", &Totals::allowances},
    {"BR-DEC-11", "BT-108", &Totals::charges},     {"BR-DEC-12", "BT-109", &Totals::tax_exclusive},
    {"BR-DEC-13", "BT-110", &Totals::tax},         {"BR-DEC-14", "BT-112", &Totals::tax_inclusive},
    {"BR-DEC-16", "BT-113", &Totals::prepaid},     {"BR-DEC-17", "BT-114", &Totals::rounding},
    {"BR-DEC-18", "BT-115", &Totals::payable},
};

bool HasMoreThanTwoDecimals(Decimal d) { return d.Rescaled(2) != d; }

Decimal Round2(Decimal d) { return d.Rescaled(2); }

Decimal PercentOf(Decimal base, Decimal percent) {
  const Decimal product = base * percent;
  return Decimal::FromUnits(product.units(), product.scale() + 2);
}

bool IsCountryPrefix(const std::string& id) {
  return id.size() > 2 && std::isupper(static_cast<unsigned char>(id[0])) &&
         std::isupper(static_cast<unsigned char>(id[1]));
}

bool SameVat(const VatTreatment& a, const VatTreatment& b) { return a.category == b.category && a.rate == b.rate; }

class Checker {
 public:
  Checker(const Document& d, Profile profile) : d_(d), profile_(profile) {}

  std::vector<RuleBreach> Run() {
    for (const auto& r : kRequired) CheckRequired(r);
    CheckParties();
    CheckLines();
    CheckSums();
    for (const auto& c : kCategories) CheckCategory(c);
    if (profile_ == Profile::kXRechnung) CheckXRechnung();
    return std::move(out_);
  }

 private:
  void Breach(const char* rule, std::string terms, std::string field, std::string message) {
    out_.push_back({rule, std::move(terms), std::move(field), std::move(message)});
  }

  std::string Where(const Field& f) const {
    const std::string name = f.name;
    switch (f.store) {
      case Store::kSetting:
        return name + " (tarvik settings)";
      case Store::kCustomer:
        return "Customer." + name + " (tarvik customer " + d_.buyer.id + " " + name + ")";
      case Store::kShipTo:
        return "ShipTo." + name + " (customer " + d_.buyer.id + ", ship-to " + d_.delivery_name + ")";
      case Store::kHeader:
        return Credit() ? "Credit_Note_Header." + std::string(f.credit_name ? f.credit_name : f.name)
                        : "Invoice_Header." + name;
      case Store::kComputed:
        return name + " (computed from the lines)";
    }
    return name;
  }
  bool Credit() const { return d_.type == DocumentType::kCreditNote; }
  std::string ItemField(const Line& l, const char* column) const {
    return "Item." + std::string(column) + " (tarvik item " + l.seller_item_id + " " + column + ")";
  }
  std::string DetailField(const char* column) const {
    return (Credit() ? "Credit_Note_Detail." : "Invoice_Detail.") + std::string(column);
  }
  // A customer's own category is one of those an item cannot have.
  std::string CategoryField(VatCategory c, const Line* line, const char* column) const {
    const bool item_kind = c == VatCategory::kStandard || c == VatCategory::kZeroRated || c == VatCategory::kExempt;
    if (item_kind && line) return ItemField(*line, column) + " or " + Where({Store::kCustomer, column});
    return Where({Store::kCustomer, column});
  }

  void CheckRequired(const Required& r) {
    const std::string& value = r.text ? d_.*(r.text) : r.get(d_);
    if (value.empty()) Breach(r.rule, r.terms, Where(r.field), r.message);
  }

  void CheckParties() {
    if (d_.seller.vat_id.empty() && d_.seller.legal_registration_id.empty() && d_.seller.id.empty()) {
      Breach("BR-CO-26", "BT-29, BT-30, BT-31", Where({Store::kSetting, "seller_vat_id"}),
             "the seller is not identified: no VAT identifier nor registration");
    }
    if (!d_.seller.vat_id.empty() && !IsCountryPrefix(d_.seller.vat_id)) {
      Breach("BR-CO-09", "BT-31", Where({Store::kSetting, "seller_vat_id"}),
             "the seller's VAT identifier '" + d_.seller.vat_id + "' does not start with its country code");
    }
    if (!d_.buyer.vat_id.empty() && !IsCountryPrefix(d_.buyer.vat_id)) {
      Breach("BR-CO-09", "BT-48", Where({Store::kCustomer, "vat_id"}),
             "the buyer's VAT identifier '" + d_.buyer.vat_id + "' does not start with its country code");
    }
    if (!d_.seller.electronic_address.empty() && d_.seller.electronic_scheme.empty()) {
      Breach("BR-62", "BT-34", Where({Store::kSetting, "seller_electronic_scheme"}),
             "the seller's electronic address has no scheme");
    }
    if (!d_.buyer.electronic_address.empty() && d_.buyer.electronic_scheme.empty()) {
      Breach("BR-63", "BT-49", Where({Store::kCustomer, "electronic_scheme"}),
             "the buyer's electronic address has no scheme");
    }
    if (d_.totals.payable > Decimal() && d_.due_date.empty() && d_.payment_terms.empty()) {
      Breach("BR-CO-25", "BT-9, BT-20", Where({Store::kSetting, "payment_due_days"}),
             "an amount is due but neither a due date nor payment terms are given");
    }
  }

  void CheckLines() {
    if (d_.lines.empty()) Breach("BR-16", "BG-25", DetailField("item_number"), "the document has no lines");
    for (const auto& l : d_.lines) {
      const std::string at = "line " + l.id + " (item " + l.seller_item_id + ")";
      if (l.unit_code.empty()) Breach("BR-23", "BT-130", ItemField(l, "unit_code"), at + " has no unit of measure");
      if (l.item_name.empty()) Breach("BR-25", "BT-153", ItemField(l, "description"), at + " has no item name");
      if (l.gross_price.IsNegative()) {
        Breach("BR-28", "BT-148", DetailField("unit_price"), at + " has a negative price");
      }
      if (l.net_price.IsNegative()) {
        Breach("BR-27", "BT-146", DetailField("discount"), at + " has a negative net price");
      }
      if (HasMoreThanTwoDecimals(l.net_amount)) {
        Breach("BR-DEC-23", "BT-131", DetailField("amount"), at + "'s net amount has more than two decimals");
      }
    }
  }

  void CheckSums() {
    const Totals& t = d_.totals;
    Decimal lines, allowances, charges, tax;
    for (const auto& l : d_.lines) lines += l.net_amount;
    for (const auto& ac : d_.allowances_charges) (ac.is_charge ? charges : allowances) += ac.amount;
    for (const auto& b : d_.vat_breakdown) tax += b.tax_amount;
    struct Sum {
      const char* rule;
      const char* terms;
      Decimal stated, expected;
      const char* what;
    };
    const Sum sums[] = {
        {"BR-CO-10", "BT-106", t.line_net, lines, "the sum of the line net amounts"},
        {"BR-CO-11", "BT-107", t.allowances, allowances, "the sum of the allowances"},
        {"BR-CO-12", "BT-108", t.charges, charges, "the sum of the charges"},
        {"BR-CO-13", "BT-109", t.tax_exclusive, t.line_net - t.allowances + t.charges,
         "the line net sum less allowances plus charges"},
        {"BR-CO-14", "BT-110", t.tax, tax, "the sum of the VAT breakdown's tax"},
        {"BR-CO-15", "BT-112", t.tax_inclusive, t.tax_exclusive + t.tax, "the amount without VAT plus the VAT"},
        {"BR-CO-16", "BT-115", t.payable, t.tax_inclusive - t.prepaid + t.rounding,
         "the amount with VAT less the amount paid plus rounding"},
    };
    for (const auto& s : sums) {
      if (s.stated != s.expected) {
        Breach(s.rule, s.terms, Where({Store::kComputed, "totals"}),
               "states " + s.stated.ToString() + " where " + s.what + " is " + s.expected.ToString());
      }
    }
    for (const auto& a : kTwoDecimals) {
      if (HasMoreThanTwoDecimals(t.*(a.value))) {
        Breach(a.rule, a.terms, Where({Store::kComputed, "totals"}), "has more than two decimals");
      }
    }
    if (d_.vat_breakdown.empty()) {
      Breach("BR-CO-18", "BG-23", Where({Store::kComputed, "VAT breakdown"}), "the document has no VAT breakdown");
    }
    for (const auto& b : d_.vat_breakdown) {
      const Decimal expected = Round2(PercentOf(b.taxable_amount, b.vat.rate));
      if (b.tax_amount != expected) {
        Breach("BR-CO-17", "BT-117", Where({Store::kComputed, "VAT breakdown"}),
               std::string("the tax of category ") + CategoryCode(b.vat.category) + " at " + b.vat.rate.ToString() +
                   " % is " + b.tax_amount.ToString() + " where " + expected.ToString() + " is due");
      }
    }
  }

  void CheckCategory(const CategoryRules& c) {
    const std::string p = c.prefix;
    std::vector<const Line*> lines;
    for (const auto& l : d_.lines) {
      if (l.vat.category == c.category) lines.push_back(&l);
    }
    std::vector<const AllowanceCharge*> acs;
    for (const auto& ac : d_.allowances_charges) {
      if (ac.vat.category == c.category) acs.push_back(&ac);
    }
    std::vector<const VatBreakdown*> breakdowns;
    for (const auto& b : d_.vat_breakdown) {
      if (b.vat.category == c.category) breakdowns.push_back(&b);
    }
    if (lines.empty() && acs.empty() && breakdowns.empty()) return;
    const char* code = CategoryCode(c.category);
    const Line* first = lines.empty() ? nullptr : lines.front();
    const std::string category_field = CategoryField(c.category, first, "vat_category");

    if ((!lines.empty() || !acs.empty()) && (breakdowns.empty() || (c.one_breakdown && breakdowns.size() > 1))) {
      Breach((p + "-01").c_str(), "BG-23, BT-118", Where({Store::kComputed, "VAT breakdown"}),
             std::string("category ") + code + " is used but the VAT breakdown has " +
                 std::to_string(breakdowns.size()) + " entries for it");
    }
    if (!lines.empty()) CheckIdentifiers(c, p + "-02", code);

    for (const Line* l : lines) CheckRate(c, p + "-05", "BT-152", l->vat.rate, l, "line " + l->id);
    for (const AllowanceCharge* ac : acs) {
      CheckRate(c, p + (ac->is_charge ? "-07" : "-06"), ac->is_charge ? "BT-103" : "BT-96", ac->vat.rate, first,
                ac->is_charge ? "the charge " + ac->reason : "the allowance " + ac->reason);
    }

    for (const VatBreakdown* b : breakdowns) {
      Decimal taxable;
      for (const Line* l : lines) {
        if (SameVat(l->vat, b->vat)) taxable += l->net_amount;
      }
      for (const AllowanceCharge* ac : acs) {
        if (SameVat(ac->vat, b->vat)) taxable += ac->is_charge ? ac->amount : -ac->amount;
      }
      if (b->taxable_amount != taxable) {
        Breach((p + "-08").c_str(), "BT-116", Where({Store::kComputed, "VAT breakdown"}),
               std::string("the taxable amount of category ") + code + " is " + b->taxable_amount.ToString() +
                   " where its lines, allowances and charges come to " + taxable.ToString());
      }
      const Decimal tax = c.positive_rate ? Round2(PercentOf(b->taxable_amount, b->vat.rate)) : Decimal();
      if (b->tax_amount != tax) {
        Breach((p + "-09").c_str(), "BT-117", Where({Store::kComputed, "VAT breakdown"}),
               std::string("the tax of category ") + code + " is " + b->tax_amount.ToString() + " where " +
                   tax.ToString() + " is due");
      }
      const bool stated = !b->vat.exemption_reason.empty() || !b->vat.exemption_reason_code.empty();
      if (c.exemption && !stated) {
        Breach((p + "-10").c_str(), "BT-120, BT-121",
               CategoryField(c.category, first, "vat_exemption_reason"),
               std::string("category ") + code + " needs the reason why no VAT is charged");
      } else if (!c.exemption && stated) {
        Breach((p + "-10").c_str(), "BT-120, BT-121",
               CategoryField(c.category, first, "vat_exemption_reason"),
               std::string("category ") + code + " is taxed and states no exemption reason");
      }
    }

    if (c.category == VatCategory::kIntraCommunity) {
      if (d_.delivery_date.empty()) {
        Breach("BR-IC-11", "BT-72", Where({Store::kHeader, "ship_date"}),
               "an intra-community supply needs its delivery date");
      }
      if (d_.delivery_address.country.empty()) {
        Breach("BR-IC-12", "BT-80",
               d_.delivery_name.empty() ? "Order_Header.shipto_name (one ship-to for every line of the invoice)"
                                        : Where({Store::kShipTo, "country"}),
               "an intra-community supply needs the country it was delivered to");
      }
    }
    if (c.category == VatCategory::kNotSubject) {
      const bool others = std::any_of(d_.vat_breakdown.begin(), d_.vat_breakdown.end(), [](const VatBreakdown& b) {
        return b.vat.category != VatCategory::kNotSubject;
      });
      if (others) {
        Breach("BR-O-11", "BT-118", category_field,
               "a document outside the scope of VAT cannot carry other VAT categories");
      }
    }
  }

  void CheckIdentifiers(const CategoryRules& c, const std::string& rule, const char* code) {
    const bool seller_vat = !d_.seller.vat_id.empty();
    const bool seller_any = seller_vat || !d_.seller.tax_registration_id.empty();
    const bool buyer_vat = !d_.buyer.vat_id.empty();
    const std::string why = std::string("lines of category ") + code;
    auto seller_missing = [&](const char* terms) {
      Breach(rule.c_str(), terms, Where({Store::kSetting, "seller_vat_id"}), why + " need the seller's VAT identifier");
    };
    switch (c.ids) {
      case Ids::kSellerAny:
        if (!seller_any) seller_missing("BT-31, BT-32");
        break;
      case Ids::kSellerVat:
        if (!seller_vat) seller_missing("BT-31");
        break;
      case Ids::kSellerAndBuyerOrLegal:
      case Ids::kSellerAndBuyer: {
        if (!seller_vat) seller_missing("BT-31");
        const bool legal_will_do = c.ids == Ids::kSellerAndBuyerOrLegal && !d_.buyer.legal_registration_id.empty();
        if (!buyer_vat && !legal_will_do) {
          Breach(rule.c_str(), c.ids == Ids::kSellerAndBuyer ? "BT-48" : "BT-47, BT-48",
                 Where({Store::kCustomer, "vat_id"}), why + " need the buyer's VAT identifier");
        }
        break;
      }
      case Ids::kNone:
        if (seller_vat) {
          Breach(rule.c_str(), "BT-31", Where({Store::kSetting, "seller_vat_id"}),
                 why + " cannot carry the seller's VAT identifier");
        }
        if (buyer_vat) {
          Breach(rule.c_str(), "BT-48", Where({Store::kCustomer, "vat_id"}),
                 why + " cannot carry the buyer's VAT identifier");
        }
        break;
    }
  }

  void CheckRate(const CategoryRules& c, const std::string& rule, const char* terms, Decimal rate, const Line* line,
                 const std::string& what) {
    if (c.positive_rate && !(rate > Decimal())) {
      Breach(rule.c_str(), terms, Where({Store::kCustomer, "tax_rate"}),
             what + " is standard rated at " + rate.ToString() + " %; the rate must be above 0");
    } else if (!c.positive_rate && !rate.IsZero()) {
      Breach(rule.c_str(), terms, CategoryField(c.category, line, "vat_category"),
             what + " of category " + CategoryCode(c.category) + " carries a rate of " + rate.ToString() + " %");
    }
  }

  void CheckXRechnung() {
    for (const auto& r : kXRechnungRequired) CheckRequired(r);
    const Contact& contact = d_.seller.contact;
    if (contact.name.empty() && contact.phone.empty() && contact.email.empty()) {
      Breach("BR-DE-2", "BG-6", Where({Store::kSetting, "contact_name"}), "XRechnung asks for the seller's contact");
    }
    if (!d_.delivery_address.country.empty()) {
      if (d_.delivery_address.city.empty()) {
        Breach("BR-DE-10", "BT-77", Where({Store::kShipTo, "city"}), "the delivery address has no city");
      }
      if (d_.delivery_address.postcode.empty()) {
        Breach("BR-DE-11", "BT-78", Where({Store::kShipTo, "postcode"}), "the delivery address has no postcode");
      }
    }
    const bool taxed = std::any_of(d_.vat_breakdown.begin(), d_.vat_breakdown.end(), [](const VatBreakdown& b) {
      return b.vat.category != VatCategory::kNotSubject;
    });
    if (taxed && d_.seller.vat_id.empty() && d_.seller.tax_registration_id.empty()) {
      Breach("BR-DE-16", "BT-31, BT-32", Where({Store::kSetting, "seller_vat_id"}),
             "XRechnung asks for the seller's VAT identifier or tax registration");
    }
    const auto digits = std::count_if(contact.phone.begin(), contact.phone.end(),
                                      [](char ch) { return ch >= '0' && ch <= '9'; });
    if (!contact.phone.empty() && digits < 3) {
      Breach("BR-DE-27", "BT-42", Where({Store::kSetting, "contact_phone"}),
             "the contact telephone '" + contact.phone + "' has fewer than three digits");
    }
    const auto at = contact.email.find('@');
    const bool email_shape = at != std::string::npos && at > 0 && contact.email.find('@', at + 1) == std::string::npos &&
                             contact.email.find('.', at) != std::string::npos && contact.email.back() != '.' &&
                             contact.email.find(' ') == std::string::npos;
    if (!contact.email.empty() && !email_shape) {
      Breach("BR-DE-28", "BT-43", Where({Store::kSetting, "contact_email"}),
             "the contact e-mail '" + contact.email + "' is not an address of the form name@domain.tld");
    }
  }

  const Document& d_;
  Profile profile_;
  std::vector<RuleBreach> out_;
};

}  // namespace

std::vector<RuleBreach> CheckDocument(const Document& document, Profile profile) {
  return Checker(document, profile).Run();
}

std::string DescribeBreaches(const std::vector<RuleBreach>& breaches) {
  std::string out;
  for (const auto& b : breaches) out += b.rule + " " + b.terms + " " + b.field + ": " + b.message + "\n";
  return out;
}

}  // namespace tarvik::einvoice
