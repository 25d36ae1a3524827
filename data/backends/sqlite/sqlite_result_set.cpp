#include "data/backends/sqlite/sqlite_result_set.h"

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <optional>

#include "data/backends/sqlite/sqlite_statement.h"
#include "data/sql_text.h"
#include "platform/ascii.h"
#include "platform/error.h"

namespace tarvik::data {
namespace {

using namespace sqlite_detail;

using Row = std::vector<Value>;

// How far ahead of the streamed rows a Seek still streams; further jumps
// read a window instead.
constexpr std::int64_t kStreamAhead = 512;
constexpr std::int64_t kWindowRows = 256;
constexpr std::int64_t kKeptRows = 1024;
// Outside a transaction the stream reads a batch ahead and stops; the
// batches grow, so a short result is read whole at once and a long scan
// goes back to the database seldom.
constexpr std::int64_t kFirstBatch = 16;
constexpr std::int64_t kLastBatch = 256;

std::atomic<std::uint64_t> rows_read{0};

class SqliteResultSet : public ResultSet, private SteppingStatement {
 public:
  SqliteResultSet(SQLite::Database& db, std::weak_ptr<StatementCache> cache, const std::string& sql,
                  std::vector<Value> params)
      : db_(db), cache_(std::move(cache)), sql_(WithoutFinalSemicolon(sql)),
        params_(std::move(params)), stream_(Acquire(sql_)) {
    Bind(*stream_, params_);
    active_ = stream_.get();
    columns_ = stream_->statement.getColumnCount();
    if (!stream_->order) {
      stream_->order = std::make_shared<const std::optional<OrderedSelect>>(SplitTrailingOrderBy(sql_));
    }
    order_ = stream_->order;
    FindKeyColumns();
    marker_base_ = std::max<std::size_t>(params_.size(),
                                         static_cast<std::size_t>(stream_->statement.getBindParameterCount()));
  }

  ~SqliteResultSet() override {
    if (auto cache = cache_.lock()) cache->Parked(this);
    Give(std::move(stream_));
    if (resumed_) Give(std::move(resumed_));
  }
  SqliteResultSet(const SqliteResultSet&) = delete;
  SqliteResultSet& operator=(const SqliteResultSet&) = delete;

  std::int64_t RowCount() override {
    if (!count_) {
      if (done_) {
        count_ = StreamEnd();
      } else {
        count_ = CountAll();
      }
    }
    return *count_;
  }

  int ColumnCount() override { return columns_; }
  std::string ColumnName(int column) override {
    return sqlite_detail::ColumnName(*stream_, column);
  }

  bool Seek(std::int64_t row) override {
    if (row < 0) return false;
    ForgetRowsReadInAnotherTransaction();
    const std::int64_t streamed = StreamEnd();
    if (row >= stream_base_ &&
        (row < streamed || done_ || (row < streamed + kStreamAhead && !JumpToTheTail(row)))) {
      Stream(row);
      if (row >= StreamEnd()) return false;
      Visit(row);
      return true;
    }
    if (!InWindow(row)) {
      if (row >= RowCount()) return false;
      LoadWindow(row);
    }
    current_ = &window_[static_cast<std::size_t>(row - window_start_)];
    return true;
  }

  const Value& Column(int column) override {
    static const Value kNull;
    if (!current_ || column < 0 || column >= columns_) return kNull;
    return (*current_)[static_cast<std::size_t>(column)];
  }

  std::optional<std::int64_t> FindFirst(const std::string& column, const Value& value,
                                        std::int64_t from) override {
    const int col = ColumnIndex(column);
    ForgetRowsReadInAnotherTransaction();
    for (std::int64_t r = std::max<std::int64_t>(from, 0);; ++r) {
      Stream(r);
      if (r >= StreamEnd()) return std::nullopt;
      visited_end_ = std::max(visited_end_, r + 1);
      if (SameValue((*Streamed(r))[static_cast<std::size_t>(col)], value)) {
        return r;
      }
    }
  }

