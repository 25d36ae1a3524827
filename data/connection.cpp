// The connection over a backend: nested transactions as savepoints, the
// stored query catalog, classic-dialect translation.
#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <unordered_map>
#include <utility>

#include "data/backend.h"
#include "data/deferred_results.h"
#include "data/dialect.h"
#include "data/host_connection.h"
#include "data/literal_parameters.h"
#include "data/sql_text.h"
#include "platform/com_object.h"
#include "platform/error.h"
#include "platform/regional.h"
#include "platform/ascii.h"

namespace tarvik::data {

const IID IID_HostConnection = {0x6d1f3a20, 0x41b7, 0x4c2e, {0x9a, 0x51, 0x0b, 0x7e, 0x33, 0x10, 0x2c, 0x01}};

namespace {

// The highest ?n marker of a classic text outside quotes and comments.
std::size_t HighestMarker(std::string_view sql) {
  std::size_t highest = 0;
  ScanSql(sql, [&](SqlPiece kind, std::string_view text) {
    if (kind != SqlPiece::kCode) return;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] != '?') continue;
      std::size_t n = 0, j = i + 1;
      while (j < text.size() && std::isdigit(static_cast<unsigned char>(text[j]))) {
        n = n * 10 + static_cast<std::size_t>(text[j++] - '0');
      }
      highest = std::max(highest, n);
    }
  });
  return highest;
}

// Whether `word` (a name) stands anywhere in sql, case apart. Every
// statement is checked: one pass, comparing only where the first letter
// matches.
bool ContainsNoCase(std::string_view sql, std::string_view word) {
  if (word.empty() || sql.size() < word.size()) return false;
  const char first = AsciiLower(word.front());
  for (std::size_t i = 0, last = sql.size() - word.size(); i <= last; ++i) {
    if (AsciiLower(sql[i]) != first) continue;
    std::size_t k = 1;
    while (k < word.size() && AsciiLower(sql[i + k]) == AsciiLower(word[k])) ++k;
    if (k == word.size()) return true;
  }
  return false;
}

// A statement that names the catalog's tables may change it. Erring on
// the side of a change only costs reading the catalog again.
bool NamesCatalog(std::string_view sql) { return ContainsNoCase(sql, "querydef"); }

// The report tables hold the rows of one print run, emptied and refilled by
// every run: each connection keeps its own, so that two clerks printing at
// once never print each other's invoice.
const std::vector<std::string> kSessionTables = {"RPT_Invoice_Hdr", "RPT_Invoice_Det"};

// Both names start alike: most statements are passed over in one look.
constexpr std::string_view kSessionTablePrefix = "RPT_Invoice_";

bool NamesSessionTable(std::string_view sql) {
  if (!ContainsNoCase(sql, kSessionTablePrefix)) return false;
  return std::any_of(kSessionTables.begin(), kSessionTables.end(),
                     [&](const std::string& name) { return ContainsNoCase(sql, name); });
}

// A schema change (an upgrade adding a column) is meant for the shared table,
// never for a connection's copy of it.
bool ChangesSchema(std::string_view sql) {
  const auto start = sql.find_first_not_of(" \t\r\n(");
  if (start == std::string_view::npos) return false;
  std::string word;
  for (auto i = start; i < sql.size() && std::isalpha(static_cast<unsigned char>(sql[i])); ++i) {
    word.push_back(AsciiLower(sql[i]));
  }
  return word == "alter" || word == "create" || word == "drop";
}

// Statements that need this connection's own report tables first.
bool NeedsSessionTables(std::string_view sql) { return NamesSessionTable(sql) && !ChangesSchema(sql); }

ParamType ParseParamType(const std::string& t) {
  static const std::map<std::string, ParamType> kTypes = {
      {"Text", ParamType::kText},     {"Long", ParamType::kLong}, {"Key", ParamType::kKey},
      {"Double", ParamType::kDouble}, {"Date", ParamType::kDate}, {"Boolean", ParamType::kBoolean}};
  auto it = kTypes.find(t);
  if (it == kTypes.end()) RaiseError(kErrDatabase, "Unknown parameter type '" + t + "' in the query catalog.");
  return it->second;
}

