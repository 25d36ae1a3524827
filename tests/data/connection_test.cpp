// The connection contract on a real SQLite file: nested transactions, the
// stored query catalog and the runner, record sets and their readers.
#include <gtest/gtest.h>

#include "tests/support/error_number.h"

#include <functional>

#include "data/backends/postgres/round_trips.h"
#include "data/data_recordset.h"
#include "data/stored_query.h"
#include "platform/collection.h"
#include "platform/error.h"
#include "tests/support/recording_connection.h"
#include "tests/support/temp_database.h"
#include "tests/support/portable_sql.h"

namespace tarvik::data {
namespace {

using testing::ScalarNumber;
using testing::ScalarText;
using testing::TempDatabase;

using testing::ErrorNumberOf;

double Options(HostConnection& c) { return ScalarNumber(c, "SELECT count(*) FROM System"); }

TEST(Transactions, InnerCommitIsUndoneByOuterRollback) {
  TempDatabase db(true, false);
  auto c = db.Connect();
  const double before = Options(*c);
  c->BeginTrans();
  c->BeginTrans();
  ASSERT_TRUE(c->Execute("INSERT INTO System (option_name, option_value) VALUES ('A', '1')"));
  c->CommitTrans();
  ASSERT_TRUE(c->Execute("INSERT INTO System (option_name, option_value) VALUES ('B', '1')"));
  c->Rollback();
  EXPECT_EQ(Options(*c), before);
  EXPECT_EQ(c->TransactionDepth(), 0);
}

TEST(Transactions, InnerRollbackKeepsOuterWork) {
  TempDatabase db(true, false);
  auto c = db.Connect();
  const double before = Options(*c);
  c->BeginTrans();
  c->Execute("INSERT INTO System (option_name, option_value) VALUES ('A', '1')");
  c->BeginTrans();
  c->Execute("INSERT INTO System (option_name, option_value) VALUES ('B', '1')");
  c->Rollback();
  c->CommitTrans();
  EXPECT_EQ(Options(*c), before + 1);
  EXPECT_EQ(ScalarText(*c, "SELECT option_name FROM System WHERE option_name IN ('A','B')"), "A");
}

TEST(Transactions, CommitAndRollbackWithoutTransactionAreHarmless) {
  TempDatabase db(true, false);
  auto c = db.Connect();
  EXPECT_NO_THROW(c->Rollback());
  EXPECT_NO_THROW(c->CommitTrans());
}

TEST(Transactions, ClosingWithOpenTransactionKeepsNothing) {
  TempDatabase db(true, false);
  double before;
  {
    auto c = db.Connect();
    before = Options(*c);
    c->BeginTrans();
    c->Execute("INSERT INTO System (option_name, option_value) VALUES ('A', '1')");
  }
  auto c = db.Connect();
  EXPECT_EQ(Options(*c), before);
}

// Inside a transaction a failed statement takes back only itself, at every
// depth and whether it failed to run or to compile; the rest commits.
// The first statement of a transaction has nothing before it to keep: its
// failure must still leave the transaction going, at any level after it.
TEST(Transactions, AFailedFirstStatementLeavesTheTransactionUsable) {
  TempDatabase db(true, false);
  auto c = db.Connect();
  auto insert = [&](const std::string& name) {
    return c->Execute("INSERT INTO System (option_name, option_value) VALUES ('" + name + "', '1')");
  };
  ASSERT_TRUE(insert("A"));
  const double before = Options(*c);
  c->BeginTrans();
  EXPECT_EQ(ErrorNumberOf([&] { insert("A"); }), kErrKeyViolation);
  ASSERT_TRUE(insert("B"));
  EXPECT_EQ(ErrorNumberOf([&] { insert("B"); }), kErrKeyViolation);
  c->BeginTrans();
  ASSERT_TRUE(insert("C"));
  c->CommitTrans();
  c->CommitTrans();
  EXPECT_EQ(Options(*c), before + 2);

  // A transaction whose only statement failed keeps nothing and ends cleanly.
  c->BeginTrans();
  EXPECT_EQ(ErrorNumberOf([&] { c->Execute("UPDATE No_Such_Table SET x = 1"); }), kErrDatabase);
  c->CommitTrans();
  c->BeginTrans();
  EXPECT_EQ(ErrorNumberOf([&] { insert("C"); }), kErrKeyViolation);
  c->Rollback();
  EXPECT_EQ(c->TransactionDepth(), 0);
  ASSERT_TRUE(insert("D"));
  EXPECT_EQ(Options(*c), before + 3);
}

TEST(Transactions, AFailedStatementTakesBackOnlyItself) {
  TempDatabase db(true, false);
  auto c = db.Connect();
  auto insert = [&](const std::string& name) {
    return c->Execute("INSERT INTO System (option_name, option_value) VALUES ('" + name + "', '1')");
  };
  const double before = Options(*c);
  c->BeginTrans();
  ASSERT_TRUE(insert("A"));
  EXPECT_EQ(ErrorNumberOf([&] { insert("A"); }), kErrKeyViolation);
  ASSERT_TRUE(insert("B"));
  c->BeginTrans();
  ASSERT_TRUE(insert("C"));
  EXPECT_EQ(ErrorNumberOf([&] { c->Execute("INSERT INTO No_Such_Table VALUES (1)"); }), kErrDatabase);
  ASSERT_TRUE(insert("D"));
  c->Rollback();  // C and D
  EXPECT_EQ(ErrorNumberOf([&] { insert("B"); }), kErrKeyViolation);
  c->BeginTrans();
  ASSERT_TRUE(insert("E"));
  EXPECT_EQ(ErrorNumberOf([&] { c->OpenQuery("SELECT no_such_column FROM System"); }), kErrDatabase);
  c->CommitTrans();
  ASSERT_TRUE(insert("F"));
  c->CommitTrans();
  EXPECT_EQ(c->TransactionDepth(), 0);
  EXPECT_EQ(Options(*c), before + 4);
  EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM System WHERE option_name IN ('A','B','E','F')"), 4);
}

TEST(Execute, ClassicDialectAndRecordsAffected) {
  TempDatabase db(true, false);
  auto c = db.Connect();
  ASSERT_TRUE(c->Execute(
      "INSERT INTO Invoice_Header (invoice_no, invoice_date, bill_to) VALUES (7, #3/15/2001#, 'It''s # -- ;')"));
  EXPECT_EQ(c->RecordsAffected(), 1);
  EXPECT_EQ(ScalarText(*c, "SELECT invoice_date FROM Invoice_Header"), "2001-03-15");
  EXPECT_EQ(ScalarText(*c, "SELECT bill_to FROM Invoice_Header"), "It's # -- ;");
  ASSERT_TRUE(c->Execute("DELETE FROM Invoice_Header Where Invoice_No = 8"));
  EXPECT_EQ(c->RecordsAffected(), 0);
}

TEST(Execute, DuplicateKeyIsAClearError) {
  TempDatabase db(true, false);
  auto c = db.Connect();
  c->Execute("INSERT INTO Invoice_Header (invoice_no) VALUES (1)");
  EXPECT_EQ(ErrorNumberOf([&] { c->Execute("INSERT INTO Invoice_Header (invoice_no) VALUES (1)"); }),
            kErrKeyViolation);
}

TEST(Execute, OneStatementOnly) {
  TempDatabase db;
  auto c = db.Connect();
  EXPECT_EQ(ErrorNumberOf([&] { c->Execute("DELETE FROM Invoice_Header; DROP TABLE Customer"); }),
            kErrDatabase);
  EXPECT_GT(ScalarNumber(*c, "SELECT count(*) FROM Customer"), 0);
  EXPECT_TRUE(c->Execute("DELETE FROM Invoice_Header ;  -- nothing after\n;"));
  EXPECT_EQ(ErrorNumberOf([&] { c->OpenQuery("SELECT 1; SELECT 2"); }), kErrDatabase);
}

TEST(Catalog, ParametersFollowTheDeclaredOrderAndTypes) {
  TempDatabase db(true, false);
  auto c = db.Connect();
  ComPtr<QueryDef> q = c->GetDatabase()->GetQueryDefs().Item("V_INVOICEDET_BYORDPACK");
  ASSERT_EQ(q->GetParameters().Count(), 2);
  EXPECT_EQ(q->GetParameters().Item(0).Type(), ParamType::kLong);
  EXPECT_EQ(q->GetParameters().Item(1).Type(), ParamType::kKey);
  EXPECT_EQ(ErrorNumberOf([&] { q->GetParameters().Item(2); }), kErrItemNotFound);
  // A value the declared type cannot take is refused at once.
  EXPECT_EQ(ErrorNumberOf([&] { q->GetParameters().Item(0).SetValue(Variant::String("abc")); }),
            kErrTypeMismatch);
  // A key beyond 32 bits overflows as the component's own conversion does.
  EXPECT_EQ(ErrorNumberOf([&] { q->GetParameters().Item(1).SetValue(Variant::String("2147483648")); }),
            kErrOverflow);
}

// A change of the catalog made on the connection is seen at the next
// lookup, also when it comes through a transaction that is rolled back.
TEST(Catalog, ChangesOnTheConnectionAreReadAgain) {
  struct Case {
    const char* name;
    std::function<void(HostConnection&)> change;
    std::string query;
    std::string sql;  // expected text; empty: as before the change
    int params;       // -1: the query is gone
  };
  const std::string keys_sql = "SELECT 1 AS order_key";
  const Case cases[] = {
      {"update by Execute",
       [&](HostConnection& c) {
         c.Execute("UPDATE QueryDefs SET sql = '" + keys_sql + "' WHERE name = 'v_Order_Keys'");
       },
       "v_order_keys", keys_sql, 2},
      {"insert by ExecuteWith, with a parameter",
       [](HostConnection& c) {
         c.ExecuteWith("INSERT INTO QueryDefs (name, kind, sql) VALUES (?1, 'select', 'SELECT ?1 AS x')",
                       {Variant::String("v_Added")});
         c.ExecuteWith("INSERT INTO querydefparams (query_name, position, name, type) VALUES ('v_Added', 0, 'X', 'Long')",
                       {});
       },
       "V_ADDED", "SELECT ?1 AS x", 1},
      {"delete", [](HostConnection& c) { c.Execute("DELETE FROM QueryDefs WHERE name = 'v_BO_Detail'"); },
       "v_BO_Detail", "", -1},
      {"rolled back",
       [&](HostConnection& c) {
         c.BeginTrans();
         c.Execute("UPDATE QueryDefs SET sql = '" + keys_sql + "' WHERE name = 'v_Order_Keys'");
         EXPECT_EQ(c.GetDatabase()->GetQueryDefs().Item("v_Order_Keys")->SQL(), keys_sql);
         c.Rollback();
       },
       "v_Order_Keys", "", 2},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    TempDatabase db(true, false);
    auto c = db.Connect();
    QueryDefs& defs = c->GetDatabase()->GetQueryDefs();
    const std::int32_t count = defs.Count();
    const std::string before = defs.Item("v_Order_Keys")->SQL();  // the catalog is read
    k.change(*c);
    if (k.params < 0) {
      EXPECT_EQ(ErrorNumberOf([&] { defs.Item(k.query); }), kErrItemNotFound);
      EXPECT_EQ(defs.Count(), count - 1);
      continue;
    }
    ComPtr<QueryDef> q = defs.Item(k.query);
    EXPECT_EQ(q->SQL(), k.sql.empty() ? before : k.sql);
    EXPECT_EQ(q->GetParameters().Count(), k.params);
  }
}

// A query that did not change keeps its object and the values set on it
// when the catalog is read again; another connection's change is seen once
// a connection opens.
TEST(Catalog, UnchangedQueriesKeepTheirValuesAndOtherConnectionsReadAtOpen) {
  TempDatabase db(true, false);
  auto c = db.Connect();
  auto other = db.Connect();
  QueryDefs& defs = c->GetDatabase()->GetQueryDefs();
  ComPtr<QueryDef> relief = defs.Item("v_Invoice_Relieve_Inventory");
  relief->GetParameters().Item(0).SetValue(Variant::String("77"));
  ASSERT_EQ(other->GetDatabase()->GetQueryDefs().Item("v_Order_Keys")->SQL(), defs.Item("v_Order_Keys")->SQL());
  c->Execute("UPDATE QueryDefs SET sql = 'SELECT 1 AS order_key' WHERE name = 'v_Order_Keys'");
  EXPECT_EQ(defs.Item("v_Order_Keys")->SQL(), "SELECT 1 AS order_key");
  ComPtr<QueryDef> again = defs.Item("v_Invoice_Relieve_Inventory");
  EXPECT_EQ(again.get(), relief.get());
  EXPECT_EQ(again->GetParameters().Item(0).GetValue().ToString(), "77");
  EXPECT_NE(other->GetDatabase()->GetQueryDefs().Item("v_Order_Keys")->SQL(), "SELECT 1 AS order_key");
  EXPECT_EQ(db.Connect()->GetDatabase()->GetQueryDefs().Item("v_Order_Keys")->SQL(), "SELECT 1 AS order_key");
}

// The whole catalog is one read: a first lookup waits once, later lookups
// of any query not at all.
TEST(Catalog, ReadInOneRoundTripPerConnection) {
  if (testing::TestPostgresServer().empty()) GTEST_SKIP() << "PostgreSQL only (TARVIK_TEST_POSTGRES)";
  TempDatabase db(true, false);
  auto c = db.Connect();
  QueryDefs& defs = c->GetDatabase()->GetQueryDefs();
  const std::uint64_t before = PostgresRoundTrips();
  for (const char* name : {"v_Order_Keys", "v_InvoiceDet_byOrdPack", "v_Invoice_Relieve_Inventory", "v_BO_Detail",
                           "V_INVOICE_RELIEVE_INVENTORY_LS"}) {
    EXPECT_FALSE(defs.Item(name)->SQL().empty()) << name;
  }
  EXPECT_EQ(PostgresRoundTrips() - before, 1u);
  EXPECT_EQ(ErrorNumberOf([&] { defs.Item("v_No_Such_Query"); }), kErrItemNotFound);
  EXPECT_EQ(PostgresRoundTrips() - before, 1u);
}

TEST(RunStoredQuery, EdgeCases) {
  TempDatabase db(true, true);
  auto c = db.Connect();
  const double ledger = ScalarNumber(*c, "SELECT count(*) FROM Inventory_Ledger");
  // Unknown name: error, nothing runs.
  EXPECT_EQ(ErrorNumberOf([&] { RunStoredQuery(*c, "v_No_Such_Query", {}); }), kErrItemNotFound);
  // Too few values: error before anything runs.
  EXPECT_EQ(ErrorNumberOf([&] { RunStoredQuery(*c, "v_InvoiceDet_byOrdPack", {Variant::Long(1)}); }),
            kErrSubscriptOutOfRange);
  EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM Invoice_Detail"), 0);
  // A query without parameters ignores the values; surplus values are ignored.
  EXPECT_TRUE(RunStoredQuery(*c, "v_Invoice_Up_Det_Tax", {Variant::String("x")}));
  c->Execute("INSERT INTO Invoice_Header (invoice_no) VALUES (900)");
  EXPECT_TRUE(RunStoredQuery(*c, "v_InvoiceDet_byOrdPack",
                             {Variant::Long(1), Variant::String("900"), Variant::String("surplus")}));
  EXPECT_GT(ScalarNumber(*c, "SELECT count(*) FROM Invoice_Detail WHERE invoice_no = 900"), 0);
  // One list for two queries: each gets the values afresh.
  std::vector<Variant> list{Variant::String("900")};
  EXPECT_TRUE(RunStoredQuery(*c, "v_Invoice_Relieve_Inventory", list));
  EXPECT_TRUE(RunStoredQuery(*c, "v_Invoice_Relieve_Inventory_LS", list));
  EXPECT_GT(ScalarNumber(*c, "SELECT count(*) FROM Inventory_Ledger"), ledger);
}

TEST(RunStoredQuery, NeverSetParameterIsRefused) {
  TempDatabase db(true, false);
  auto c = db.Connect();
  EXPECT_EQ(ErrorNumberOf([&] { c->ExecuteQueryDef("v_Invoice_Relieve_Inventory"); }), kErrTooFewParameters);
}

TEST(RunStoredQuery, FailingStatementLeavesNothingOfTheQuery) {
  TempDatabase db(true, true);
  auto c = db.Connect();
  // The ledger query has two statements; break the second with a trigger.
  testing::InstallRefusingTrigger(db.path(), "Invoice_Pending", "DELETE", "blocked");
  c->Execute("INSERT INTO Invoice_Header (invoice_no) VALUES (1)");
  c->Execute("INSERT INTO Invoice_Detail (invoice_no, order_key, line_no, item_number, site, quantity, unit_price,"
             " amount) VALUES (1, 1, 1, 'NEW-ITEM', 'MAIN', 3, 1, 3)");
  c->Execute("INSERT INTO Invoice_Pending (invoice_no, state) VALUES (1, 0)");  // saved, awaiting its relief
  EXPECT_EQ(ErrorNumberOf([&] { RunStoredQuery(*c, "v_Invoice_Relieve_Inventory_LS", {Variant::String("1")}); }),
            kErrDatabase);
  EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM Inventory_Ledger WHERE item_number = 'NEW-ITEM'"), 0);
  EXPECT_EQ(ScalarNumber(*c, "SELECT count(*) FROM Invoice_Pending"), 1);
}

class RecordsetTest : public ::testing::Test {
 protected:
  RecordsetTest() : c_(db_.Connect()), rs_(NewDataRecordset()) { rs_->SetConnection(c_); }
  TempDatabase db_{true, true};
  ComPtr<HostConnection> c_;
  ComPtr<DataRecordset> rs_;
};

TEST_F(RecordsetTest, MaxOverEmptyTableReadsAsZero) {
  ASSERT_TRUE(rs_->OpenRecordset("Select Max(invoice_no) From Invoice_Header"));
  EXPECT_EQ(rs_->ReadLong(0), 0);
}

TEST_F(RecordsetTest, FailedOpenCountsNoRows) {
  EXPECT_FALSE(rs_->OpenRecordset("SELECT * FROM Invoice_Header"));
  EXPECT_EQ(rs_->RecordCount(), 0);
  EXPECT_EQ(rs_->ReadString(0), "");
  EXPECT_EQ(rs_->ReadLong(), 0);
  EXPECT_FALSE(rs_->MoveLast());
  EXPECT_EQ(rs_->ReadInteger(7), 0);
  rs_->CloseRecordset();
  rs_->CloseRecordset();
}

TEST_F(RecordsetTest, ImplicitColumnPositionRestartsAfterMoves) {
  c_->Execute("INSERT INTO Invoice_Header (invoice_no, invoice_date, freight, invoice_by) VALUES (1, #1/2/2003#, 12.5, 2)");
  c_->Execute("INSERT INTO Invoice_Header (invoice_no, ship_date, freight) VALUES (2, #3/4/2005 2:30:00 PM#, 0.1)");
  ASSERT_TRUE(rs_->OpenRecordset("SELECT * FROM Invoice_Header ORDER BY Invoice_No "));
  EXPECT_EQ(rs_->RecordCount(), 2);
  EXPECT_EQ(rs_->ReadString(0), "1");
  EXPECT_EQ(rs_->ReadString(), "1/2/2003");
  EXPECT_EQ(rs_->ReadString(), "");  // Null ship date
  EXPECT_EQ(rs_->ReadString(), "");
  EXPECT_EQ(rs_->ReadString(), "12.5");
  EXPECT_EQ(rs_->ReadString(), "");
  EXPECT_EQ(rs_->ReadInteger(), 2);
  ASSERT_TRUE(rs_->MoveNext());
  EXPECT_EQ(rs_->ReadLong(), 2);
  EXPECT_EQ(rs_->ReadString(), "");
  EXPECT_EQ(rs_->ReadString(), "3/4/2005 2:30:00 PM");
  EXPECT_FALSE(rs_->MoveNext());
  EXPECT_TRUE(rs_->MovePrevious());
  EXPECT_EQ(rs_->ReadLong(), 2);
  EXPECT_TRUE(rs_->MoveFirst());
  EXPECT_EQ(rs_->ReadLong(), 1);
}

// The last reference to a connection may be the record set's own: handing
// it another connection while a result is open must close that result first.
TEST_F(RecordsetTest, NewConnectionClosesTheResultOfTheOldOne) {
  TempDatabase other_db{true, true};
  {
    ComPtr<HostConnection> only_here = other_db.Connect();
    rs_->SetConnection(only_here);
  }
  ASSERT_FALSE(rs_->OpenRecordset("SELECT * FROM Invoice_Header"));
  ASSERT_TRUE(rs_->OpenRecordset("SELECT order_key FROM Order_Header ORDER BY order_key"));
  EXPECT_EQ(rs_->ReadLong(0), 1);
  rs_->SetConnection(c_);  // releases the other connection with a result open
  EXPECT_EQ(rs_->RecordCount(), 0);
  EXPECT_FALSE(rs_->MoveFirst());
  ASSERT_TRUE(rs_->OpenRecordset("SELECT count(*) FROM Order_Header"));
  EXPECT_GT(rs_->ReadLong(0), 0);
}

TEST_F(RecordsetTest, FindFirstAndReaderOverflow) {
  for (int n : {10, 20, 30}) {
    c_->Execute("INSERT INTO Invoice_Header (invoice_no, export_flag) VALUES (" + std::to_string(n) + ", " +
                std::to_string(n * 10) + ")");
  }
  ASSERT_TRUE(rs_->OpenRecordset("SELECT invoice_no, export_flag FROM Invoice_Header ORDER BY invoice_no"));
  ASSERT_TRUE(rs_->MoveLast());
  EXPECT_TRUE(rs_->FindFirst(Variant::String("invoice_no = 20")));
  EXPECT_EQ(rs_->ReadLong(0), 20);
  EXPECT_FALSE(rs_->FindFirst(Variant::String("invoice_no = 25")));
  EXPECT_EQ(ErrorNumberOf([&] { rs_->FindFirst(Variant::String("invoice_no; DROP TABLE x")); }),
            kErrInvalidProcedureCall);
  c_->Execute("UPDATE Invoice_Header SET export_flag = 40000 WHERE invoice_no = 10");
  ASSERT_TRUE(rs_->OpenRecordset("SELECT export_flag FROM Invoice_Header ORDER BY invoice_no"));
  EXPECT_EQ(ErrorNumberOf([&] { rs_->ReadInteger(0); }), kErrOverflow);
}

TEST_F(RecordsetTest, StoredSelectWithParameters) {
  auto params = NewCollection();
  params->Add(Variant::String("1001"));
  params->Add(Variant::String("1003"));
  rs_->SetParameters(params);
  rs_->SetQueryDefName("v_Order_Keys");
  ASSERT_TRUE(rs_->OpenRecordset(""));
  EXPECT_EQ(rs_->RecordCount(), 3);
  EXPECT_EQ(rs_->ReadLong(0), 1);
}

}  // namespace
}  // namespace tarvik::data