  // Rows already read answer at once; otherwise one keyed query.
  bool SeekFirst(const std::string& column, const Value& value) override {
    const int col = ColumnIndex(column);
    ForgetRowsReadInAnotherTransaction();
    for (std::int64_t r = stream_base_; stream_base_ == 0 && r < StreamEnd(); ++r) {
      if (SameValue((*Streamed(r))[static_cast<std::size_t>(col)], value)) {
        Visit(r);
        sought_row_ = r;
        return true;
      }
    }
    if (done_ && stream_base_ == 0) return false;
    std::vector<Value> params = params_;
    params.push_back(value);
    std::vector<Row> rows = Run("SELECT * FROM (" + sql_ + ") WHERE " + Quoted(ColumnName(col)) +
                                    " = ?" + std::to_string(params.size()) + " LIMIT 1",
                                params, 1);
    if (rows.empty()) return false;
    sought_ = std::move(rows.front());
    current_ = &sought_;
    sought_row_ = kNotCounted;
    return true;
  }

  std::int64_t SoughtRow() override {
    if (sought_row_ == kNotCounted) sought_row_ = CountBefore(sought_);
    return sought_row_;
  }

 private:
  static constexpr std::int64_t kNotCounted = -2;

  // A column of the result that a plain ORDER BY term sorts by.
  struct KeyColumn {
    int index;
    std::string name;
    bool descending;
  };

  Stmt Acquire(const std::string& sql) {
    if (auto cache = cache_.lock()) return cache->Acquire(sql);
    return Prepare(db_, sql);
  }
  void Give(Stmt st) {
    if (auto cache = cache_.lock()) cache->Release(std::move(st));
  }
  bool Autocommit() const { return sqlite3_get_autocommit(db_.getHandle()) != 0; }

  // A whole table whose rows the books keep a count of (Table_Rows, by
  // triggers) is counted from there; otherwise, or in books without that
  // table, by one count query.
  std::int64_t CountAll() {
    if (std::optional<std::string> table = WholeTableName(Unordered())) {
      try {
        std::vector<Row> rows = Run("SELECT coalesce((SELECT row_count FROM Table_Rows WHERE table_name = '" +
                                        *table + "'), (SELECT count(*) FROM " + *table + "))",
                                    {}, 1);
        return std::get<std::int64_t>(rows.at(0).at(0));
      } catch (const AutomationError&) {
        // no Table_Rows: books of an earlier version, read as they are
      }
    }
    std::vector<Row> rows = Run("SELECT count(*) FROM (" + Unordered() + ")", {}, 1);
    return std::get<std::int64_t>(rows.at(0).at(0));
  }

  // Counting needs no order, and SQLite counts a plain table without
  // visiting its rows only when the subquery has none.
  const std::string& Unordered() const { return ordered() ? ordered()->base : sql_; }

  // The text becomes a subquery of the count, window and key lookups.
  static std::string WithoutFinalSemicolon(const std::string& sql) {
    std::string out = TrimBlanks(sql);
    while (!out.empty() && out.back() == ';') out = TrimBlanks(out.substr(0, out.size() - 1));
    return out;
  }

  static std::string Quoted(const std::string& name) {
    std::string out = "\"";
    for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
  }

  int ColumnIndex(const std::string& column) {
    for (int c = 0; c < columns_; ++c) {
      if (EqualsNoCase(sqlite_detail::ColumnName(*stream_, c), column)) return c;
    }
    RaiseError(kErrItemNotFound, "Item not found in this collection: column " + column);
  }

  // The stream resumes by key when every term of a plain ORDER BY is a
  // column of the result, named once.
  void FindKeyColumns() {
    if (!ordered()) return;
    for (const OrderTerm& term : ordered()->terms) {
      int found = -1;
      for (int c = 0; c < columns_; ++c) {
        if (!EqualsNoCase(sqlite_detail::ColumnName(*stream_, c), term.column)) continue;
        if (found >= 0) return;
        found = c;
      }
      if (found < 0) return;
      keys_.push_back({found, term.column, term.descending});
    }
  }

  static Row ReadRow(const Prepared& st, int columns) {
    rows_read.fetch_add(1, std::memory_order_relaxed);
    Row r;
    r.reserve(static_cast<std::size_t>(columns));
    for (int c = 0; c < columns; ++c) r.push_back(ColumnValue(st, c));
    return r;
  }

  // Runs an auxiliary query over this result's SQL; at most `limit` rows.
  std::vector<Row> Run(const std::string& sql, std::vector<Value> params, std::int64_t limit) {
    if (params.empty()) params = params_;
    Stmt st = Acquire(sql);
    std::vector<Row> rows;
    try {
      Bind(*st, params);
      const int columns = st->statement.getColumnCount();
      while (static_cast<std::int64_t>(rows.size()) < limit && Step(*st)) {
        rows.push_back(ReadRow(*st, columns));
      }
    } catch (...) {
      Give(std::move(st));
      throw;
    }
    Give(std::move(st));
    return rows;
  }