// A Variant converted to the declared type, as the backend binds it.
Value ToValue(const Variant& v, ParamType type) {
  if (v.is_null() || v.is_empty()) return std::monostate{};
  switch (type) {
    case ParamType::kText:
      return v.ToString();
    case ParamType::kLong:
      return static_cast<std::int64_t>(v.ToLong());
    case ParamType::kKey:
      // The component's own reading of a number in text: one that is not
      // numeric is 0, the number of the header it inserted for it.
      if (v.vt() == VT_BSTR && !regional::ParseNumber(v.ToString())) return std::int64_t{0};
      return static_cast<std::int64_t>(v.ToLong());
    case ParamType::kDouble:
      return v.ToDouble();
    case ParamType::kDate:
      return DateValue{v.ToDate()};
    case ParamType::kBoolean:
      return static_cast<std::int64_t>(v.ToBoolean() ? -1 : 0);
  }
  return std::monostate{};
}

class CatalogParameter : public Parameter {
 public:
  CatalogParameter(std::string query, std::string name, ParamType type)
      : query_(std::move(query)), name_(std::move(name)), type_(type) {}
  std::string Name() const override { return name_; }
  ParamType Type() const override { return type_; }
  void SetValue(const Variant& value) override {
    try {
      bound_ = ToValue(value, type_);
    } catch (const AutomationError& e) {
      const bool overflow = e.number() == kErrOverflow;
      RaiseError(overflow ? kErrOverflow : kErrTypeMismatch,
                 std::string(overflow ? "Overflow" : "Data type mismatch") + ": parameter '" + name_ +
                     "' of query '" + query_ + "' cannot take the value given (" + e.description() + ").");
    }
    value_ = value;
    has_value_ = true;
  }
  Variant GetValue() const override { return value_; }
  bool HasValue() const override { return has_value_; }
  const Value& bound() const { return bound_; }

 private:
  std::string query_, name_;
  ParamType type_;
  Variant value_;
  Value bound_;
  bool has_value_ = false;
};

class CatalogParameters : public Parameters {
 public:
  std::int16_t Count() const override { return static_cast<std::int16_t>(items_.size()); }
  Parameter& Item(int index) override {
    if (index < 0 || index >= static_cast<int>(items_.size())) {
      RaiseError(kErrItemNotFound, "Item not found in this collection: parameter " + std::to_string(index));
    }
    return items_[static_cast<std::size_t>(index)];
  }
  std::vector<CatalogParameter> items_;
};

class CatalogQueryDef : public ComObject<CatalogQueryDef, QueryDef> {
 public:
  CatalogQueryDef(std::string name, std::string kind, std::string sql)
      : name_(std::move(name)),
        kind_(std::move(kind)),
        sql_(std::move(sql)),
        names_catalog_(NamesCatalog(sql_)),
        needs_session_tables_(NeedsSessionTables(sql_)) {}
  std::string Name() override { return name_; }
  std::string SQL() override { return sql_; }
  Parameters& GetParameters() override { return params_; }

