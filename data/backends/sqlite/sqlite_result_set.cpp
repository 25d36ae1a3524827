#include "data/backends/sqlite/sqlite_result_set.h"

#include <algorithm>
#include <deque>
#include <optional>

#include "data/backends/sqlite/sqlite_statement.h"
#include "data/sql_text.h"
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

class SqliteResultSet : public ResultSet {
 public:
  SqliteResultSet(sqlite3* db, std::weak_ptr<StatementPool> pool, const std::string& sql,
                  std::vector<Value> params)
      : db_(db), pool_(std::move(pool)), sql_(WithoutFinalSemicolon(sql)),
        params_(std::move(params)), stream_(Acquire(sql_)) {
    Bind(db_, stream_.get(), params_);
    columns_ = sqlite3_column_count(stream_.get());
    ordered_ = SplitTrailingOrderBy(sql_);
  }

  ~SqliteResultSet() override { Give(sql_, std::move(stream_)); }
  SqliteResultSet(const SqliteResultSet&) = delete;
  SqliteResultSet& operator=(const SqliteResultSet&) = delete;

  std::int64_t RowCount() override {
    if (!count_) {
      if (done_) {
        count_ = StreamEnd();
      } else {
        std::vector<Row> rows = Run("SELECT count(*) FROM (" + Unordered() + ")", {}, 1);
        count_ = std::get<std::int64_t>(rows.at(0).at(0));
      }
    }
    return *count_;
  }

  int ColumnCount() override { return columns_; }
  std::string ColumnName(int column) override {
    const char* n = sqlite3_column_name(stream_.get(), column);
    return n ? n : "";
  }

