// Books left by a run that stopped between its transactions, found and
// completed; databases of the first schema brought up to date.
#include <variant>

#include <gtest/gtest.h>

#include "data/backend.h"
#include "data/result_set.h"
#include "data/value.h"
#include "data/stored_query.h"
#include "db/books_recovery.h"
#include "db/initialize.h"
#include "platform/error.h"
#include "tests/support/books_invariants.h"
#include "tests/support/old_schema.h"
#include "tests/support/temp_database.h"

namespace tarvik::db {
namespace {

using data::HostConnection;
using data::RunStoredQuery;
using testing::ScalarNumber;
using testing::TempDatabase;

// What creation commits for one order before relief and status follow.
void Create(HostConnection& c, int order_key, int invoice_no) {
  const std::string n = std::to_string(invoice_no);
  c.BeginTrans();
  c.Execute("INSERT INTO Invoice_Header (invoice_no, invoice_by) VALUES (" + n + ", 0)");
  ASSERT_TRUE(RunStoredQuery(c, "v_InvoiceDet_byOrdPack", {Variant::Long(order_key), Variant::String(n)}));
  ASSERT_TRUE(RunStoredQuery(c, "v_Invoice_Up_LineStat_byOrdPack", {Variant::Long(order_key)}));
  c.CommitTrans();
}

void Relieve(HostConnection& c, int invoice_no) {
  const std::string n = std::to_string(invoice_no);
  ASSERT_TRUE(RunStoredQuery(c, "v_Invoice_Relieve_Inventory", {Variant::String(n)}));
  ASSERT_TRUE(RunStoredQuery(c, "v_Invoice_Relieve_Inventory_LS", {Variant::String(n)}));
}

// The books' invariants, with every posting finished.
void ExpectFinishedBooks(HostConnection& c) {
  std::string broken;
  for (const std::string& rule : testing::BrokenBooks(c)) broken += rule + "; ";
  EXPECT_EQ(broken, "");
}

TEST(PostingRecovery, FindsAndCompletesWhatARunLeftUnfinished) {
  TempDatabase db;
  auto c = db.Connect();
  EXPECT_TRUE(CheckPostings(*c).clean());
  Create(*c, 1, 501);  // stopped before its relief
  Create(*c, 2, 502);
  Relieve(*c, 502);    // relieved, order status not yet posted
  Create(*c, 3, 503);  // its relief failed and the status reset ran; the header is left
  ASSERT_TRUE(RunStoredQuery(*c, "v_Invoice_Delete_Reset_Status", {Variant::String("503")}));

  const PostingCheck check = CheckPostings(*c);
  EXPECT_EQ(check.unrelieved, std::vector<std::int64_t>{501});
  EXPECT_EQ(check.abandoned, std::vector<std::int64_t>{503});
  EXPECT_EQ(check.orders_pending, 3);

  const PostingRepair repair = RepairPostings(*c);
  EXPECT_EQ(repair.relieved, std::vector<std::int64_t>{501});
  EXPECT_EQ(repair.removed, std::vector<std::int64_t>{503});
  EXPECT_EQ(repair.orders_restated, 3);
  EXPECT_NE(Describe(repair).find("501"), std::string::npos);
  EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM Invoice_Header WHERE invoice_no = 503"), 0);
  EXPECT_EQ(ScalarNumber(*c, "SELECT sum(quantity_packed) FROM Order_Detail WHERE order_key = 3"),
            ScalarNumber(*c, "SELECT sum(quantity_ordered) FROM Order_Detail WHERE order_key = 3"))
      << "order 1003 is packed and open again";
  ExpectFinishedBooks(*c);
  EXPECT_TRUE(RepairPostings(*c).nothing_done());
  EXPECT_EQ(Describe(RepairPostings(*c)), "");
}

// A relief that fails again is undone as a run undoes it.
TEST(PostingRecovery, AnInvoiceThatCannotBeRelievedIsUndone) {
  TempDatabase db;
  auto c = db.Connect();
  const std::string before = testing::JoinedColumn(
      *c, "SELECT order_key || ':' || line_no || ':' || quantity_packed || ':' || line_status FROM Order_Detail "
          "ORDER BY order_key, line_no");
  Create(*c, 4, 600);
  // The ledger refuses the relief's rows from now on.
  c->Execute("UPDATE QueryDefs SET sql = 'INSERT INTO Inventory_Ledger (item_number) VALUES (?1)'"
             " WHERE name = 'v_Invoice_Relieve_Inventory_LS'");
  auto fresh = db.Connect();  // a new host reads the catalog afresh
  const PostingRepair repair = RepairPostings(*fresh);
  EXPECT_TRUE(repair.relieved.empty());
  EXPECT_EQ(repair.removed, std::vector<std::int64_t>{600});
  EXPECT_EQ(testing::JoinedColumn(*fresh, "SELECT order_key || ':' || line_no || ':' || quantity_packed || ':' || "
                                          "line_status FROM Order_Detail ORDER BY order_key, line_no"),
            before);
  EXPECT_TRUE(CheckPostings(*fresh).clean());
}

// A second host relieving the same invoice, before or after, posts nothing more.
TEST(PostingRecovery, ARepairBesideTheRunNeverRelievesTwice) {
  TempDatabase db;
  auto run = db.Connect();
  auto other = db.Connect();
  Create(*run, 5, 900);
  const double on_hand = ScalarNumber(*run, "SELECT sum(on_hand) FROM Inventory");
  const double quantity = ScalarNumber(*run, "SELECT sum(quantity) FROM Invoice_Detail WHERE invoice_no = 900");
  EXPECT_EQ(RepairPostings(*other).relieved, std::vector<std::int64_t>{900});
  Relieve(*run, 900);  // the run goes on with the relief it had planned
  EXPECT_DOUBLE_EQ(ScalarNumber(*run, "SELECT sum(on_hand) FROM Inventory"), on_hand - quantity);
  ExpectFinishedBooks(*run);
}

// The first schema, with a query of the site's own and some books, as a
// build before versions were kept left it.
TEST(SchemaUpgrade, BringsAFirstVersionDatabaseUpWithoutLosingARow) {
  TempDatabase db(false, false);
  {
    auto backend = data::OpenBackend(db.path());
    testing::CreateSchemaOfVersion(*backend, 1);
    auto exec = [&](const std::string& sql) { backend->Execute(data::TranslateClassic(sql, backend->dialect()), {}); };
    exec("INSERT INTO QueryDefs (name, kind, sql) VALUES ('v_Site_Report', 'select', 'SELECT ?1 AS x')");
    exec("INSERT INTO QueryDefParams (query_name, position, name, type) VALUES ('v_Site_Report', 0, 'X', 'Text')");
    exec("INSERT INTO QueryDefs (name, kind, sql) VALUES ('v_Invoice_Relieve_Inventory', 'action', 'SELECT 1')");
    exec("INSERT INTO QueryDefParams (query_name, position, name, type) VALUES "
         "('v_Invoice_Relieve_Inventory', 0, 'InvoiceNo', 'Text')");
    exec("INSERT INTO Customer (cust_id, name) VALUES ('C1', 'Kept')");
    exec("INSERT INTO Order_Header (order_key, order_number, cust_id) VALUES (1, '1', 'C1')");
  }
  auto c = db.Connect();
  EXPECT_EQ(SchemaVersion(*c), 1);
  const PostingRepair prepared = PrepareForWriting(*c);
  EXPECT_TRUE(prepared.upgraded);
  EXPECT_NE(Describe(prepared).find("schema version"), std::string::npos) << Describe(prepared);
  EXPECT_EQ(SchemaVersion(*c), kSchemaVersion);
  EXPECT_FALSE(UpgradeDatabase(*c)) << "a second opening finds nothing to do";
  EXPECT_EQ(testing::ScalarText(*c, "SELECT name FROM Customer"), "Kept");
  EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM Order_Header WHERE uninvoiced_status IS NULL"), 1);
  EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM QueryDefParams WHERE query_name = 'v_Site_Report'"), 1);
  EXPECT_EQ(testing::ScalarText(*c, "SELECT type FROM QueryDefParams WHERE lower(query_name) = "
                                    "'v_invoice_relieve_inventory'"),
            "Key");
  EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM QueryDefs"),
            static_cast<double>(ShippedQueries(c->SqlDialect()).size() + 1));
  EXPECT_TRUE(CheckPostings(*c).clean());

