// Version 10 moves SQLite's stock rows into the tree of their key. Books of
// version 9 must come through with every stock row as it was, and the table
// must still refuse a second row of an item and site and take the relief's
// upsert.
#include <gtest/gtest.h>

#include <string>

#include "data/backend.h"
#include "data/dialect.h"
#include "db/books_recovery.h"
#include "db/initialize.h"
#include "db/schema_upgrade.h"
#include "tests/support/old_schema.h"
#include "tests/support/temp_database.h"

namespace tarvik::db {
namespace {

using data::HostConnection;
using testing::ScalarNumber;
using testing::TempDatabase;

struct StockRow {
  const char* item;
  const char* site;
  double opening;
  double on_hand;
};

double Column(HostConnection& c, const char* column, const StockRow& row) {
  return ScalarNumber(c, std::string("SELECT ") + column + " FROM Inventory WHERE item_number = '" + row.item +
                             "' AND site = '" + row.site + "'");
}

TEST(StockTableUpgrade, KeepsEveryRowAndItsKey) {
  const StockRow rows[] = {
      {"A-1", "MAIN", 10, 7.25}, {"A-1", "EAST", 0, -1.5}, {"a-1", "MAIN", 2, 2}, {"B 2", "MAIN", 1e9, 999999999.5}};
  TempDatabase db(false, false);
  {
    auto backend = data::OpenBackend(db.path());
    testing::CreateSchemaOfVersion(*backend, 9);
    for (const auto& s : CatalogStatements(backend->dialect())) {
      backend->Execute(data::TranslateClassic(s.sql, backend->dialect()), s.values);
    }
    for (const StockRow& row : rows) {
      backend->Execute(data::TranslateClassic("INSERT INTO Inventory (item_number, site, opening_on_hand, on_hand) "
                                              "VALUES (?1, ?2, ?3, ?4)", backend->dialect()),
                       {std::string(row.item), std::string(row.site), row.opening, row.on_hand});
    }
  }
  ComPtr<HostConnection> c = db.Connect();
  ASSERT_TRUE(PrepareForWriting(*c).upgraded);
  EXPECT_EQ(SchemaVersion(*c), kSchemaVersion);

  EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM Inventory"), 4);
  for (const StockRow& row : rows) {
    SCOPED_TRACE(std::string(row.item) + " at " + row.site);
    EXPECT_EQ(Column(*c, "opening_on_hand", row), row.opening);
    EXPECT_EQ(Column(*c, "on_hand", row), row.on_hand);
  }

  EXPECT_THROW(c->Execute("INSERT INTO Inventory (item_number, site, on_hand) VALUES ('A-1', 'MAIN', 1)"),
               AutomationError);
  // The relief's form: an existing row takes the change, a missing one starts at it.
  const std::string relieve =
      "INSERT INTO Inventory (item_number, site, opening_on_hand, on_hand) VALUES (?1, 'MAIN', 0, -2) "
      "ON CONFLICT (item_number, site) DO UPDATE SET on_hand = Inventory.on_hand + excluded.on_hand";
  c->ExecuteWith(relieve, {Variant::String("A-1")});
  c->ExecuteWith(relieve, {Variant::String("C-3")});
  EXPECT_EQ(Column(*c, "on_hand", rows[0]), 5.25);
  EXPECT_EQ(Column(*c, "on_hand", {"C-3", "MAIN", 0, 0}), -2);
  EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM Inventory"), 5);

  if (c->SqlDialect() == data::Dialect::kSqlite) {
    EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM sqlite_master WHERE name = 'Inventory' AND sql LIKE "
                               "'%WITHOUT ROWID'"),
              1);
    EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM sqlite_master WHERE tbl_name LIKE 'Inventory%' AND "
                               "type = 'index'"),
              0);
  }
}

}  // namespace
}  // namespace tarvik::db
