#include "data/backends/postgres/postgres_result_set.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <deque>
#include <optional>

#include "data/sql_text.h"
#include "platform/ascii.h"
#include "platform/error.h"

namespace tarvik::data {
namespace {

using Row = std::vector<Value>;

// How far ahead of the streamed rows a Seek still streams; further jumps
// read a window instead.
constexpr std::int64_t kStreamAhead = 512;
constexpr std::int64_t kWindowRows = 256;
constexpr std::int64_t kKeptRows = 1024;
// Batches grow, so a short result is read whole at once and a long scan
// goes back to the server seldom.
constexpr std::int64_t kFirstBatch = 16;
constexpr std::int64_t kLastBatch = 256;
// Without keys every batch of a sorted result sorts it all on the server
// again: fewer, larger batches there.
constexpr std::int64_t kLastSortedBatch = 8192;

std::atomic<std::uint64_t> rows_fetched{0};

std::string Quoted(const std::string& name) {
  std::string out = "\"";
  for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

// Whole numbers and reals compare by value, as SQL does; Null equals nothing.
bool SameValue(const Value& a, const Value& b) {
  if (IsNull(a) || IsNull(b)) return false;
  auto number = [](const Value& v) -> std::optional<double> {
    if (auto* i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
    if (auto* d = std::get_if<double>(&v)) return *d;
    return std::nullopt;
  };
  if (auto x = number(a)) {
    auto y = number(b);
    return y && *x == *y;
  }
  return a == b;
}

// The text becomes a subquery of the batch, count and key lookups.
std::string WithoutFinalSemicolon(const std::string& sql) {
  std::string out = TrimBlanks(sql);
  while (!out.empty() && out.back() == ';') out = TrimBlanks(out.substr(0, out.size() - 1));
  return out;
}

// Only a plain SELECT can be read again in parts: anything else (EXPLAIN,
// SHOW, a data-changing WITH or RETURNING) runs once, whole.
bool IsPlainSelect(const std::string& sql) {
  std::string code;
  ScanSql(sql, [&](SqlPiece kind, std::string_view piece) {
    if (kind == SqlPiece::kComment) return;
    code.append(piece);
  });
  code = TrimBlanks(code);
  return code.size() > 6 && AsciiUpper(std::string_view(code).substr(0, 6)) == "SELECT" &&
         !std::isalnum(static_cast<unsigned char>(code[6])) && code[6] != '_';
}

// An ORDER BY at the top level of the statement (of any terms).
bool HasTopLevelOrder(const std::string& sql) {
  bool found = false;
  int depth = 0;
  ScanSql(sql, [&](SqlPiece kind, std::string_view piece) {
    if (kind != SqlPiece::kCode) return;
    const std::string upper = AsciiUpper(piece);
    for (std::size_t i = 0; i < piece.size(); ++i) {
      if (piece[i] == '(') ++depth;
      if (piece[i] == ')') --depth;
      auto word = [&](std::size_t at) { return at < piece.size() && (std::isalnum(static_cast<unsigned char>(piece[at])) || piece[at] == '_'); };
      if (depth == 0 && upper.compare(i, 5, "ORDER") == 0 && (i == 0 || !word(i - 1)) && !word(i + 5)) found = true;
    }
  });
  return found;
}

// A column of the result that the order sorts by: a term of a plain ORDER
// BY (Null lowest, as on SQLite), or a column that breaks ties among equal
// terms (ascending, Null highest, as the server compares whole rows).
struct Key {
  std::string name;  // as the server names the result column
  bool descending;
  int index = -1;
  bool breaks_ties = false;
};

class PostgresResultSet : public ResultSet {
 public:
  PostgresResultSet(RowFetcher fetch, std::string sql, std::vector<Value> params, TransactionEpoch epoch,
                    KeptRowCounts row_counts)
      : fetch_(std::move(fetch)), sql_(WithoutFinalSemicolon(sql)), params_(std::move(params)),
        epoch_(std::move(epoch)), row_counts_(std::move(row_counts)) {
    if (IsPlainSelect(sql_)) {
      ordered_ = SplitTrailingOrderBy(sql_);
      if (ordered_) {
        // Unquoted names fold to lower case, as the server names the columns.
        for (const OrderTerm& t : ordered_->terms) keys_.push_back({AsciiLower(t.column), t.descending});
      }
      ReadFirstBatch();
    } else {
      whole_ = true;
      RowBlock block = Fetch(sql_, params_);
      columns_ = std::move(block.columns);
      kinds_.assign(columns_.size(), -1);
      for (Row& r : block.rows) streamed_.push_back(std::move(r));
      done_ = true;
    }
  }

  std::int64_t RowCount() override {
    if (!count_) {
      if (done_) {
        count_ = StreamEnd();
      } else {
        // A whole table whose rows the books keep a count of is counted
        // from there (a count query visits every row).
        std::optional<std::string> table = WholeTableName(Unordered());
        RowBlock n = Fetch(table && row_counts_ && row_counts_()
                               ? "SELECT coalesce((SELECT sum(n)::bigint FROM (SELECT row_count AS n FROM Table_Rows "
                                 "WHERE table_name = '" + *table + "' UNION ALL SELECT change FROM Table_Row_Changes "
                                 "WHERE table_name = '" + *table + "') AS k), (SELECT count(*) FROM " + *table + "))"
                               : "SELECT count(*) FROM (" + Unordered() + ") AS t",
                           params_);
        count_ = std::get<std::int64_t>(n.rows.at(0).at(0));
      }
    }
    return *count_;
  }

  int ColumnCount() override { return static_cast<int>(columns_.size()); }
  std::string ColumnName(int column) override {
    if (column < 0 || column >= ColumnCount()) RaiseError(kErrItemNotFound, "Item not found in this collection.");
    return columns_[static_cast<std::size_t>(column)];
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
      if (!InWindow(row)) return false;  // rows went since they were counted
    }
    current_ = &window_[static_cast<std::size_t>(row - window_start_)];
    return true;
  }

  const Value& Column(int column) override {
    if (!current_ || column < 0 || column >= ColumnCount()) {
      RaiseError(kErrItemNotFound, "Item not found in this collection.");
    }
    return (*current_)[static_cast<std::size_t>(column)];
  }

  // Under a plain order the rows from `from` on are one keyed lookup and a
  // count of the rows between; otherwise the rows are visited in turn.
  std::optional<std::int64_t> FindFirst(const std::string& column, const Value& value,
                                        std::int64_t from) override {
    const int col = ColumnIndex(column);
    from = std::max<std::int64_t>(from, 0);
    ForgetRowsReadInAnotherTransaction();
    if (!keys_.empty() && !(done_ && stream_base_ == 0)) {
      if (!Seek(from)) return std::nullopt;
      const Row start = *current_;
      std::vector<Value> params = params_;
      std::optional<std::string> match = Matching(col, value, params);
      if (!match && kinds_[static_cast<std::size_t>(col)] >= 0) return std::nullopt;
      std::optional<Row> row;
      if (match) {
        const Condition at = KeyCondition(start, true, true, params);
        RowBlock found = Fetch(OrderedRead("(" + at.where + ") AND " + *match, at.hint, false, 1), params);
        if (found.rows.empty()) return std::nullopt;
        row = std::move(found.rows.front());
      }
      // Else the column's type is unknown yet, or the row found is the one at
      // `from` (or like it in every column): look in turn.
      if (row && !SameKeys(*row, start)) {
        std::vector<Value> between = params_;
        const Condition after = KeyCondition(start, true, true, between);
        const Condition before = KeyCondition(*row, false, false, between);
        RowBlock n = Fetch("SELECT count(*) FROM (" + Unordered() + ") AS t WHERE (" + after.where + ") AND (" +
                               before.where + ")",
                           between);
        return from + std::get<std::int64_t>(n.rows.at(0).at(0));
      }
    }
    for (std::int64_t r = from;; ++r) {
      if (!Seek(r)) return std::nullopt;
      if (SameValue((*current_)[static_cast<std::size_t>(col)], value)) return r;
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
    std::optional<std::string> match = Matching(col, value, params);
    if (!match) {
      if (kinds_[static_cast<std::size_t>(col)] >= 0) return false;
      // No value of the column seen yet to tell its type: look in turn.
      std::optional<std::int64_t> row = FindFirst(column, value, 0);
      if (!row || !Seek(*row)) return false;
      sought_row_ = *row;
      return true;
    }
    RowBlock found = Fetch(keys_.empty() ? "SELECT * FROM (" + sql_ + ") AS t WHERE " + *match + " LIMIT 1"
                                         : OrderedRead(*match, "", false, 1),
                           params);
    if (found.rows.empty()) return false;
    sought_ = std::move(found.rows.front());
    current_ = &sought_;
    sought_row_ = kNotCounted;
    return true;
  }

  std::int64_t SoughtRow() override {
    if (sought_row_ == kNotCounted) {
      sought_row_ = CountBefore(sought_);
      sought_counted_ = true;
    }
    return sought_row_;
  }

 private:
  static constexpr std::int64_t kNotCounted = -2;

  // A condition on result columns and, for rows whose first key is not
  // Null, a range on that key that an index can serve.
  struct Condition {
    std::string where;
    std::string hint;
  };

  RowBlock Fetch(const std::string& sql, const std::vector<Value>& params) {
    RowBlock block = fetch_(sql, params);
    rows_fetched.fetch_add(block.rows.size(), std::memory_order_relaxed);
    return block;
  }
  // Rows of the stream: read in the transaction there is now.
  RowBlock FetchStream(const std::string& sql, const std::vector<Value>& params) {
    RowBlock block = Fetch(sql, params);
    if (epoch_) read_epoch_ = epoch_();
    return block;
  }

  // Counting needs no order.
  const std::string& Unordered() const { return ordered_ ? ordered_->base : sql_; }

  int ColumnIndex(const std::string& column) {
    for (int c = 0; c < ColumnCount(); ++c) {
      if (EqualsNoCase(columns_[static_cast<std::size_t>(c)], column)) return c;
    }
    RaiseError(kErrItemNotFound, "Item not found in this collection: " + column);
  }

  // The first batch in the order's own terms, else by position when those
  // are not result columns (the keyed read then fails on the server).
  void ReadFirstBatch() {
    RowBlock block;
    bool keyed = false;
    if (!keys_.empty()) {
      try {
        block = FetchStream(OrderedRead("", "", false, kFirstBatch), params_);
        keyed = true;
      } catch (const AutomationError&) {
        keys_.clear();
      }
    }
    // A sort without keys reads the whole result on the server before the
    // first row: the row count comes with it.
    const bool sorted = !keyed && HasTopLevelOrder(sql_);
    if (sorted) {
      block = FetchStream("SELECT t.*, count(*) OVER () AS tarvik_rows FROM (" + sql_ + ") AS t LIMIT " +
                              std::to_string(kFirstBatch),
                          params_);
      block.columns.pop_back();
      count_ = 0;
      for (Row& r : block.rows) {
        count_ = std::get<std::int64_t>(r.back());
        r.pop_back();
      }
      last_batch_ = kLastSortedBatch;
    } else if (!keyed) {
      block = FetchStream("SELECT * FROM (" + sql_ + ") AS t LIMIT " + std::to_string(kFirstBatch), params_);
    }
    columns_ = std::move(block.columns);
    kinds_.assign(columns_.size(), -1);
    ties_by_row_ = false;
    for (Key& k : keys_) {
      for (int c = 0; c < ColumnCount(); ++c) {
        if (columns_[static_cast<std::size_t>(c)] != k.name) continue;
        if (k.index >= 0) k.index = -2;  // named twice
        if (k.index == -1) k.index = c;
      }
      if (k.index < 0) {
        keys_.clear();
        break;
      }
    }
    AddTieBreakers();
    done_ = static_cast<std::int64_t>(block.rows.size()) < kFirstBatch;
    // Each batch of a sort without keys sorts the whole result again: past
    // the first, read the largest at once.
    batch_ = sorted ? last_batch_ : kFirstBatch * 2;
    Append(std::move(block.rows));
  }

  // Equal terms are ordered by the rest of the row, so that every read
  // agrees on the order of rows and on their positions. The first batch
  // compares whole rows (the column names are not known yet); the same
  // order, column by column, from then on. A name given twice cannot be
  // written column by column: rows differing only there stay unordered.
  void AddTieBreakers() {
    if (keys_.empty()) return;
    for (int c = 0; c < ColumnCount(); ++c) {
      const std::string& name = columns_[static_cast<std::size_t>(c)];
      if (std::count(columns_.begin(), columns_.end(), name) != 1) continue;
      if (std::any_of(keys_.begin(), keys_.end(), [&](const Key& k) { return k.index == c; })) continue;
      keys_.push_back({name, false, c, true});
    }
  }

  // --- SQL over the result's own ----------------------------------------

  std::string Term(const Key& k, bool reversed) const {
    const bool descending = k.descending != reversed;
    if (k.breaks_ties) return Quoted(k.name) + (descending ? " DESC NULLS FIRST" : " ASC NULLS LAST");
    return Quoted(k.name) + (descending ? " DESC NULLS LAST" : " ASC NULLS FIRST");
  }

  // Rows meeting `where` in the order (or backwards), at most `limit`. The
  // first key's Nulls are read apart from its values: the server's index
  // on that key holds Nulls at the other end from where SQLite sorts them.
  std::string OrderedRead(const std::string& where, const std::string& hint, bool reversed, std::int64_t limit,
                          std::int64_t offset = 0) const {
    const std::string from = "SELECT * FROM (" + ordered_->base + ") AS t WHERE ";
    const std::string cap = " LIMIT " + std::to_string(offset + limit);
    const std::string also = where.empty() ? "" : " AND (" + where + ")";
    const Key& first = keys_.front();
    const std::string c = Quoted(first.name);
    std::string rest;
    for (std::size_t i = 1; i < keys_.size(); ++i) rest += ", " + Term(keys_[i], reversed);
    if (ties_by_row_) rest += reversed ? ", t DESC" : ", t";
    const bool descending = first.descending != reversed;
    const std::string nulls =
        "(" + from + c + " IS NULL" + also + (rest.empty() ? "" : " ORDER BY " + rest.substr(2)) + cap + ")";
    const std::string values = "(" + from + c + " IS NOT NULL" + also + (hint.empty() ? "" : " AND " + hint) +
                               " ORDER BY " + c + (descending ? " DESC NULLS FIRST" : " ASC NULLS LAST") + rest +
                               cap + ")";
    std::string order;
    for (const Key& k : keys_) order += (order.empty() ? " ORDER BY " : ", ") + Term(k, reversed);
    if (ties_by_row_) order += reversed ? ", u DESC" : ", u";
    return "SELECT * FROM (" + nulls + " UNION ALL " + values + ") AS u" + order + " LIMIT " +
           std::to_string(limit) + (offset > 0 ? " OFFSET " + std::to_string(offset) : "");
  }

  // Rows after `row` in the order (`after`) or before it; `or_equal` takes
  // the rows of equal keys too. Nulls sort first ascending, last descending.
  Condition KeyCondition(const Row& row, bool after, bool or_equal, std::vector<Value>& params) const {
    // Each key's value is written as a token first: the server refuses a
    // parameter that the text does not use.
    auto token = [](std::size_t i) { return "\x01" + std::to_string(i) + "\x02"; };
    std::string any;
    std::string equal;  // the terms before, equal
    for (std::size_t i = 0; i < keys_.size(); ++i) {
      const Value& v = row[static_cast<std::size_t>(keys_[i].index)];
      const std::string c = Quoted(keys_[i].name);
      // Are the rows wanted above this value?
      const bool up = keys_[i].descending != after;
      std::string beyond;
      if (keys_[i].breaks_ties) {  // Null highest
        if (!up) {
          beyond = IsNull(v) ? c + " IS NOT NULL" : c + " < " + token(i);
        } else if (!IsNull(v)) {
          beyond = "(" + c + " > " + token(i) + " OR " + c + " IS NULL)";
        }
      } else if (up) {  // Null lowest
        beyond = IsNull(v) ? c + " IS NOT NULL" : c + " > " + token(i);
      } else if (!IsNull(v)) {
        beyond = "(" + c + " < " + token(i) + " OR " + c + " IS NULL)";
      }
      if (!beyond.empty()) any += (any.empty() ? "(" : " OR (") + equal + beyond + ")";
      equal += (IsNull(v) ? c + " IS NULL" : c + " = " + token(i)) + " AND ";
    }
    if (or_equal) any += (any.empty() ? "(" : " OR (") + equal + "TRUE)";
    Condition out{any.empty() ? "FALSE" : any, ""};
    // The first key's value is in the condition already whenever it is not Null.
    if (!IsNull(row[static_cast<std::size_t>(keys_.front().index)])) {
      const bool up = keys_.front().descending != after;
      out.hint = Quoted(keys_.front().name) + (up ? " >= " : " <= ") + token(0);
    }
    for (std::size_t i = 0; i < keys_.size(); ++i) {
      const std::string t = token(i);
      if (out.where.find(t) == std::string::npos) continue;
      params.push_back(row[static_cast<std::size_t>(keys_[i].index)]);
      const std::string marker = "$" + std::to_string(params.size());
      for (std::string* text : {&out.where, &out.hint}) {
        for (std::size_t at = text->find(t); at != std::string::npos; at = text->find(t, at + marker.size())) {
          text->replace(at, t.size(), marker);
        }
      }
    }
    return out;
  }

  // The comparison of a search on the server, when values of the column's
  // type can equal `value`; nullopt when none can (or the type is unknown).
  std::optional<std::string> Matching(int col, const Value& value, std::vector<Value>& params) {
    const int kind = kinds_[static_cast<std::size_t>(col)];
    Value param;
    if (kind == 1 || kind == 2) {
      double d = 0;
      if (auto* i = std::get_if<std::int64_t>(&value)) {
        d = static_cast<double>(*i);
      } else if (auto* r = std::get_if<double>(&value)) {
        d = *r;
      } else {
        return std::nullopt;
      }
      if (kind == 1) {
        if (!(std::nearbyint(d) == d && std::fabs(d) < 9.2e18)) return std::nullopt;
        param = static_cast<std::int64_t>(d);
      } else {
        param = d;
      }
    } else if (kind == 3 && std::holds_alternative<std::string>(value)) {
      param = value;
    } else if (kind == 4 && std::holds_alternative<DateValue>(value)) {
      param = value;
    } else {
      return std::nullopt;
    }
    params.push_back(param);
    return Quoted(columns_[static_cast<std::size_t>(col)]) + " = $" + std::to_string(params.size());
  }

  bool SameKeys(const Row& a, const Row& b) const {
    for (const Key& k : keys_) {
      if (a[static_cast<std::size_t>(k.index)] != b[static_cast<std::size_t>(k.index)]) return false;
    }
    return true;
  }

  // --- The stream ---------------------------------------------------------

  std::int64_t StreamEnd() const { return stream_base_ + static_cast<std::int64_t>(streamed_.size()); }
  const Row* Streamed(std::int64_t row) const { return &streamed_[static_cast<std::size_t>(row - stream_base_)]; }
  void Visit(std::int64_t row) {
    current_ = Streamed(row);
    visited_end_ = std::max(visited_end_, row + 1);
  }

  // Rows are kept only a stretch behind the newest, so a long forward scan
  // holds a bounded number of them; earlier rows come back by window.
  // A batch is kept whole, the rows before it up to kKeptRows in all.
  void Append(std::vector<Row> rows) {
    const std::int64_t keep = std::max<std::int64_t>(0, kKeptRows - static_cast<std::int64_t>(rows.size()));
    while (!whole_ && !rows.empty() && static_cast<std::int64_t>(streamed_.size()) > keep &&
           current_ != &streamed_.front()) {
      streamed_.pop_front();
      ++stream_base_;
    }
    for (Row& r : rows) {
      for (std::size_t c = 0; c < kinds_.size() && c < r.size(); ++c) {
        if (kinds_[c] < 0 && !IsNull(r[c])) kinds_[c] = static_cast<int>(r[c].index());
      }
      // A deque keeps the addresses of the rows it holds.
      streamed_.push_back(std::move(r));
    }
  }

  // Rows read ahead before a BEGIN, or inside a transaction since ended,
  // may no longer be what the query answers; those not visited yet are
  // read again. (The keys of an invoicing run are opened before its
  // transaction and read inside it.)
  void ForgetRowsReadInAnotherTransaction() {
    if (!epoch_ || whole_ || streamed_.empty() || epoch_() == read_epoch_) return;
    const std::int64_t keep = std::max(visited_end_, stream_base_ + 1);
    if (StreamEnd() <= keep) return;
    while (StreamEnd() > keep) streamed_.pop_back();
    done_ = false;  // the batch stays as grown: the reader reads on
  }

  void RestartStream() {
    if (current_ && !streamed_.empty() && current_ >= &streamed_.front() && current_ <= &streamed_.back()) {
      window_.assign(1, *current_);  // keep the current row readable
      window_start_ = -1;
      current_ = &window_.front();
    }
    streamed_.clear();
    stream_base_ = 0;
    done_ = false;
    batch_ = kFirstBatch;
  }

  void Stream(std::int64_t row) {
    if (row < stream_base_) RestartStream();
    while (!done_ && row >= StreamEnd()) {
      const std::int64_t wanted = std::max(batch_, row + 1 - StreamEnd());
      batch_ = std::min(batch_ * 8, last_batch_);  // each batch is a round trip
      if (streamed_.empty()) {
        ReadFromStart(wanted);
      } else if (keys_.empty() || !ResumeAfterKeys(wanted)) {
        ResumeByPosition(wanted);
      }
    }
  }

  void ReadFromStart(std::int64_t limit) {
    RowBlock block = keys_.empty()
                         ? FetchStream("SELECT * FROM (" + sql_ + ") AS t LIMIT " + std::to_string(limit), params_)
                         : FetchStream(OrderedRead("", "", false, limit), params_);
    done_ = static_cast<std::int64_t>(block.rows.size()) < limit;
    Append(std::move(block.rows));
  }

  // Takes up at the keys of the last row read: the rows of equal keys read
  // already are left out whatever order the server gives them this time,
  // and rows inserted or deleted meanwhile are neither skipped nor
  // repeated. False when those rows go back past the ones kept.
  bool ResumeAfterKeys(std::int64_t limit) {
    const Row last = streamed_.back();
    std::vector<Row> ties;
    for (auto it = streamed_.rbegin(); it != streamed_.rend() && SameKeys(*it, last); ++it) ties.push_back(*it);
    if (static_cast<std::int64_t>(ties.size()) == static_cast<std::int64_t>(streamed_.size()) && stream_base_ > 0) {
      return false;
    }
    std::vector<Value> params = params_;
    const Condition from = KeyCondition(last, true, true, params);
    const std::int64_t asked = limit + static_cast<std::int64_t>(ties.size());
    RowBlock block = FetchStream(OrderedRead(from.where, from.hint, false, asked), params);
    done_ = static_cast<std::int64_t>(block.rows.size()) < asked;
    std::vector<Row> rows;
    for (Row& r : block.rows) {
      auto seen = SameKeys(r, last) ? std::find(ties.begin(), ties.end(), r) : ties.end();
      if (seen != ties.end()) {
        ties.erase(seen);
      } else {
        rows.push_back(std::move(r));
      }
    }
    Append(std::move(rows));
    return true;
  }

  // Checks that the row before is still the last one read, and finds that
  // row again nearby when rows moved; else goes on by position.
  void ResumeByPosition(std::int64_t limit) {
    const Row last = streamed_.back();
    const std::int64_t read = StreamEnd();
    auto window = [&](std::int64_t start, std::int64_t rows) {
      if (!keys_.empty()) return FetchStream(OrderedRead("", "", false, rows, start), params_);
      return FetchStream("SELECT * FROM (" + sql_ + ") AS t LIMIT " + std::to_string(rows) + " OFFSET " +
                             std::to_string(start),
                         params_);
    };
    RowBlock block = window(read - 1, limit + 1);
    std::int64_t start = read - 1;
    std::int64_t next = 1;
    if (block.rows.empty() || block.rows.front() != last) {
      // The occurrence nearest to where it was: near it first, then from the
      // start, since any number of rows before it may have gone (a run that
      // invoices the orders it reads takes them out of its own result).
      std::int64_t at = -1;
      auto look = [&](std::int64_t from) {
        start = from;
        block = window(start, read - start + kKeptRows + limit);
        for (std::int64_t i = 0; i < static_cast<std::int64_t>(block.rows.size()); ++i) {
          if (block.rows[static_cast<std::size_t>(i)] != last) continue;
          if (at < 0 || std::llabs(start + i - (read - 1)) < std::llabs(start + at - (read - 1))) at = i;
        }
      };
      look(std::max<std::int64_t>(0, read - 1 - kKeptRows));
      if (at < 0 && start > 0) look(0);
      next = at >= 0 ? at + 1 : read - start;  // gone: on by position
    }
    const std::int64_t got = static_cast<std::int64_t>(block.rows.size());
    const std::int64_t end = std::min(got, next + limit);
    done_ = end < next + limit;
    std::vector<Row> rows;
    for (std::int64_t i = next; i < end; ++i) rows.push_back(std::move(block.rows[static_cast<std::size_t>(i)]));
    Append(std::move(rows));
  }

  // --- Windows and positions ----------------------------------------------

  bool InWindow(std::int64_t row) const {
    return row >= window_start_ && row < window_start_ + static_cast<std::int64_t>(window_.size());
  }

  // A jump well past the streamed rows into the last rows of a counted
  // plain order (MoveLast) reads them backwards rather than every row
  // before them: its cost must not grow with the result.
  bool NearTheTail(std::int64_t row) const { return count_ && row >= *count_ - kWindowRows; }
  bool JumpToTheTail(std::int64_t row) const {
    return !keys_.empty() && row >= StreamEnd() + kFirstBatch && NearTheTail(row);
  }

  struct Anchor {
    std::int64_t position;
    const Row* row;
  };
  // The row of known position nearest to `row`, within a window's reach.
  std::optional<Anchor> NearestAnchor(std::int64_t row) const {
    std::optional<Anchor> best;
    auto consider = [&](std::int64_t position, const Row* r) {
      if (position < 0 || std::llabs(row - position) > kWindowRows) return;
      if (!best || std::llabs(row - position) < std::llabs(row - best->position)) best = Anchor{position, r};
    };
    if (!window_.empty() && window_start_ >= 0) {
      consider(window_start_, &window_.front());
      consider(window_start_ + static_cast<std::int64_t>(window_.size()) - 1, &window_.back());
    }
    if (!streamed_.empty()) {
      consider(stream_base_, &streamed_.front());
      consider(StreamEnd() - 1, &streamed_.back());
    }
    if (sought_counted_ && sought_row_ >= 0) consider(sought_row_, &sought_);
    return best;
  }

  // Reads on from a row of known position by key, forwards or backwards.
  // False when the row is not found again (gone, or lost among equal keys).
  bool LoadFromAnchor(const Anchor& anchor, std::int64_t row) {
    const bool forward = row > anchor.position;
    const Row from = *anchor.row;
    const std::int64_t wanted = std::llabs(row - anchor.position) + kWindowRows / 2;
    std::vector<Value> params = params_;
    const Condition c = KeyCondition(from, forward, true, params);
    RowBlock block = Fetch(OrderedRead(c.where, c.hint, !forward, wanted + kFirstBatch), params);
    auto it = std::find(block.rows.begin(), block.rows.end(), from);
    if (it == block.rows.end()) return false;
    std::vector<Row> rows(it, block.rows.end());  // the anchor first
    if (!forward) std::reverse(rows.begin(), rows.end());
    const std::int64_t start = forward ? anchor.position : anchor.position - static_cast<std::int64_t>(rows.size()) + 1;
    const bool reaches = forward ? start + static_cast<std::int64_t>(rows.size()) > row : start <= row;
    if (!reaches) return false;
    window_ = std::move(rows);
    window_start_ = start;
    return true;
  }

  // From a nearby row by key; the tail of a plain order backwards;
  // anything else by position.
  void LoadWindow(std::int64_t row) {
    const std::int64_t count = RowCount();
    if (!keys_.empty()) {
      // Whichever is nearer: a row of known position or the end.
      const bool tail = row >= count - kWindowRows;
      std::optional<Anchor> anchor = NearestAnchor(row);
      if (anchor && (!tail || std::llabs(row - anchor->position) < count - row)) {
        if (LoadFromAnchor(*anchor, row)) return;
      }
      if (tail) {
        // The first read of the tail is short (MoveLast wants one row); a
        // walk back reads more each time.
        const std::int64_t rows = std::min(count, std::max(count - row, tail_rows_));
        tail_rows_ = std::min(tail_rows_ * 4, kWindowRows);
        RowBlock block = Fetch(OrderedRead("", "", true, rows), params_);
        window_ = std::move(block.rows);
        std::reverse(window_.begin(), window_.end());
        window_start_ = count - static_cast<std::int64_t>(window_.size());
        return;
      }
    }
    const std::int64_t start = std::max<std::int64_t>(0, row - kWindowRows / 2);
    RowBlock block = keys_.empty() ? Fetch("SELECT * FROM (" + sql_ + ") AS t LIMIT " + std::to_string(kWindowRows) +
                                               " OFFSET " + std::to_string(start),
                                           params_)
                                   : Fetch(OrderedRead("", "", false, kWindowRows, start), params_);
    window_ = std::move(block.rows);
    window_start_ = start;
  }

  // Position of a row found by key: the rows before it under a plain
  // order, else by visiting rows up to it.
  std::int64_t CountBefore(const Row& row) {
    if (!keys_.empty()) {
      std::vector<Value> params = params_;
      const Condition before = KeyCondition(row, false, false, params);
      RowBlock n = Fetch("SELECT count(*) FROM (" + Unordered() + ") AS t WHERE " + before.where, params);
      return std::get<std::int64_t>(n.rows.at(0).at(0));
    }
    const Row wanted = row;
    std::int64_t r = 0;
    while (Seek(r) && *current_ != wanted) ++r;
    current_ = &sought_;
    return r;
  }

  RowFetcher fetch_;
  std::string sql_;
  std::vector<Value> params_;
  TransactionEpoch epoch_;
  KeptRowCounts row_counts_;
  std::uint64_t read_epoch_ = 0;  // the epoch rows were read in last
  bool whole_ = false;            // not a SELECT: read whole once
  std::vector<std::string> columns_;
  std::vector<int> kinds_;  // Value alternative of each column's values; -1 none seen yet
  std::optional<OrderedSelect> ordered_;
  std::vector<Key> keys_;
  bool ties_by_row_ = true;  // the first batch's order: the column names are not known yet
  std::deque<Row> streamed_;
  std::int64_t stream_base_ = 0;  // position of streamed_.front()
  std::int64_t visited_end_ = 0;  // rows before it were handed to the caller
  std::int64_t batch_ = kFirstBatch;
  std::int64_t last_batch_ = kLastBatch;
  bool done_ = false;
  std::optional<std::int64_t> count_;
  std::vector<Row> window_;
  std::int64_t window_start_ = 0;
  std::int64_t tail_rows_ = kFirstBatch;  // rows the next read of the tail reads
  Row sought_;
  bool sought_counted_ = false;
  const Row* current_ = nullptr;
};

}  // namespace

std::unique_ptr<ResultSet> NewPostgresResultSet(RowFetcher fetch, std::string sql, std::vector<Value> params,
                                                TransactionEpoch epoch, KeptRowCounts row_counts) {
  return std::make_unique<PostgresResultSet>(std::move(fetch), std::move(sql), std::move(params), std::move(epoch),
                                             std::move(row_counts));
}

std::uint64_t PostgresRowsFetched() { return rows_fetched.load(std::memory_order_relaxed); }

}  // namespace tarvik::data