  bool is_action() const { return kind_ == "action"; }
  bool names_catalog() const { return names_catalog_; }
  bool needs_session_tables() const { return needs_session_tables_; }
  // The statements in the backend's dialect, split and translated once,
  // each with the number of values it takes: a statement of a unit may use
  // fewer parameters than the query declares.
  struct Statement {
    std::string sql;
    std::size_t values;
  };
  const std::vector<Statement>& Statements(Dialect dialect) {
    if (statements_.empty()) {
      for (const auto& s : SplitStatements(sql_)) {
        statements_.push_back({TranslateClassic(s, dialect), HighestMarker(s)});
      }
    }
    return statements_;
  }
  // Values in position order; every parameter must have been given one.
  std::vector<Value> BoundValues() {
    std::vector<Value> out;
    for (auto& p : params_.items_) {
      if (!p.HasValue()) {
        RaiseError(kErrTooFewParameters,
                   "Too few parameters. Expected " + std::to_string(params_.items_.size()) + ".");
      }
      out.push_back(p.bound());
    }
    return out;
  }
  bool SameAs(const CatalogQueryDef& other) const {
    if (name_ != other.name_ || kind_ != other.kind_ || sql_ != other.sql_) return false;
    const auto& a = params_.items_;
    const auto& b = other.params_.items_;
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (a[i].Name() != b[i].Name() || a[i].Type() != b[i].Type()) return false;
    }
    return true;
  }
  CatalogParameters params_;

 private:
  std::string name_, kind_, sql_;
  bool names_catalog_;
  bool needs_session_tables_;
  std::vector<Statement> statements_;
};

// Read whole, in one statement (one round trip on a server), the first time
// a query is looked up after the connection opened or the catalog changed.
// Not a plain SELECT, so a server result set reads it at once, not in
// windows.
constexpr const char* kCatalogText =
    "WITH params AS (SELECT query_name, position, name, type FROM QueryDefParams) "
    "SELECT q.name, q.kind, q.sql, params.name, params.type FROM QueryDefs q "
    "LEFT JOIN params ON lower(params.query_name) = lower(q.name) ORDER BY q.name, params.position";

// The catalog as this connection last read it. A change made on the
// connection itself (Execute, ExecuteWith or a stored query naming the
// catalog, or the rollback of a transaction that changed it) makes it read
// again; a change made by another connection is seen when this one opens
// again, as the server's prepared statements are.
class CatalogQueryDefs : public QueryDefs {
 public:
  explicit CatalogQueryDefs(Backend& backend) : backend_(backend) {}
  ComPtr<QueryDef> Item(const std::string& name) override { return ComPtr<QueryDef>(Find(name).get()); }
  std::int32_t Count() override {
    if (!loaded_) Load();
    return static_cast<std::int32_t>(cache_.size());
  }
  ComPtr<CatalogQueryDef> Find(const std::string& name) {
    if (!loaded_) Load();
    auto it = cache_.find(AsciiLower(name));
    if (it == cache_.end()) RaiseError(kErrItemNotFound, "Item not found in this collection: query '" + name + "'.");
    if (it->second.broken) throw *it->second.broken;
    return it->second.def;
  }
  void Invalidate() { loaded_ = false; }

 private:
  struct Entry {
    ComPtr<CatalogQueryDef> def;
    std::optional<AutomationError> broken;  // raised when this query is looked up
  };
  void Load() {
    auto rs = backend_.Query(kCatalogText, {});
    std::map<std::string, Entry> fresh;
    for (std::int64_t r = 0; rs->Seek(r); ++r) {
      const std::string name = std::get<std::string>(rs->Column(0));
      Entry& entry = fresh[AsciiLower(name)];
      if (!entry.def) {
        entry.def = MakeCom<CatalogQueryDef>(name, std::get<std::string>(rs->Column(1)),
                                             std::get<std::string>(rs->Column(2)));
      }
      if (IsNull(rs->Column(3)) || entry.broken) continue;
      try {
        entry.def->params_.items_.emplace_back(name, std::get<std::string>(rs->Column(3)),
                                               ParseParamType(std::get<std::string>(rs->Column(4))));
      } catch (const AutomationError& e) {
        entry.broken = e;
      }
    }
    // A query read again unchanged stays the same object, with the values
    // set on its parameters.
    for (auto& [key, entry] : fresh) {
      auto old = cache_.find(key);
      if (old != cache_.end() && !entry.broken && !old->second.broken && old->second.def->SameAs(*entry.def)) {
        entry.def = old->second.def;
      }
    }
    cache_ = std::move(fresh);
    loaded_ = true;
  }

