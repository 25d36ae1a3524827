// Statements that wait in PostgreSQL's pipeline: the call that needs an
// answer raises an earlier statement's error as DeferredError, the failed
// statement alone is undone, and the ones queued behind it never ran. On
// SQLite every call answers at once.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "data/backend.h"
#include "data/deferred_results.h"
#include "data/transaction.h"
#include "tests/support/temp_database.h"

namespace tarvik::testing {
namespace {

class DeferredResultsTest : public ::testing::Test {
 protected:
  DeferredResultsTest() : db_(false) {
    data::OpenBackend(db_.path())->ExecuteScript("CREATE TABLE t (k INTEGER PRIMARY KEY, v INTEGER CHECK (v >= 0))");
    c_ = db_.Connect();
  }
  std::string Keys() { return JoinedColumn(*c_, "SELECT k FROM t ORDER BY k"); }
  void Insert(int k, int v) {
    c_->Execute("INSERT INTO t (k, v) VALUES (" + std::to_string(k) + ", " + std::to_string(v) + ")");
  }

  TempDatabase db_;
  ComPtr<data::HostConnection> c_;
};

TEST_F(DeferredResultsTest, AnEarlierFailureComesWithTheNextAnswerAndUndoesOnlyItself) {
  c_->BeginTrans();
  {
    data::DeferredResults deferred(*c_);
    Insert(1, 1);
    if (!db_.postgres()) {
      EXPECT_THROW(Insert(2, -1), AutomationError);  // answered at once
    } else {
      Insert(2, -1);
      Insert(3, 1);  // behind the failure: never runs
      try {
        c_->RecordsAffected();
        ADD_FAILURE() << "no error";
      } catch (const data::DeferredError& e) {
        EXPECT_EQ(e.number(), kErrDatabase);
        EXPECT_NE(e.description().find("check constraint"), std::string::npos) << e.description();
      }
    }
  }
  Insert(4, 1);  // the transaction goes on
  EXPECT_EQ(c_->RecordsAffected(), 1);
  c_->CommitTrans();
  EXPECT_EQ(Keys(), "1,4");
}

TEST_F(DeferredResultsTest, TheStatementsOwnFailureIsAPlainError) {
  c_->BeginTrans();
  data::DeferredResults deferred(*c_);
  Insert(1, 1);
  EXPECT_EQ(c_->RecordsAffected(), 1);
  bool deferred_error = false;
  try {
    Insert(2, -1);
    c_->RecordsAffected();
    ADD_FAILURE() << "no error";
  } catch (const data::DeferredError&) {
    deferred_error = true;
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), kErrDatabase);
  }
  EXPECT_FALSE(deferred_error);
  EXPECT_EQ(c_->RecordsAffected(), 0);  // answered once; the failed Execute changed nothing
  c_->CommitTrans();
  EXPECT_EQ(Keys(), "1");
}

TEST_F(DeferredResultsTest, ACommitBehindAFailureRaisesItAndKeepsNothing) {
  if (!db_.postgres()) GTEST_SKIP() << "SQLite answers every call at once";
  c_->BeginTrans();
  {
    data::DeferredResults deferred(*c_);
    Insert(1, 1);
    Insert(2, -1);
    EXPECT_THROW(c_->CommitTrans(), data::DeferredError);
  }
  EXPECT_EQ(c_->TransactionDepth(), 0);
  EXPECT_EQ(Keys(), "");
  Insert(5, 1);  // the connection is sound
  EXPECT_EQ(Keys(), "5");
}

TEST_F(DeferredResultsTest, ARollbackDropsTheErrorsOfWhatItUndoes) {
  if (!db_.postgres()) GTEST_SKIP() << "SQLite answers every call at once";
  c_->BeginTrans();
  {
    data::DeferredResults deferred(*c_);
    Insert(1, 1);
    Insert(2, -1);
    EXPECT_NO_THROW(c_->Rollback());
    EXPECT_EQ(c_->RecordsAffected(), 0);  // the error went with the rollback
  }
  EXPECT_EQ(Keys(), "");
  Insert(3, 1);
  EXPECT_EQ(Keys(), "3");
}

TEST_F(DeferredResultsTest, SettleWaitsForAllAndOutsideATransactionNothingWaits) {
  if (!db_.postgres()) GTEST_SKIP() << "SQLite answers every call at once";
  data::DeferredResults deferred(*c_);
  EXPECT_THROW(Insert(1, -1), AutomationError);  // no transaction: answered at once
  c_->BeginTrans();
  Insert(2, 1);
  Insert(3, -1);
  EXPECT_THROW(deferred.Settle(), data::DeferredError);
  deferred.Settle();  // nothing left
  c_->CommitTrans();
  EXPECT_EQ(Keys(), "2");
}

