// Commits sent ahead: on PostgreSQL a transaction held back whole goes to
// the server with its commit and the caller goes on; Wait (or the next call
// that needs the server) reads the answer. Each keeps all or nothing and
// its error comes from its own Wait, in turn. SQLite (under FULL) commits
// the first of a chain at once, and the rest without waiting for the flush;
// a statement there fails when it runs, before anything is sent.
#include <gtest/gtest.h>

#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "data/backend.h"
#include "data/deferred_results.h"
#include "data/transaction.h"
#include "tests/support/temp_database.h"

namespace tarvik::testing {
namespace {

// Both engines' words for the refused value.
bool IsCheckViolation(const AutomationError& e) {
  std::string text = e.description();
  for (char& ch : text) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return text.find("check constraint") != std::string::npos;
}

class CommitAhead : public ::testing::Test {
 protected:
  CommitAhead() : db_(false) {
    data::OpenBackend(db_.path())->ExecuteScript("CREATE TABLE t (k INTEGER PRIMARY KEY, v INTEGER CHECK (v >= 0))");
    c_ = db_.Connect();
  }
  std::string Keys() { return JoinedColumn(*c_, "SELECT k FROM t ORDER BY k"); }
  void Insert(int k, int v) {
    c_->Execute("INSERT INTO t (k, v) VALUES (" + std::to_string(k) + ", " + std::to_string(v) + ")");
  }

  struct Sent {
    data::PendingCommit commit;
    bool ahead = false;
    std::optional<AutomationError> error;  // raised before the commit or by Wait
  };
  // Keys `first` and `first` + 1, the second with value `v`, in a
  // transaction undone whole and committed ahead.
  Sent Send(int first, int v) {
    Sent sent;
    try {
      data::Transaction transaction(*c_);
      data::DeferredResults whole(*c_, data::DeferredResults::Undo::kWhole);
      Insert(first, 1);
      Insert(first + 1, v);
      sent.commit = transaction.CommitAhead();
    } catch (const AutomationError& e) {
      sent.error = e;
    }
    sent.ahead = sent.commit.ahead();
    return sent;
  }
  static void Wait(Sent& sent) {
    if (sent.error) return;
    try {
      sent.commit.Wait();
    } catch (const AutomationError& e) {
      sent.error = e;
    }
  }
  // Both connections see it: the rows are on the server, not in a client queue.
  void ExpectSound() {
    Insert(90, 1);
    EXPECT_EQ(c_->RecordsAffected(), 1);
    EXPECT_NE(JoinedColumn(*db_.Connect(), "SELECT k FROM t WHERE k = 90"), "");
  }

  TempDatabase db_;
  ComPtr<data::HostConnection> c_;
};

TEST_F(CommitAhead, SeveralOnTheirWayAreAnsweredInTurnEachAllOrNothing) {
  const std::vector<int> values{1, -1, 1, -1};
  std::vector<Sent> sent;
  for (std::size_t i = 0; i < values.size(); ++i) sent.push_back(Send(static_cast<int>(2 * i + 1), values[i]));
  for (std::size_t i = 0; i < sent.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(sent[i].ahead, db_.postgres() || (i > 0 && values[i] > 0));
    Wait(sent[i]);
    EXPECT_EQ(sent[i].error.has_value(), values[i] < 0);
    if (sent[i].error) {
      EXPECT_TRUE(IsCheckViolation(*sent[i].error)) << sent[i].error->description();
    }
  }
  EXPECT_EQ(Keys(), "1,2,5,6");
  EXPECT_EQ(c_->TransactionDepth(), 0);
  ExpectSound();
}

// A call that needs the server reads the answers on the way before its own;
// their errors are not its own and wait for their Wait.
TEST_F(CommitAhead, AnAnswerReadOnTheWayKeepsItsErrorForItsWait) {
  if (!db_.postgres()) GTEST_SKIP() << "SQLite answers each statement when it runs";
  Sent failed = Send(1, -1);
  Sent kept = Send(3, 1);
  ASSERT_TRUE(failed.ahead && kept.ahead);
  EXPECT_EQ(Keys(), "3,4");  // a query behind both
  Insert(7, 1);              // a statement of its own, outside a transaction
  EXPECT_EQ(c_->RecordsAffected(), 1);
  Wait(kept);
  EXPECT_FALSE(kept.error.has_value());
  Wait(failed);
  ASSERT_TRUE(failed.error.has_value());
  EXPECT_TRUE(IsCheckViolation(*failed.error)) << failed.error->description();
  EXPECT_NO_THROW(failed.commit.Wait());  // asked twice: nothing more to say
}

// Only what nothing has waited for can go ahead; the rest commits at once
// and raises as Commit does.
TEST_F(CommitAhead, WhatHadToWaitCommitsAtOnce) {
  struct Case {
    const char* name;
    bool whole;       // undone whole (held back until the commit)
    bool ask_midway;  // RecordsAffected after the first insert
    bool nested;      // inside an outer transaction
    bool ahead;       // on PostgreSQL
    bool ahead_sqlite;  // the first of the chain flushes itself
  };
  const Case cases[] = {
      {"held back whole", true, false, false, true, false},
      {"asked midway", true, true, false, false, true},
      {"each statement undone alone", false, false, false, false, true},
      {"nested", true, false, true, false, false},
  };
  int key = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<data::Transaction> outer;
    if (c.nested) outer.emplace(*c_);
    {
      data::Transaction transaction(*c_);
      data::DeferredResults deferred(
          *c_, c.whole ? data::DeferredResults::Undo::kWhole : data::DeferredResults::Undo::kAlone);
      Insert(key++, 1);
      if (c.ask_midway) {
        EXPECT_EQ(c_->RecordsAffected(), 1);
      }
      Insert(key++, 1);
      data::PendingCommit commit = transaction.CommitAhead();
      EXPECT_EQ(commit.ahead(), db_.postgres() ? c.ahead : c.ahead_sqlite);
      EXPECT_NO_THROW(commit.Wait());
    }
    if (outer) outer->Commit();
  }
  EXPECT_EQ(Keys(), "1,2,3,4,5,6,7,8");
  ExpectSound();
}

// A caller leaving on another error drops its pending commit: the answer is
// read then, and nothing of a failed one is kept.
TEST_F(CommitAhead, OneDroppedUnwaitedIsAnsweredAndItsErrorDropped) {
  {
    Sent failed = Send(1, -1);
    Sent kept = Send(3, 1);
  }
  EXPECT_EQ(Keys(), "3,4");
  EXPECT_EQ(c_->TransactionDepth(), 0);
  ExpectSound();
}

}  // namespace
}  // namespace tarvik::testing