  c->Execute("UPDATE Schema_Version SET version = 99");
  try {
    UpgradeDatabase(*c);
    ADD_FAILURE() << "a newer database is refused";
  } catch (const AutomationError& e) {
    EXPECT_NE(e.description().find("99"), std::string::npos) << e.description();
  }
}

// Whether the index that numeric order ranges search exists: PostgreSQL's
// compares whole numbers of any length, SQLite's narrows by the 64-bit value.
bool HasOrderNumberValueIndex(HostConnection& c) {
  return ScalarNumber(c, c.SqlDialect() == data::Dialect::kPostgres
                             ? "SELECT count(*) FROM pg_indexes WHERE indexname = 'order_header_number_exact'"
                             : "SELECT count(*) FROM sqlite_master WHERE name = 'Order_Header_number_value'") == 1;
}

// A second-version database, as the build before keyed postings left it:
// its books and the query texts of that build are kept or replaced as a
// first-version one's are, and it gains the indexes the postings search.
TEST(SchemaUpgrade, BringsASecondVersionDatabaseUpWithTheIndexesPostingsSearch) {
  TempDatabase db(false, false);
  {
    auto backend = data::OpenBackend(db.path());
    testing::CreateSchemaOfVersion(*backend, 2);
    auto exec = [&](const std::string& sql) { backend->Execute(data::TranslateClassic(sql, backend->dialect()), {}); };
    for (const auto& s : CatalogStatements(backend->dialect())) {
      backend->Execute(data::TranslateClassic(s.sql, backend->dialect()), s.values);
    }
    exec("UPDATE QueryDefs SET sql = 'SELECT 1 AS order_key' WHERE name = 'v_Order_Keys'");
    exec("INSERT INTO Customer (cust_id, name) VALUES ('C1', 'Kept')");
    exec("INSERT INTO Order_Header (order_key, order_number, cust_id) VALUES (1, '0042', 'C1')");
    exec("INSERT INTO Order_Detail (order_key, line_no, item_number, site, quantity_ordered, quantity_packed)"
         " VALUES (1, 1, 'NUT-10', 'MAIN', 2, 2)");
  }
  auto c = db.Connect();
  EXPECT_EQ(SchemaVersion(*c), 2);
  EXPECT_FALSE(HasOrderNumberValueIndex(*c));
  EXPECT_TRUE(PrepareForWriting(*c).upgraded);
  EXPECT_EQ(SchemaVersion(*c), kSchemaVersion);
  EXPECT_TRUE(HasOrderNumberValueIndex(*c));
  EXPECT_FALSE(UpgradeDatabase(*c)) << "a second opening finds nothing to do";
  EXPECT_EQ(testing::ScalarText(*c, "SELECT name FROM Customer"), "Kept");
  for (const auto& q : ShippedQueries(c->SqlDialect())) {
    EXPECT_EQ(c->GetDatabase()->GetQueryDefs().Item(q.name)->SQL(), q.sql) << q.name;
  }
  // The numeric range finds the order by its number's value through the new index.
  auto keys = c->OpenStoredQuery("v_Order_Keys", {Variant::String("40"), Variant::String("42")});
  ASSERT_TRUE(keys->Seek(0));
  EXPECT_EQ(std::get<std::int64_t>(keys->Column(0)), 1);
  EXPECT_FALSE(keys->Seek(1));
}

// A third-version database with books and a report run: the upgrade adds
// the company settings (the old seller options carried over) and the
// report lines' ship-to, and keeps every row.
TEST(SchemaUpgrade, BringsAThirdVersionDatabaseUpWithCompanySettings) {
  TempDatabase db(false, false);
  {
    auto backend = data::OpenBackend(db.path());
    testing::CreateSchemaOfVersion(*backend, 3);
    auto exec = [&](const std::string& sql) { backend->Execute(data::TranslateClassic(sql, backend->dialect()), {}); };
    exec("INSERT INTO System (option_name, option_value) VALUES ('Company Name', 'Old Seller Ltd')");
    exec("INSERT INTO System (option_name, option_value) VALUES ('Company Address', '1 Old Street')");
    exec("INSERT INTO Customer (cust_id, name) VALUES ('C1', 'Kept')");
    exec("INSERT INTO RPT_Invoice_Det (invoice_no, order_number, line_no, item_number) VALUES (7, '1', 1, 'X')");
  }
  auto c = db.Connect();
  EXPECT_EQ(SchemaVersion(*c), 3);
  EXPECT_TRUE(PrepareForWriting(*c).upgraded);
  EXPECT_EQ(SchemaVersion(*c), kSchemaVersion);
  EXPECT_EQ(testing::ScalarText(*c, "SELECT name FROM Customer"), "Kept");
  {
    // A connection reads its own report rows; the shared table is read raw.
    auto shared = data::OpenBackend(db.path());
    auto rows = shared->Query("SELECT item_number, shipto_name FROM RPT_Invoice_Det", {});
    ASSERT_TRUE(rows->Seek(0));
    EXPECT_EQ(data::ValueToText(rows->Column(0)), "X");
    EXPECT_TRUE(std::holds_alternative<std::monostate>(rows->Column(1)));
    EXPECT_FALSE(rows->Seek(1));
  }
  EXPECT_EQ(testing::ScalarText(*c, "SELECT setting_value FROM Company_Settings WHERE setting_name = "
                                    "'seller_legal_name'"),
            "Old Seller Ltd");
  EXPECT_EQ(testing::ScalarText(*c, "SELECT setting_value FROM Company_Settings WHERE setting_name = "
                                    "'seller_address_line1'"),
            "1 Old Street");
  EXPECT_EQ(testing::ScalarText(*c, "SELECT setting_value FROM Company_Settings WHERE setting_name = "
                                    "'date_format'"),
            "YYYY-MM-DD");
  EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM Company_Settings WHERE setting_name = 'bank_iban' AND "
                            "setting_value = ''"),
            1);
  EXPECT_FALSE(UpgradeDatabase(*c)) << "a second opening finds nothing to do";
}

TEST(SchemaUpgrade, LeavesADatabaseOfAnotherProgramAlone) {
  TempDatabase db(false, false);
  auto c = db.Connect();
  c->Execute("CREATE TABLE Notes (x INTEGER)");
  EXPECT_EQ(SchemaVersion(*c), 0);
  EXPECT_FALSE(UpgradeDatabase(*c));
  EXPECT_TRUE(PrepareForWriting(*c).nothing_done());
}

}  // namespace
}  // namespace tarvik::db