// Undone whole: a failure spoils the transaction until the caller rolls back
// around it; what it rolls back to is usable again, and a commit of a
// spoiled transaction keeps nothing and says so. The failure may come at
// once or with the next answer, whichever the backend does.
TEST_F(DeferredResultsTest, UndoneWholeAFailureWaitsForTheCallersRollback) {
  Insert(1, 1);
  c_->BeginTrans();
  Insert(2, 1);
  c_->BeginTrans();  // the caller's savepoint
  {
    data::DeferredResults whole(*c_, data::DeferredResults::Undo::kWhole);
    Insert(3, 1);
    EXPECT_THROW({
      Insert(4, -1);
      whole.Settle();
    }, AutomationError);
    // Unlike a statement undone alone, the next one cannot run.
    EXPECT_THROW({
      Insert(5, 1);
      whole.Settle();
    }, AutomationError);
    c_->Rollback();  // to the savepoint: usable again
    Insert(6, 1);
    EXPECT_EQ(c_->RecordsAffected(), 1);
  }
  c_->CommitTrans();
  EXPECT_EQ(Keys(), "1,2,6");

  c_->BeginTrans();
  {
    data::DeferredResults whole(*c_, data::DeferredResults::Undo::kWhole);
    Insert(7, 1);
    Insert(8, 1);
    EXPECT_THROW({
      Insert(9, -1);
      whole.Settle();
    }, AutomationError);
    try {
      c_->CommitTrans();
      ADD_FAILURE() << "a spoiled transaction committed";
    } catch (const AutomationError& e) {
      EXPECT_NE(e.description().find("rolled back"), std::string::npos) << e.description();
    }
  }
  EXPECT_EQ(c_->TransactionDepth(), 0);
  EXPECT_EQ(Keys(), "1,2,6");
  // The scope's end brings back statements undone alone.
  c_->BeginTrans();
  {
    data::DeferredResults deferred(*c_);
    Insert(10, 1);
    EXPECT_THROW({
      Insert(11, -1);
      deferred.Settle();
    }, AutomationError);
    Insert(12, 1);
  }
  c_->CommitTrans();
  EXPECT_EQ(Keys(), "1,2,6,10,12");
}

// A stored action query of several statements whose last one fails: undone
// alone, its first statement goes with it and the transaction goes on;
// undone whole, it is left for the caller's rollback, which alone clears it.
TEST(DeferredResultsStoredQueryTest, AHalfRunQueryIsUndoneAsItsScopeSays) {
  TempDatabase db(true, false);
  data::OpenBackend(db.path())->ExecuteScript(
      "CREATE TABLE t (k INTEGER PRIMARY KEY, v INTEGER CHECK (v >= 0));"
      "INSERT INTO QueryDefs (name, kind, sql) VALUES ('q_Two', 'action', "
      "'INSERT INTO t (k, v) VALUES (20, 1); INSERT INTO t (k, v) VALUES (21, -1)')");
  auto c = db.Connect();
  auto keys = [&] { return JoinedColumn(*c, "SELECT k FROM t ORDER BY k"); };
  auto fails = [&](data::DeferredResults& scope, const std::function<void()>& step) {
    try {
      step();
      scope.Settle();
    } catch (const AutomationError& e) {
      return e.number();
    }
    return 0;
  };
  using Undo = data::DeferredResults::Undo;

  c->BeginTrans();
  {
    data::DeferredResults alone(*c, Undo::kAlone);
    EXPECT_EQ(fails(alone, [&] { c->ExecuteQueryDef("q_Two"); }), kErrDatabase);
    EXPECT_EQ(fails(alone, [&] { c->Execute("INSERT INTO t (k, v) VALUES (1, 1)"); }), 0);
  }
  c->CommitTrans();
  EXPECT_EQ(keys(), "1");

  c->BeginTrans();
  c->Execute("INSERT INTO t (k, v) VALUES (2, 1)");
  c->BeginTrans();
  {
    data::DeferredResults whole(*c, Undo::kWhole);
    EXPECT_EQ(fails(whole, [&] { c->ExecuteQueryDef("q_Two"); }), kErrDatabase);
    EXPECT_EQ(fails(whole, [&] { c->Execute("INSERT INTO t (k, v) VALUES (3, 1)"); }), kErrDatabase);
  }
  // The scope's end does not clear what only a rollback may.
  EXPECT_THROW(c->Execute("INSERT INTO t (k, v) VALUES (4, 1)"), AutomationError);
  c->Rollback();
  c->Execute("INSERT INTO t (k, v) VALUES (5, 1)");
  c->CommitTrans();
  EXPECT_EQ(keys(), "1,2,5");
}

