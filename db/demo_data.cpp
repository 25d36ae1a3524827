#include "db/demo_data.h"

#include "data/dialect.h"

#include <string>
#include <utility>
#include <vector>

namespace tarvik::db {
namespace {

// Besides the books' own columns, each customer is the buyer of an
// electronic invoice: one domestic (DE, standard rate), one intra-EU supply
// (K), one export (G) and one left to its items' categories at a rate of its own.
struct Customer {
  const char* id;
  const char* name;
  const char* address;
  const char* city;
  double tax_rate;
  const char* postcode;
  const char* subdivision;
  const char* country;
  const char* vat_id;
  const char* electronic_address;
  const char* buyer_reference;
  const char* contact_name;
  const char* contact_email;
  const char* vat_category;
};
const Customer kCustomers[] = {
    {"C100", "Northwind Hardware", "1 Dock Street", "Portland", 0.0, "97209", "OR", "US", "",
     "ap@northwind.example", "NW-AP-7", "Dana Wells", "ap@northwind.example", "G"},
    {"C200", "O'Brien & Sons", "44 Mill Lane", "Cork", 0.0, "T12 XY34", "Co. Cork", "IE", "IE6388047V",
     "invoices@obrien.example", "OB-PURCH", "Sean O'Brien", "sean@obrien.example", "K"},
    {"C300", "Kivi Ehitus OÜ", "Pärnu mnt 12", "Tallinn", 8.25, "10141", "Harju maakond", "EE", "",
     "arved@kivi.example", "KIVI-OST", "Mari Kask", "arved@kivi.example", ""},
    {"C400", "Brightline Retail", "Marktstraße 9", "Berlin", 19.0, "10115", "Berlin", "DE", "DE811569869",
     "rechnung@brightline.example", "991-33333TEST-33", "Jonas Weber", "einkauf@brightline.example", ""},
};

struct Item {
  const char* number;
  const char* description;
  double price;
  const char* unit_code;     // UN/ECE Recommendation 20
  const char* vat_category;  // S, Z or E
};
// The gloves are zero rated so the domestic customer's invoices show two
// VAT breakdowns.
const Item kItems[] = {
    {"BOLT-10", "Hex bolt M10 x 50, zinc plated (box of 100)", 12.50, "XBX", "S"},
    {"NUT-10", "Hex nut M10 (box of 100)", 6.75, "XBX", "S"},
    {"WASH-10", "Flat washer M10 (box of 250)", 4.20, "XBX", "S"},
    {"DRILL-8", "HSS drill bit 8 mm", 3.95, "H87", "S"},
    {"SAW-24", "Circular saw blade 24 teeth", 29.00, "H87", "S"},
    {"GLOVE-L", "Work gloves, size L (pair)", 7.80, "PR", "Z"},
};
const char* const kSites[] = {"MAIN", "EAST"};

// The demo's seller, a German company: every company setting filled.
const std::pair<const char*, const char*> kSeller[] = {
    {"seller_legal_name", "Tarvik Supply GmbH"},
    {"seller_trading_name", "Tarvik Supply"},
    {"seller_address_line1", "Hafenstraße 12"},
    {"seller_address_line2", "Gebäude B, 2. OG"},
    {"seller_city", "Hamburg"},
    {"seller_postcode", "20457"},
    {"seller_subdivision", "Hamburg"},
    {"seller_country", "DE"},
    {"seller_vat_id", "DE123456788"},
    {"seller_tax_registration_id", "22/815/08150"},
    {"seller_legal_registration_id", "HRB 123456"},
    {"seller_electronic_address", "rechnung@tarvik.example"},
    {"seller_electronic_scheme", "EM"},
    {"contact_name", "Katrin Vogel"},
    {"contact_phone", "+49 40 3000 1200"},
    {"contact_email", "billing@tarvik.example"},
    {"bank_iban", "DE89370400440532013000"},
    {"bank_bic", "COBADEFFXXX"},
    {"bank_account_name", "Tarvik Supply GmbH"},
    {"currency", "EUR"},
    {"payment_terms", "Payable within 14 days without deduction"},
    {"payment_due_days", "14"},
    {"date_format", "YYYY-MM-DD"},
};

// How far an order has come through the warehouse.
enum class Stage { kPacked, kPartlyPicked, kPartlyPacked, kOpen };

Stage StageOf(int index) {
  if (index < 12) return Stage::kPacked;
  if (index < 16) return Stage::kPartlyPicked;
  if (index < 20) return Stage::kPartlyPacked;
  return Stage::kOpen;
}

// The inserts are written in the classic dialect; each backend wants its own markers.
void Exec(data::Backend& b, const std::string& sql, const std::vector<data::Value>& params) {
  b.Execute(data::TranslateClassic(sql, b.dialect()), params);
}

}  // namespace

void LoadDemoData(data::Backend& b) {
  for (const auto& [name, value] : kSeller) {
    Exec(b, "DELETE FROM Company_Settings WHERE setting_name = ?1", {std::string(name)});
    Exec(b, "INSERT INTO Company_Settings (setting_name, setting_value) VALUES (?1, ?2)", {std::string(name), std::string(value)});
  }
  for (const auto& c : kCustomers) {
    Exec(b,
         "INSERT INTO Customer (cust_id, name, address, city, tax_rate, postcode, subdivision, country, vat_id,"
         " electronic_address, electronic_scheme, buyer_reference, contact_name, contact_email, vat_category)"
         " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, 'EM', ?11, ?12, ?13, ?14)",
         {c.id, c.name, c.address, c.city, c.tax_rate, c.postcode, c.subdivision, c.country, c.vat_id,
          c.electronic_address, c.buyer_reference, c.contact_name, c.contact_email, c.vat_category});
    for (const char* loc : {"HQ", "WAREHOUSE"}) {
      Exec(b, "INSERT INTO ShipTo (cust_id, shipto_name, address, city, postcode, country) VALUES (?1, ?2, ?3, ?4, ?5, ?6)",
                {c.id, loc, std::string(loc == std::string("HQ") ? "" : "Unit 7, ") + c.address, c.city, c.postcode,
                 c.country});
    }
  }
  for (const auto& it : kItems) {
    Exec(b, "INSERT INTO Item (item_number, description, unit_price, unit_code, vat_category) VALUES (?1, ?2, ?3, ?4, ?5)",
              {it.number, it.description, it.price, it.unit_code, it.vat_category});
    for (const char* site : kSites) {
      Exec(b, "INSERT INTO Inventory (item_number, site, opening_on_hand, on_hand) VALUES (?1, ?2, 500, 500)",
                {it.number, site});
    }
  }
  const int kOrders = 24;
  for (int i = 0; i < kOrders; ++i) {
    const Customer& c = kCustomers[i % 4];
    const std::string number = std::to_string(1001 + i);
    const std::string shipto = (i / 4) % 2 == 0 ? "HQ" : "WAREHOUSE";
    const std::string due = "2026-12-" + std::string(i % 28 + 1 < 10 ? "0" : "") + std::to_string(i % 28 + 1);
    Exec(b,
        "INSERT INTO Order_Header (order_key, order_number, cust_id, shipto_name, reference_no, order_date, due_date,"
        " order_header_discount, ship_via, price_struct, oeextra1, oeextra2, nonmerch_order, header_text_a,"
        " header_text_b, order_flag, order_comment, order_status)"
        " VALUES (?1, ?2, ?3, ?4, ?5, '2026-11-20', ?6, ?7, ?8, 'LIST', '', '', 0, ?9, '', '0', '', 0)",
        {static_cast<std::int64_t>(i + 1), number, c.id, shipto, "PO-" + std::to_string(7000 + i), due,
         static_cast<double>(i % 3 == 0 ? 2.5 : 0), i % 2 ? "UPS Ground" : "Our truck",
         "Deliver to loading bay " + std::to_string(i % 5 + 1)});
    const int lines = 2 + i % 3;
    for (int l = 0; l < lines; ++l) {
      const Item& it = kItems[(i + l) % 6];
      const double ordered = 5 + (i + 2 * l) % 7;
      double picked = ordered, packed = ordered;
      int status = 2;
      switch (StageOf(i)) {
        case Stage::kPacked:
          break;
        case Stage::kPartlyPicked:
          if (l == 0) picked = packed = 2, status = 1;
          break;
        case Stage::kPartlyPacked:
          if (l == lines - 1) packed = 1;
          break;
        case Stage::kOpen:
          picked = packed = 0, status = 0;
          break;
      }
      Exec(b,
          "INSERT INTO Order_Detail (order_key, line_no, item_number, site, quantity_ordered, quantity_picked,"
          " quantity_packed, quantity_invoiced, unit_price, order_detail_discount, line_code, line_status)"
          " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, 0, ?8, ?9, ?10, ?11)",
          {static_cast<std::int64_t>(i + 1), static_cast<std::int64_t>(l + 1), it.number, kSites[(i + l) % 2], ordered,
           picked, packed, it.price, static_cast<double>(l == 1 ? 10 : 0), static_cast<std::int64_t>(l % 3),
           static_cast<std::int64_t>(status)});
    }
  }
}

}  // namespace tarvik::db