  // --- The stream --------------------------------------------------------
  // Rows are read from the start, by the result's own statement and, after
  // a stop, by a statement that takes up after the last row read. Outside a
  // transaction no call returns with a statement stepping: the read would
  // keep an old snapshot, answer stale rows to every other query of the
  // connection and make its next write transaction fail as busy.

  std::int64_t StreamEnd() const { return stream_base_ + static_cast<std::int64_t>(streamed_.size()); }
  const Row* Streamed(std::int64_t row) const {
    return &streamed_[static_cast<std::size_t>(row - stream_base_)];
  }
  void Visit(std::int64_t row) {
    current_ = Streamed(row);
    visited_end_ = std::max(visited_end_, row + 1);
  }

  void Park() noexcept override {
    if (stepping_) active_->statement.tryReset();
    stepping_ = false;
    if (auto cache = cache_.lock()) cache->Parked(this);
  }

  // Starts the stream again from the first row (a scan that must look at
  // rows no longer kept).
  void RestartStream() {
    Park();
    if (current_ && stream_base_ > 0 && !streamed_.empty() && current_ >= &streamed_.front() &&
        current_ <= &streamed_.back()) {
      window_.assign(1, *current_);  // keep the current row readable
      window_start_ = -1;
      current_ = &window_.front();
    }
    streamed_.clear();
    stream_base_ = 0;
    done_ = false;
  }

  // Rows read ahead before a BEGIN, or inside a transaction since ended,
  // may no longer be what the query answers; those not visited yet are
  // read again. (The keys of an invoicing run are opened before its
  // transaction and read inside it.)
  void ForgetRowsReadInAnotherTransaction() {
    if (stepping_ || streamed_.empty()) return;
    if (Autocommit() == read_autocommit_) return;
    const std::int64_t keep = std::max(visited_end_, stream_base_ + 1);
    if (StreamEnd() <= keep) return;
    while (StreamEnd() > keep) streamed_.pop_back();
    done_ = false;
  }

  // Rows are kept only a stretch behind the newest, so a long forward scan
  // holds a bounded number of them; earlier rows come back by window.
  void Stream(std::int64_t row) {
    if (row < stream_base_) RestartStream();
    if (done_ || row < StreamEnd()) return;
    const bool autocommit = Autocommit();
    std::int64_t until = row + 1;
    if (autocommit) {
      until = row + batch_;
      batch_ = std::min(batch_ * 2, kLastBatch);
    }
    try {
      if (!stepping_) Start();
      read_autocommit_ = autocommit;
      while (StreamEnd() < until) {
        if (!StepStream()) {
          done_ = true;
          break;
        }
        // A deque keeps the addresses of the rows it holds.
        streamed_.push_back(ReadRow(*active_, columns_));
        while (static_cast<std::int64_t>(streamed_.size()) > kKeptRows &&
               current_ != &streamed_.front()) {
          streamed_.pop_front();
          ++stream_base_;
        }
      }
    } catch (...) {
      Park();
      throw;
    }
    if (done_ || autocommit) {
      Park();
    } else if (auto cache = cache_.lock()) {
      cache->Stepping(this);  // parked when the transaction ends
    }
  }

  void Start() {
    stepping_ = true;
    if (streamed_.empty()) {
      active_ = stream_.get();
      Bind(*active_, params_);
    } else {
      Resume();
    }
  }

  // A rollback on the connection aborts an unfinished read; it takes up
  // again after the last row read.
  bool StepStream() {
    SQLite::Statement* st = &active_->statement;
    int rc = st->tryExecuteStep();
    if (rc == SQLITE_ABORT) {
      st->tryReset();
      Start();
      st = &active_->statement;
      rc = st->tryExecuteStep();
    }
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    RaiseSqlite(st->getExtendedErrorCode(), st->getErrorMsg());
  }

  // Positions a statement so that its next step gives the row after the
  // last one read: by key under a plain ORDER BY of result columns (rows
  // inserted or deleted meanwhile are then neither skipped nor repeated),
  // else by position, checking that the row before is still the last one
  // read and finding that row again when rows moved.
  void Resume() {
    const Row last = streamed_.back();
    if (!keys_.empty()) {
      if (std::optional<std::int64_t> ties = TrailingTies()) {
        if (ResumeAfterKeys(last, *ties)) return;
        // The rows of equal keys moved: go on after all of them.
        ResumeAfterKeys(last, 0);
        return;
      }
    }
    ResumeByPosition(last);
  }