// The failure belongs to the scope it happened in: a scope opened after it
// and rolled back leaves it standing, a committed one hands it outwards.
TEST(DeferredResultsStoredQueryTest, OnlyTheFailedScopesRollbackClearsIt) {
  TempDatabase db(false);
  if (db.postgres()) GTEST_SKIP() << "the server keeps this state itself";
  data::OpenBackend(db.path())->ExecuteScript("CREATE TABLE t (k INTEGER PRIMARY KEY, v INTEGER CHECK (v >= 0))");
  auto c = db.Connect();
  data::DeferredResults whole(*c, data::DeferredResults::Undo::kWhole);
  c->BeginTrans();
  c->Execute("INSERT INTO t (k, v) VALUES (1, 1)");
  c->BeginTrans();
  c->BeginTrans();
  EXPECT_THROW(c->Execute("INSERT INTO t (k, v) VALUES (2, -1)"), AutomationError);
  c->CommitTrans();  // the failure is now the middle scope's
  c->BeginTrans();
  c->Rollback();
  EXPECT_THROW(c->Execute("INSERT INTO t (k, v) VALUES (3, 1)"), AutomationError);
  c->Rollback();
  c->Execute("INSERT INTO t (k, v) VALUES (4, 1)");
  c->CommitTrans();
  EXPECT_EQ(JoinedColumn(*c, "SELECT k FROM t ORDER BY k"), "1,4");
}

// A savepoint's commit that raises an earlier statement's error leaves the
// savepoint for the caller's rollback: the transaction around it, and what
// it did before, go on.
TEST_F(DeferredResultsTest, AFailedSavepointCommitIsRolledBackAloneByItsGuard) {
  c_->BeginTrans();
  Insert(1, 1);
  {
    data::DeferredResults deferred(*c_);
    data::Transaction savepoint(*c_);
    Insert(2, 1);
    EXPECT_THROW({
      Insert(3, -1);
      savepoint.Commit();
    }, AutomationError);
  }
  EXPECT_EQ(c_->TransactionDepth(), 1);
  Insert(4, 1);
  c_->CommitTrans();
  EXPECT_EQ(Keys(), "1,4");
}

// A whole transaction undone whole may reach the server in one piece at its
// commit; it must end exactly as one sent statement by statement.
TEST_F(DeferredResultsTest, AWholeTransactionKeepsAllOrNothingHoweverItIsSent) {
  if (!db_.postgres()) GTEST_SKIP() << "SQLite undoes each statement alone";
  struct Case {
    const char* name;
    std::vector<int> values;  // one insert each, keys from 1
    bool ask_midway;          // RecordsAffected after the first insert
    bool roll_back;
    const char* kept;
  };
  const Case cases[] = {
      {"committed", {1, 1}, false, false, "1,2"},
      {"asked midway", {1, 1}, true, false, "1,2"},
      {"second fails", {1, -1}, false, false, ""},
      {"second fails, asked midway", {1, -1}, true, false, ""},
      {"first fails", {-1, 1}, false, false, ""},
      {"rolled back", {1, 1}, false, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    data::OpenBackend(db_.path())->ExecuteScript("DELETE FROM t");
    const bool fails = c.values[0] < 0 || c.values[1] < 0;
    c_->BeginTrans();
    {
      data::DeferredResults whole(*c_, data::DeferredResults::Undo::kWhole);
      Insert(1, c.values[0]);
      if (c.ask_midway && c.values[0] >= 0) {
        EXPECT_EQ(c_->RecordsAffected(), 1);
      }
      Insert(2, c.values[1]);
      if (c.roll_back) {
        c_->Rollback();
      } else if (fails) {
        EXPECT_THROW(c_->CommitTrans(), AutomationError);
      } else {
        EXPECT_NO_THROW(c_->CommitTrans());
      }
    }
    if (c_->TransactionDepth() > 0) c_->Rollback();
    EXPECT_EQ(Keys(), c.kept);
    Insert(9, 1);  // the connection is sound
    EXPECT_EQ(c_->RecordsAffected(), 1);
  }
}

}  // namespace
}  // namespace tarvik::testing