  Backend& backend_;
  bool loaded_ = false;
  std::map<std::string, Entry> cache_;
};

class CatalogDatabase : public ComObject<CatalogDatabase, Database> {
 public:
  explicit CatalogDatabase(Backend& backend) : defs_(backend), name_(backend.DatabaseName()) {}
  QueryDefs& GetQueryDefs() override { return defs_; }
  std::string Name() override { return name_; }
  CatalogQueryDefs defs_;

 private:
  std::string name_;
};

// Values of the suite's own components, bound by their automation type.
std::vector<Value> Bind(const std::vector<Variant>& values) {
  std::vector<Value> bound;
  for (const auto& v : values) {
    if (v.is_null() || v.is_empty()) {
      bound.emplace_back(std::monostate{});
    } else if (v.vt() == VT_BSTR) {
      bound.emplace_back(Utf8(v.raw().bstrVal));
    } else if (v.vt() == VT_I4) {
      bound.emplace_back(static_cast<std::int64_t>(v.raw().lVal));
    } else if (v.vt() == VT_DATE) {
      bound.emplace_back(DateValue{v.ToDate()});
    } else if (v.vt() == VT_R4 || v.vt() == VT_R8) {
      bound.emplace_back(v.ToDouble());
    } else {
      bound.emplace_back(static_cast<std::int64_t>(v.ToLong()));
    }
  }
  return bound;
}

class Connection : public OpaqueDispatchObject<Connection, HostConnection> {
 public:
  explicit Connection(std::unique_ptr<Backend> backend)
      : backend_(std::move(backend)),
        database_(MakeCom<CatalogDatabase>(*backend_)),
        literals_(backend_->dialect()) {}
  ~Connection() override {
    // The host closes with work pending: nothing of it is kept.
    try {
      while (depth_ > 0) Rollback();
    } catch (...) {
    }
  }

  void* QueryInterfaceExtra(REFIID riid) {
    if (riid == IID_HostConnection || riid == IID_IDispatch) return static_cast<HostConnection*>(this);
    return nullptr;
  }

