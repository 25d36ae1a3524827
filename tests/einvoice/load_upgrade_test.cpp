// A database of the version before e-invoices, with books in it, brought up
// to date: every row kept, the new columns at their stated defaults, its
// invoices loadable as e-invoices, the new tables empty and guarded.
#include <string>

#include <gtest/gtest.h>

#include "data/backend.h"
#include "data/dialect.h"
#include "data/sql_text.h"
#include "db/company_settings.h"
#include "db/initialize.h"
#include "db/schema_upgrade.h"
#include "einvoice/load.h"
#include "platform/error.h"
#include "tests/support/old_schema.h"
#include "tests/support/temp_database.h"

namespace tarvik::db {
namespace {

using testing::ScalarNumber;
using testing::ScalarText;
using testing::TempDatabase;

// Versions 2 to 4 as shipped, with a customer, a ship-to, an item, an
// order and its invoice.
void MakeFourthVersionBooks(const std::string& path) {
  auto backend = data::OpenBackend(path);
  testing::CreateSchemaOfVersion(*backend, 4);
  auto exec = [&](const std::string& sql) { backend->Execute(data::TranslateClassic(sql, backend->dialect()), {}); };
  for (const auto& s : CatalogStatements(backend->dialect())) {
    backend->Execute(data::TranslateClassic(s.sql, backend->dialect()), s.values);
  }
  for (const auto& s : SettingsRowStatements()) {
    backend->Execute(data::TranslateClassic(s.sql, backend->dialect()), s.values);
  }
  exec("UPDATE Company_Settings SET setting_value = 'EUR' WHERE setting_name = 'currency'");
  exec("INSERT INTO Customer (cust_id, name, address, city, tax_rate) VALUES ('K1', 'Kept GmbH', 'Weg 1', 'Kiel', 19)");
  exec("INSERT INTO ShipTo (cust_id, shipto_name, address, city) VALUES ('K1', 'DOCK', 'Kai 2', 'Kiel')");
  exec("INSERT INTO Item (item_number, description, unit_price) VALUES ('ROPE', 'Rope, 10 m', 8.4)");
  exec("INSERT INTO Order_Header (order_key, order_number, cust_id, shipto_name) VALUES (1, '77', 'K1', 'DOCK')");
  exec("INSERT INTO Order_Detail (order_key, line_no, item_number, site, quantity_ordered, quantity_invoiced,"
       " unit_price, line_status) VALUES (1, 1, 'ROPE', 'MAIN', 3, 3, 8.4, 4)");
  exec("INSERT INTO Invoice_Header (invoice_no, invoice_date, ship_date, freight, paid, export_flag)"
       " VALUES (12, '2026-10-01', '2026-09-30', 5, 0, 1)");
  exec("INSERT INTO Invoice_Detail (invoice_no, order_key, line_no, item_number, site, quantity, unit_price,"
       " discount, amount) VALUES (12, 1, 1, 'ROPE', 'MAIN', 3, 8.4, 0, 25.2)");
}

TEST(FifthVersionUpgrade, KeepsTheBooksAndTheirInvoicesLoad) {
  TempDatabase db(false, false);
  MakeFourthVersionBooks(db.path());
  auto c = db.Connect();
  ASSERT_EQ(SchemaVersion(*c), 4);
  EXPECT_TRUE(UpgradeDatabase(*c));
  EXPECT_EQ(SchemaVersion(*c), kSchemaVersion);
  EXPECT_FALSE(UpgradeDatabase(*c));

  EXPECT_EQ(ScalarText(*c, "SELECT name FROM Customer WHERE cust_id = 'K1'"), "Kept GmbH");
  EXPECT_EQ(ScalarNumber(*c, "SELECT tax_rate FROM Customer"), 19);
  EXPECT_EQ(ScalarText(*c, "SELECT address FROM ShipTo"), "Kai 2");
  EXPECT_EQ(ScalarNumber(*c, "SELECT unit_price FROM Item"), 8.4);
  EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM Invoice_Detail WHERE invoice_no = 12"), 1);
  EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM Invoice_Header WHERE export_flag = 1"), 1);
  // The new columns: empty for customers and ship-tos, C62 and S for items.
  EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM Customer WHERE country = '' AND vat_category = ''"
                             " AND vat_id = '' AND buyer_reference = ''"),
            1);
  EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM ShipTo WHERE country = '' AND postcode = ''"), 1);
  EXPECT_EQ(ScalarText(*c, "SELECT unit_code || '/' || vat_category FROM Item"), "C62/S");
  EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM Credit_Note_Header"), 0);
  EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM Credit_Note_Detail"), 0);

  // Items of earlier versions are taxed at the customer's rate, as they always were.
  const einvoice::Document d = einvoice::LoadInvoice(*c, 12);
  ASSERT_EQ(d.lines.size(), 1u);
  EXPECT_EQ(d.lines[0].unit_code, "C62");
  EXPECT_EQ(d.lines[0].vat.category, einvoice::VatCategory::kStandard);
  EXPECT_EQ(d.lines[0].net_amount.ToString(), "25.20");
  EXPECT_EQ(d.totals.tax.ToString(), "5.74");  // 19 % of 25.20 + 5.00 freight
  EXPECT_EQ(d.delivery_name, "DOCK");
  EXPECT_EQ(d.delivery_address.country, "");  // the customer has none yet
}

TEST(FifthVersionUpgrade, CategoriesOutsideTheirSetAreRefused) {
  TempDatabase db(true, false);
  auto c = db.Connect();
  c->Execute("INSERT INTO Customer (cust_id, name) VALUES ('K2', 'Someone')");
  c->Execute("INSERT INTO Item (item_number, description) VALUES ('X1', 'Thing')");
  const char* refused[] = {
      "UPDATE Customer SET vat_category = 'X' WHERE cust_id = 'K2'",
      "UPDATE Customer SET vat_category = 's' WHERE cust_id = 'K2'",
      "UPDATE Item SET vat_category = 'K' WHERE item_number = 'X1'",
      "UPDATE Item SET vat_category = '' WHERE item_number = 'X1'",
  };
  for (const char* sql : refused) {
    EXPECT_THROW(c->ExecuteWith(sql, {}), AutomationError) << sql;
  }
  EXPECT_EQ(ScalarText(*c, "SELECT vat_category FROM Item WHERE item_number = 'X1'"), "S");
  c->ExecuteWith("UPDATE Customer SET vat_category = 'AE' WHERE cust_id = 'K2'", {});
  EXPECT_EQ(ScalarText(*c, "SELECT vat_category FROM Customer WHERE cust_id = 'K2'"), "AE");
}

}  // namespace
}  // namespace tarvik::db