  bool SameKeys(const Row& a, const Row& b) const {
    for (const KeyColumn& k : keys_) {
      if (a[static_cast<std::size_t>(k.index)] != b[static_cast<std::size_t>(k.index)]) return false;
    }
    return true;
  }
  // How many of the rows read last share their keys; unknown when that run
  // goes back past the rows kept.
  std::optional<std::int64_t> TrailingTies() const {
    const Row& last = streamed_.back();
    std::int64_t ties = 0;
    for (auto it = streamed_.rbegin(); it != streamed_.rend(); ++it) {
      if (!SameKeys(*it, last)) return ties;
      ++ties;
    }
    if (stream_base_ > 0) return std::nullopt;
    return ties;
  }

  // Rows at or after the keys of `last` (skip > 0: the first `skip` of them
  // were read, the last of those being `last`), or strictly after them.
  bool ResumeAfterKeys(const Row& last, std::int64_t skip) {
    std::vector<Value> params = params_;
    params.resize(marker_base_);
    auto marker = [&](const Value& v) {
      params.push_back(v);
      return "?" + std::to_string(params.size());
    };
    std::string any;
    std::string equal;  // the terms before, equal
    for (const KeyColumn& k : keys_) {
      const Value& v = last[static_cast<std::size_t>(k.index)];
      const std::string c = Quoted(k.name);
      // SQLite sorts Null first.
      std::string after;
      if (!k.descending) {
        after = IsNull(v) ? c + " IS NOT NULL" : c + " > " + marker(v);
      } else if (!IsNull(v)) {
        after = "(" + c + " < " + marker(v) + " OR " + c + " IS NULL)";
      }
      if (!after.empty()) any += (any.empty() ? "(" : " OR (") + equal + after + ")";
      equal += (IsNull(v) ? c + " IS NULL" : c + " = " + marker(v)) + " AND ";
    }
    if (skip > 0) any += (any.empty() ? "(" : " OR (") + equal + "1)";
    if (any.empty()) any = "0";
    std::string where = any;
    const Value& first = last[static_cast<std::size_t>(keys_.front().index)];
    if (!keys_.front().descending && !IsNull(first)) {
      where = Quoted(keys_.front().name) + " >= " + marker(first) + " AND (" + any + ")";  // for the index
    }
    std::string order;
    for (const KeyColumn& k : keys_) {
      order += (order.empty() ? " ORDER BY " : ", ") + Quoted(k.name) + (k.descending ? " DESC" : "");
    }
    UseResumed("SELECT * FROM (" + ordered()->base + ") WHERE " + where + order);
    Bind(*active_, params);
    Row skipped;
    for (std::int64_t i = 0; i < skip; ++i) {
      if (!Step(*active_)) break;
      if (i + 1 == skip) skipped = ReadRow(*active_, columns_);
    }
    if (skip == 0 || skipped == last) return true;
    active_->statement.tryReset();
    return false;
  }

  void ResumeByPosition(const Row& last) {
    UseResumed("SELECT * FROM (" + sql_ + ") LIMIT -1 OFFSET ?" + std::to_string(marker_base_ + 1));
    auto from = [&](std::int64_t offset) {
      std::vector<Value> params = params_;
      params.resize(marker_base_);
      params.emplace_back(offset);
      Bind(*active_, params);
    };
    const std::int64_t read = StreamEnd();
    from(read - 1);
    if (Step(*active_) && ReadRow(*active_, columns_) == last) return;
    from(0);
    while (Step(*active_)) {
      if (ReadRow(*active_, columns_) == last) return;
    }
    from(read);  // the last row read is gone: go on by position
  }

  void UseResumed(const std::string& sql) {
    if (!resumed_ || resumed_sql_ != sql) {
      if (resumed_) Give(std::move(resumed_));
      resumed_ = Acquire(sql);
      resumed_sql_ = sql;
    }
    active_ = resumed_.get();
  }

  // --- Windows and positions ----------------------------------------------

  bool InWindow(std::int64_t row) const {
    return row >= window_start_ && row < window_start_ + static_cast<std::int64_t>(window_.size());
  }

  // A jump well past the streamed rows into the last rows of a counted
  // plain ORDER BY (MoveLast) reads them backwards rather than streaming
  // every row before them: its cost must not grow with the result.
  bool JumpToTheTail(std::int64_t row) const {
    return ordered() && count_ && row >= StreamEnd() + kFirstBatch && row >= *count_ - kWindowRows;
  }