  bool ExecuteQueryDef(const std::string& name) override {
    auto def = database_->defs_.Find(name);
    if (!def->is_action()) RaiseError(kErrInvalidOperation, "Cannot execute a select query: '" + name + "'.");
    if (def->needs_session_tables()) UseSessionTables();
    const std::vector<Value> values = def->BoundValues();
    if (def->names_catalog()) CatalogMayChange();
    const auto& statements = def->Statements(backend_->dialect());
    auto run = [&](const CatalogQueryDef::Statement& s) {
      if (s.values >= values.size()) return backend_->Execute(s.sql, values);
      const auto end = values.begin() + static_cast<std::ptrdiff_t>(s.values);
      return backend_->Execute(s.sql, std::vector<Value>(values.begin(), end));
    };
    if (backend_->Pipelines()) {
      std::vector<BoundStatement> unit;
      for (const auto& s : statements) {
        const auto end = values.begin() + static_cast<std::ptrdiff_t>(std::min(s.values, values.size()));
        unit.push_back({s.sql, std::vector<Value>(values.begin(), end)});
      }
      Send(unit);
      return true;
    }
    std::int64_t changed = 0;
    if (statements.size() == 1 || UndoneWhole()) {
      // One statement is atomic; a unit undone whole needs no savepoint.
      changed = RunSpoiling([&] {
        std::int64_t n = 0;
        for (const auto& s : statements) n += run(s);
        return n;
      });
    } else {
      // Several statements run as one unit.
      RefuseIfSpoiled();
      const std::string sp = "qd" + std::to_string(depth_ + 1);
      backend_->Savepoint(sp);
      try {
        for (const auto& s : statements) changed += run(s);
        backend_->ReleaseSavepoint(sp);
      } catch (...) {
        backend_->RollbackToSavepoint(sp);
        throw;
      }
    }
    affected_ = static_cast<std::int32_t>(changed);
    return true;
  }
  void BeginTrans() override {
    if (depth_ == 0) {
      backend_->Begin();
    } else {
      backend_->Savepoint("tr" + std::to_string(depth_));
    }
    ++depth_;
  }
  void CommitTrans() override {
    if (depth_ == 0) return;
    if (depth_ > 1) {
      // A release that raises (an earlier statement's error, answered only
      // now) leaves the savepoint for the caller's rollback.
      backend_->ReleaseSavepoint("tr" + std::to_string(depth_ - 1));
      --depth_;
      // Committing a scope hands its failure on to the one around it.
      spoiled_at_ = std::min(spoiled_at_, depth_);
      return;
    }
    // A commit that fails ends the transaction too, undoing what it made.
    depth_ = 0;
    const bool catalog_changed = std::exchange(catalog_changed_, false);
    const bool tables_made = std::exchange(session_tables_depth_, 0) > 0;
    auto undone = [&] {
      if (catalog_changed) database_->defs_.Invalidate();
      if (tables_made) session_tables_ = false;
    };
    if (std::exchange(spoiled_at_, 0) > 0) {
      undone();
      backend_->Rollback();
      RaiseSpoiledCommit();
    }
    try {
      backend_->Commit();
    } catch (...) {
      undone();
      throw;
    }
  }
  // Only a plain outermost transaction goes ahead: one that changed the
  // catalog or made the session tables must know at once whether it stuck.
  std::uint64_t CommitTransAhead() override {
    if (depth_ != 1 || catalog_changed_ || session_tables_depth_ > 0 || spoiled_at_ > 0) {
      CommitTrans();
      return 0;
    }
    depth_ = 0;
    return backend_->CommitAhead();
  }
  void Committed(std::uint64_t ticket) override { backend_->Committed(ticket); }
  void Rollback() override {
    if (depth_ == 0) return;
    if (session_tables_depth_ > 0) session_tables_ = false;  // made inside what is undone
    --depth_;
    // What was read of the catalog since it changed may be undone now.
    if (catalog_changed_) database_->defs_.Invalidate();
    if (spoiled_at_ >= depth_ + 1) spoiled_at_ = 0;  // the failure is undone with its scope
    if (depth_ == 0) {
      catalog_changed_ = false;
      backend_->Rollback();
    } else {
      backend_->RollbackToSavepoint("tr" + std::to_string(depth_));
    }
  }
  bool Execute(const std::string& sql) override {
    return ExecuteSplit(sql, [&] { return SplitLiterals(sql); });
  }
  bool ExecuteLiteral(const LiteralSql& sql) override {
    return ExecuteSplit(sql.text(), [&] { return sql.Split(); });
  }
  std::string DatabaseName() override { return backend_->DatabaseName(); }
  ComPtr<Database> GetDatabase() override { return ComPtr<Database>(database_.get()); }
  std::int32_t RecordsAffected() override {
    if (pending_ != 0) {
      const std::uint64_t ticket = std::exchange(pending_, 0);
      affected_ = static_cast<std::int32_t>(backend_->Changed(ticket));
    }
    return affected_;
  }

  // DeferredResults' view of the connection.
  bool Defer(bool on) { return std::exchange(defer_, on); }
  bool UndoUnitsAlone(bool on) {
    backend_->UndoUnitsAlone(on);
    return std::exchange(units_alone_, on);
  }
  void Settle() { backend_->Settle(); }
  bool Pipelines() const { return backend_->Pipelines(); }
  std::uint64_t PendingUnit() const { return pending_; }
  std::int64_t UnitChanged(std::uint64_t unit) { return backend_->Changed(unit); }