namespace tarvik::data {
namespace {

TEST(RunStoredQueryContract, LooksUpSetsThenRunsByName) {
  TempDatabase db(true, true);
  auto rec = testing::RecordAround(db.Connect());
  EXPECT_TRUE(RunStoredQuery(*rec, "v_Invoice_Relieve_Inventory", {Variant::String("0007")}));
  EXPECT_EQ(rec->log(), (std::vector<std::string>{"Database", "ExecuteQueryDef: v_Invoice_Relieve_Inventory [0007]"}));
}

TEST(RunStoredQueryContract, AFalseRunIsPassedOnAsIs) {
  TempDatabase db(true, true);
  auto rec = testing::RecordAround(db.Connect());
  rec->SetFault([](const std::string& call) { return call.rfind("ExecuteQueryDef", 0) == 0; });
  const double ledger = ScalarNumber(*rec, "SELECT count(*) FROM Inventory_Ledger");
  EXPECT_FALSE(RunStoredQuery(*rec, "v_Invoice_Relieve_Inventory_LS", {Variant::String("1")}));
  EXPECT_EQ(ScalarNumber(*rec, "SELECT count(*) FROM Inventory_Ledger"), ledger);
}

TEST(RunStoredQueryContract, UnknownQueryRunsNothing) {
  TempDatabase db(true, false);
  auto rec = testing::RecordAround(db.Connect());
  EXPECT_THROW(RunStoredQuery(*rec, "v_Missing", {}), AutomationError);
  EXPECT_EQ(rec->log(), (std::vector<std::string>{"Database"}));
}

}  // namespace
}  // namespace tarvik::data
