#include "db/demo_data.h"

#include "data/dialect.h"

#include <string>
#include <utility>
#include <vector>

namespace tarvik::db {
namespace {

struct Customer {
  const char* id;
  const char* name;
  const char* address;
  const char* city;
  double tax_rate;
};
const Customer kCustomers[] = {
    {"C100", "Northwind Hardware", "1 Dock Street", "Portland", 0.0},
    {"C200", "O'Brien & Sons", "44 Mill Lane", "Cork", 5.0},
    {"C300", "Kivi Ehitus OÜ", "Pärnu mnt 12", "Tallinn", 8.25},
    {"C400", "Brightline Retail", "900 Market Ave", "Denver", 20.0},
};

struct Item {
  const char* number;
  const char* description;
  double price;
};
const Item kItems[] = {
    {"BOLT-10", "Hex bolt M10 x 50, zinc plated (box of 100)", 12.50},
    {"NUT-10", "Hex nut M10 (box of 100)", 6.75},
    {"WASH-10", "Flat washer M10 (box of 250)", 4.20},
    {"DRILL-8", "HSS drill bit 8 mm", 3.95},
    {"SAW-24", "Circular saw blade 24 teeth", 29.00},
    {"GLOVE-L", "Work gloves, size L (pair)", 7.80},
};
const char* const kSites[] = {"MAIN", "EAST"};

// The demo's seller: every company setting filled.
const std::pair<const char*, const char*> kSeller[] = {
    {"seller_legal_name", "Tarvik Supply Co. OÜ"},
    {"seller_trading_name", "Tarvik Supply"},
    {"seller_address_line1", "12 Harbour Road"},
    {"seller_address_line2", "Building B, 2nd floor"},
    {"seller_city", "Tallinn"},
    {"seller_postcode", "10111"},
    {"seller_subdivision", "Harju County"},
    {"seller_country", "EE"},
    {"seller_vat_id", "EE100000018"},
    {"seller_tax_registration_id", "10000001"},
    {"seller_electronic_address", "invoices@tarvik.example"},
    {"seller_electronic_scheme", "EM"},
    {"contact_name", "Kadri Tamm"},
    {"contact_phone", "+372 600 0000"},
    {"contact_email", "billing@tarvik.example"},
    {"bank_iban", "EE382200221020145685"},
    {"bank_bic", "HABAEE2X"},
    {"bank_account_name", "Tarvik Supply Co. OÜ"},
    {"currency", "EUR"},
    {"payment_terms", "Net 14 days; 2 % late fee per month"},
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
    Exec(b, "INSERT INTO Customer (cust_id, name, address, city, tax_rate) VALUES (?1, ?2, ?3, ?4, ?5)",
              {c.id, c.name, c.address, c.city, c.tax_rate});
    for (const char* loc : {"HQ", "WAREHOUSE"}) {
      Exec(b, "INSERT INTO ShipTo (cust_id, shipto_name, address, city) VALUES (?1, ?2, ?3, ?4)",
                {c.id, loc, std::string(loc == std::string("HQ") ? "" : "Unit 7, ") + c.address, c.city});
    }
  }
  for (const auto& it : kItems) {
    Exec(b, "INSERT INTO Item (item_number, description, unit_price) VALUES (?1, ?2, ?3)",
              {it.number, it.description, it.price});
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