  std::unique_ptr<ResultSet> OpenQuery(const std::string& sql) override {
    RefuseIfSpoiled();
    SessionTablesFor(sql);
    const LiteralStatements::Statement statement = literals_.Prepare(sql);
    return backend_->Query(statement.sql, statement.values);
  }
  std::unique_ptr<ResultSet> OpenStoredQuery(const std::string& name, const std::vector<Variant>& values) override {
    auto def = database_->defs_.Find(name);
    if (def->is_action()) RaiseError(kErrInvalidOperation, "Query '" + name + "' is not a select query.");
    RefuseIfSpoiled();
    if (def->needs_session_tables()) UseSessionTables();
    auto& params = def->params_.items_;
    if (values.size() < params.size()) {
      RaiseError(kErrTooFewParameters, "Too few parameters. Expected " + std::to_string(params.size()) + ".");
    }
    std::vector<Value> bound;
    for (std::size_t i = 0; i < params.size(); ++i) {
      params[i].SetValue(values[i]);
      bound.push_back(params[i].bound());
    }
    return backend_->Query(Translated(def->SQL()).text, bound);
  }
  std::int64_t ExecuteWith(const std::string& sql, const std::vector<Variant>& values) override {
    const Translation& t = Translated(sql);
    if (t.names_catalog) CatalogMayChange();
    if (t.names_session_table) UseSessionTables();
    return RunSpoiling([&] { return backend_->Execute(t.text, Bind(values)); });
  }
  std::unique_ptr<ResultSet> QueryWith(const std::string& sql,
                                       const std::vector<Variant>& values) override {
    RefuseIfSpoiled();
    const Translation& t = Translated(sql);
    if (t.names_session_table) UseSessionTables();
    return backend_->Query(t.text, Bind(values));
  }
  RowsRead ReadOnlyRows(const std::string& sql, const ReadLimits& limits) override {
    if (depth_ > 0) RaiseError(kErrInvalidOperation, "A checking read cannot run inside an open transaction.");
    const std::string checked = CheckReadOnlyQuery(sql, backend_->dialect());
    SessionTablesFor(checked);
    const LiteralStatements::Statement statement = literals_.Prepare(checked);
    return backend_->ReadOnlyRows(statement.sql, statement.values, limits);
  }
  int TransactionDepth() override { return depth_; }
  Dialect SqlDialect() override { return backend_->dialect(); }

 private:
  // Execute's work, the text's literals found by `split`.
  template <typename SplitText>
  bool ExecuteSplit(const std::string& sql, SplitText split) {
    affected_ = 0;
    if (NamesCatalog(sql)) CatalogMayChange();
    SessionTablesFor(sql);
    const LiteralStatements::Statement statement = literals_.Prepare(split());
    if (backend_->Pipelines()) {
      Send({BoundStatement{statement.sql, statement.values}});
      return true;
    }
    affected_ = static_cast<std::int32_t>(
        RunSpoiling([&] { return backend_->Execute(statement.sql, statement.values); }));
    return true;
  }
  // Made before the first statement that names one, so that no statement
  // of this connection ever reaches the shared tables.
  void SessionTablesFor(std::string_view sql) {
    if (!session_tables_ && NeedsSessionTables(sql)) UseSessionTables();
  }
  void UseSessionTables() {
    if (session_tables_) return;
    backend_->MakeSessionTables(kSessionTables);
    session_tables_ = true;
    session_tables_depth_ = depth_;
  }
  bool session_tables_ = false;
  int session_tables_depth_ = 0;  // the transaction depth they were made at

  // Texts with parameter markers come back again and again (the suite's
  // components, stored selects): translated, and searched for the names
  // that matter here, once. Texts built with literal values go by their
  // shape (literals_).
  struct Translation {
    std::string text;
    bool names_catalog;
    bool names_session_table;
  };
  const Translation& Translated(const std::string& sql) {
    auto it = translated_.find(sql);
    if (it != translated_.end()) return it->second;
    if (translated_.size() >= 512) translated_.clear();
    Translation t{TranslateClassic(sql, backend_->dialect()), NamesCatalog(sql), NeedsSessionTables(sql)};
    return translated_.emplace(sql, std::move(t)).first->second;
  }
  std::unordered_map<std::string, Translation> translated_;