  // The tail of a plain ORDER BY is read backwards (a keyed scan from the
  // end); anything else by position.
  void LoadWindow(std::int64_t row) {
    const std::int64_t count = RowCount();
    window_.clear();
    if (ordered() && row >= count - kWindowRows) {
      // The first read of the tail is short (MoveLast wants one row); a
      // walk back reads more each time.
      const std::int64_t rows = std::min(count, std::max(count - row, tail_rows_));
      tail_rows_ = std::min(tail_rows_ * 4, kWindowRows);
      window_ = Run(ordered()->base + OrderByClause(ordered()->terms, true) + " LIMIT " +
                        std::to_string(rows),
                    {}, rows);
      std::reverse(window_.begin(), window_.end());
      window_start_ = count - static_cast<std::int64_t>(window_.size());
      return;
    }
    window_start_ = std::max<std::int64_t>(0, row - kWindowRows / 2);
    window_ = Run("SELECT * FROM (" + sql_ + ") LIMIT " + std::to_string(kWindowRows) +
                      " OFFSET " + std::to_string(window_start_),
                  {}, kWindowRows);
  }

  // Position of a row found by key: the rows before it under a plain
  // one-column order (Null sorts first), else by streaming up to it.
  std::int64_t CountBefore(const Row& row) {
    if (ordered() && ordered()->terms.size() == 1) {
      const OrderTerm& term = ordered()->terms.front();
      int col = -1;
      for (int c = 0; c < columns_ && col < 0; ++c) {
        if (EqualsNoCase(sqlite_detail::ColumnName(*stream_, c), term.column)) col = c;
      }
      if (col >= 0) {
        const Value& key = row[static_cast<std::size_t>(col)];
        const std::string name = Quoted(term.column);
        std::vector<Value> params = params_;
        params.push_back(key);
        const std::string marker = "?" + std::to_string(params.size());
        std::string where;
        if (IsNull(key)) {
          where = term.descending ? name + " IS NOT NULL" : "0";
        } else {
          where = term.descending ? name + " > " + marker
                                  : "(" + name + " < " + marker + " OR " + name + " IS NULL)";
        }
        std::vector<Row> n = Run("SELECT count(*) FROM (" + Unordered() + ") WHERE " + where, params, 1);
        return std::get<std::int64_t>(n.at(0).at(0));
      }
    }
    ForgetRowsReadInAnotherTransaction();
    for (std::int64_t r = 0;; ++r) {
      Stream(r);
      if (r >= StreamEnd()) return r;
      visited_end_ = std::max(visited_end_, r + 1);
      if (*Streamed(r) == row) return r;
    }
  }

  SQLite::Database& db_;
  std::weak_ptr<StatementCache> cache_;
  std::string sql_;
  std::vector<Value> params_;
  Stmt stream_;             // the result's own statement, from the first row
  Stmt resumed_;            // the one that took up after a stop
  std::string resumed_sql_;
  Prepared* active_ = nullptr;  // whichever of the two gives the next row
  bool stepping_ = false;           // active_ is between its rows
  int columns_ = 0;
  std::shared_ptr<const std::optional<OrderedSelect>> order_;  // shared with the statement
  const std::optional<OrderedSelect>& ordered() const { return *order_; }
  std::vector<KeyColumn> keys_;
  std::size_t marker_base_ = 0;  // markers above this one are the resume's own
  std::deque<Row> streamed_;
  std::int64_t stream_base_ = 0;  // position of streamed_.front()
  std::int64_t visited_end_ = 0;  // rows before it were handed to the caller
  bool read_autocommit_ = true;   // the connection's state when rows were read last
  std::int64_t batch_ = kFirstBatch;
  bool done_ = false;
  std::optional<std::int64_t> count_;
  std::vector<Row> window_;
  std::int64_t window_start_ = 0;
  std::int64_t tail_rows_ = kFirstBatch;  // rows the next read of the tail reads
  Row sought_;
  const Row* current_ = nullptr;
};

}  // namespace

std::uint64_t SqliteRowsRead() { return rows_read.load(std::memory_order_relaxed); }

std::unique_ptr<ResultSet> NewSqliteResultSet(SQLite::Database& db, std::weak_ptr<StatementCache> cache,
                                              const std::string& sql,
                                              const std::vector<Value>& params) {
  return std::make_unique<SqliteResultSet>(db, std::move(cache), sql, params);
}

}  // namespace tarvik::data