  bool Seek(std::int64_t row) override {
    if (row < 0) return false;
    const std::int64_t streamed = StreamEnd();
    if (row >= stream_base_ && (row < streamed || done_ || row < streamed + kStreamAhead)) {
      Stream(row);
      if (row >= StreamEnd()) return false;
      current_ = Streamed(row);
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
    for (std::int64_t r = std::max<std::int64_t>(from, 0);; ++r) {
      Stream(r);
      if (r >= StreamEnd()) return std::nullopt;
      if (SameValue((*Streamed(r))[static_cast<std::size_t>(col)], value)) {
        return r;
      }
    }
  }

  // Rows already read answer at once; otherwise one keyed query.
  bool SeekFirst(const std::string& column, const Value& value) override {
    const int col = ColumnIndex(column);
    for (std::int64_t r = stream_base_; stream_base_ == 0 && r < StreamEnd(); ++r) {
      if (SameValue((*Streamed(r))[static_cast<std::size_t>(col)], value)) {
        current_ = Streamed(r);
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

  Stmt Acquire(const std::string& sql) {
    if (auto pool = pool_.lock()) return pool->Acquire(db_, sql);
    return Prepare(db_, sql);
  }
  void Give(const std::string& sql, Stmt st) {
    if (auto pool = pool_.lock()) pool->Release(sql, std::move(st));
  }

  // Counting needs no order, and SQLite counts a plain table without
  // visiting its rows only when the subquery has none.
  const std::string& Unordered() const { return ordered_ ? ordered_->base : sql_; }

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
      if (sqlite3_stricmp(sqlite3_column_name(stream_.get(), c), column.c_str()) == 0) return c;
    }
    RaiseError(kErrItemNotFound, "Item not found in this collection: column " + column);
  }

  // Runs an auxiliary query over this result's SQL; at most `limit` rows.
  std::vector<Row> Run(const std::string& sql, std::vector<Value> params, std::int64_t limit) {
    if (params.empty()) params = params_;
    Stmt st = Acquire(sql);
    std::vector<Row> rows;
    try {
      Bind(db_, st.get(), params);
      const int columns = sqlite3_column_count(st.get());
      while (static_cast<std::int64_t>(rows.size()) < limit && Step(db_, st.get())) {
        Row r;
        r.reserve(static_cast<std::size_t>(columns));
        for (int c = 0; c < columns; ++c) r.push_back(ColumnValue(st.get(), c));
        rows.push_back(std::move(r));
      }
    } catch (...) {
      Give(sql, std::move(st));
      throw;
    }
    Give(sql, std::move(st));
    return rows;
  }

  // A rollback on the connection aborts an unfinished read; the stream is
  // then started again and the rows already read are passed over.
  bool StepStream() {
    int rc = sqlite3_step(stream_.get());
    if (rc == SQLITE_ABORT) {
      Bind(db_, stream_.get(), params_);
      for (std::int64_t skipped = 0; skipped < StreamEnd(); ++skipped) {
        if (!Step(db_, stream_.get())) return false;
      }
      rc = sqlite3_step(stream_.get());
    }
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    RaiseSqlite(db_);
  }

  std::int64_t StreamEnd() const { return stream_base_ + static_cast<std::int64_t>(streamed_.size()); }
  const Row* Streamed(std::int64_t row) const {
    return &streamed_[static_cast<std::size_t>(row - stream_base_)];
  }

  // Starts the stream again from the first row (a scan that must look at
  // rows no longer kept).
  void RestartStream() {
    if (current_ && stream_base_ > 0 && !streamed_.empty() && current_ >= &streamed_.front() &&
        current_ <= &streamed_.back()) {
      window_.assign(1, *current_);  // keep the current row readable
      window_start_ = -1;
      current_ = &window_.front();
    }
    Bind(db_, stream_.get(), params_);
    streamed_.clear();
    stream_base_ = 0;
    done_ = false;
  }

  // Rows are kept only a stretch behind the newest, so a long forward scan
  // holds a bounded number of them; earlier rows come back by window.
  void Stream(std::int64_t row) {
    if (row < stream_base_) RestartStream();
    while (!done_ && StreamEnd() <= row) {
      if (!StepStream()) {
        done_ = true;
        break;
      }
      Row r;
      r.reserve(static_cast<std::size_t>(columns_));
      for (int c = 0; c < columns_; ++c) r.push_back(ColumnValue(stream_.get(), c));
      // A deque keeps the addresses of the rows it holds.
      streamed_.push_back(std::move(r));
      while (static_cast<std::int64_t>(streamed_.size()) > kKeptRows &&
             current_ != &streamed_.front()) {
        streamed_.pop_front();
        ++stream_base_;
      }
    }
  }

  bool InWindow(std::int64_t row) const {
    return row >= window_start_ && row < window_start_ + static_cast<std::int64_t>(window_.size());
  }

  // The tail of a plain ORDER BY is read backwards (a keyed scan from the
  // end); anything else by position.
  void LoadWindow(std::int64_t row) {
    const std::int64_t count = RowCount();
    window_.clear();
    if (ordered_ && row >= count - kWindowRows) {
      const std::int64_t rows = count - std::max<std::int64_t>(0, count - kWindowRows);
      window_ = Run(ordered_->base + OrderByClause(ordered_->terms, true) + " LIMIT " +
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
    if (ordered_ && ordered_->terms.size() == 1) {
      const OrderTerm& term = ordered_->terms.front();
      int col = -1;
      for (int c = 0; c < columns_ && col < 0; ++c) {
        if (sqlite3_stricmp(sqlite3_column_name(stream_.get(), c), term.column.c_str()) == 0) col = c;
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
    for (std::int64_t r = 0;; ++r) {
      Stream(r);
      if (r >= StreamEnd()) return r;
      if (*Streamed(r) == row) return r;
    }
  }

  sqlite3* db_;
  std::weak_ptr<StatementPool> pool_;
  std::string sql_;
  std::vector<Value> params_;
  Stmt stream_;
  int columns_ = 0;
  std::optional<OrderedSelect> ordered_;
  std::deque<Row> streamed_;
  std::int64_t stream_base_ = 0;  // position of streamed_.front()
  bool done_ = false;
  std::optional<std::int64_t> count_;
  std::vector<Row> window_;
  std::int64_t window_start_ = 0;
  Row sought_;
  const Row* current_ = nullptr;
};

}  // namespace

std::unique_ptr<ResultSet> NewSqliteResultSet(sqlite3* db, std::weak_ptr<StatementPool> pool,
                                              const std::string& sql,
                                              const std::vector<Value>& params) {
  return std::make_unique<SqliteResultSet>(db, std::move(pool), sql, params);
}

}  // namespace tarvik::data