  // Read again at the next lookup, and after a rollback of this
  // transaction (a reading in between may hold the undone change).
  void CatalogMayChange() {
    database_->defs_.Invalidate();
    if (depth_ > 0) catalog_changed_ = true;
  }
  bool catalog_changed_ = false;  // by this connection, in the open transaction

  // A unit for a backend that pipelines. Deferring inside a transaction, it
  // is answered when RecordsAffected or a later call needs an answer;
  // otherwise at once, so its error comes from this call. A failure leaves
  // the count as it was (0 after Execute, which clears it first).
  void Send(const std::vector<BoundStatement>& unit) {
    pending_ = 0;
    const std::uint64_t ticket = backend_->Send(unit);
    if (defer_ && depth_ > 0) {
      pending_ = ticket;
      return;
    }
    affected_ = static_cast<std::int32_t>(backend_->Changed(ticket));
  }
  // Inside a scope undone whole, the caller rolls back on any error; until it
  // does nothing more runs and a commit keeps nothing, whatever the backend.
  // One that pipelines keeps this state itself.
  bool UndoneWhole() const { return !units_alone_ && depth_ > 0; }
  template <class Run>
  std::int64_t RunSpoiling(Run&& run) {
    RefuseIfSpoiled();
    if (!UndoneWhole()) return run();
    try {
      return run();
    } catch (...) {
      spoiled_at_ = depth_;
      throw;
    }
  }
  void RefuseIfSpoiled() const {
    if (spoiled_at_ > 0) RaiseSpoiledStatement();
  }
  bool defer_ = false;
  bool units_alone_ = true;  // off: a failure inside a transaction spoils it
  int spoiled_at_ = 0;       // the level such a failure spoiled, 0 none; its rollback clears it
  std::uint64_t pending_ = 0;  // the unit RecordsAffected answers for, not answered yet

  std::unique_ptr<Backend> backend_;
  ComPtr<CatalogDatabase> database_;
  LiteralStatements literals_;
  int depth_ = 0;
  std::int32_t affected_ = 0;
};

}  // namespace

// Only the connection itself queues: through a decorator every call is
// answered at once, as the decorator expects.
DeferredResults::DeferredResults(HostConnection& connection, Undo undo)
    : connection_(dynamic_cast<Connection*>(&connection) != nullptr ? &connection : nullptr) {
  if (connection_ == nullptr) return;
  auto* own = static_cast<Connection*>(connection_);
  previous_ = own->Defer(true);
  previous_alone_ = own->UndoUnitsAlone(undo == Undo::kAlone);
}

DeferredResults::~DeferredResults() {
  if (connection_ == nullptr) return;
  auto* own = static_cast<Connection*>(connection_);
  own->UndoUnitsAlone(previous_alone_);
  own->Defer(previous_);
}

void DeferredResults::Settle() {
  if (connection_ != nullptr) static_cast<Connection*>(connection_)->Settle();
}

bool DeferredResults::Queues() const {
  return connection_ != nullptr && static_cast<const Connection*>(connection_)->Pipelines();
}

std::uint64_t DeferredResults::LastUnit() const {
  return connection_ != nullptr ? static_cast<const Connection*>(connection_)->PendingUnit() : 0;
}

std::int64_t DeferredResults::Changed(std::uint64_t unit) {
  return connection_ != nullptr ? static_cast<Connection*>(connection_)->UnitChanged(unit) : 0;
}

ComPtr<HostConnection> NewConnection(std::unique_ptr<Backend> backend) {
  return ComPtr<HostConnection>(MakeCom<Connection>(std::move(backend)).get());
}

ComPtr<HostConnection> OpenConnection(const std::string& database, OpenMode mode) {
  return NewConnection(OpenBackend(database, mode));
}

}  // namespace tarvik::data
