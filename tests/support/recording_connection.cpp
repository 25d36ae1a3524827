#include "tests/support/recording_connection.h"

#include "platform/com_object.h"
#include "platform/error.h"

namespace tarvik::testing {
namespace {

// Parameter values set on a query, as the log shows them.
std::string ParameterText(data::HostConnection& real, const std::string& name) {
  std::string out = " [";
  ComPtr<data::QueryDef> def = real.GetDatabase()->GetQueryDefs().Item(name);
  data::Parameters& params = def->GetParameters();
  for (int i = 0; i < params.Count(); ++i) {
    if (i) out += ", ";
    out += params.Item(i).HasValue() ? params.Item(i).GetValue().ToString() : "?";
  }
  return out + "]";
}

class Recorder;

// A result whose row moves pass through the recorder as "Read" calls.
class RecordedResult final : public data::ResultSet {
 public:
  RecordedResult(std::unique_ptr<data::ResultSet> real, std::string source, Recorder& recorder)
      : real_(std::move(real)), source_(std::move(source)), recorder_(recorder) {}
  std::int64_t RowCount() override { return real_->RowCount(); }
  int ColumnCount() override { return real_->ColumnCount(); }
  std::string ColumnName(int column) override { return real_->ColumnName(column); }
  bool Seek(std::int64_t row) override;
  const data::Value& Column(int column) override { return real_->Column(column); }
  std::optional<std::int64_t> FindFirst(const std::string& column, const data::Value& value,
                                        std::int64_t from) override {
    return real_->FindFirst(column, value, from);
  }

 private:
  std::unique_ptr<data::ResultSet> real_;
  std::string source_;
  Recorder& recorder_;
};

class Recorder : public OpaqueDispatchObject<Recorder, RecordingConnection> {
 public:
  explicit Recorder(ComPtr<data::HostConnection> real) : real_(std::move(real)) {}

  void* QueryInterfaceExtra(REFIID riid) {
    if (riid == data::IID_HostConnection || riid == IID_IDispatch) return static_cast<data::HostConnection*>(this);
    return nullptr;
  }

  const std::vector<std::string>& log() const override { return log_; }
  void ClearLog() override { log_.clear(); }
  void SetFault(FaultRule rule) override { fault_ = std::move(rule); }
  void SetRaise(FaultRule rule) override { raise_ = std::move(rule); }
  void RecordReads(bool on) override { reads_ = on; }

  bool ExecuteQueryDef(const std::string& name) override {
    std::string call = "ExecuteQueryDef: " + name;
    try {
      call += ParameterText(*real_, name);
    } catch (const AutomationError&) {
      // Unknown query: the real call below raises the error.
    }
    return Answer(call, [&] { return real_->ExecuteQueryDef(name); });
  }
  // A failed Rollback has rolled back and then lost its answer, as when
  // the connection drops: the server undoes an unfinished transaction.
  void Rollback() override {
    real_->Rollback();
    Fail("Rollback");
  }
  void CommitTrans() override { Fail("CommitTrans"), real_->CommitTrans(); }
  void BeginTrans() override { Fail("BeginTrans"), real_->BeginTrans(); }
  bool Execute(const std::string& sql) override {
    return Answer("Execute: " + sql, [&] { return real_->Execute(sql); });
  }
  std::string DatabaseName() override { return Fail("DatabaseName"), real_->DatabaseName(); }
  ComPtr<data::Database> GetDatabase() override { return Fail("Database"), real_->GetDatabase(); }
  std::int32_t RecordsAffected() override {
    Fail("RecordsAffected");
    return faked_false_ ? 0 : real_->RecordsAffected();
  }
  std::unique_ptr<data::ResultSet> OpenQuery(const std::string& sql) override {
    return Recorded(sql, (Fail("OpenQuery: " + sql), real_->OpenQuery(sql)));
  }
  std::unique_ptr<data::ResultSet> OpenStoredQuery(const std::string& name,
                                                   const std::vector<Variant>& values) override {
    std::string call = "OpenStoredQuery: " + name + " [";
    for (std::size_t i = 0; i < values.size(); ++i) call += (i ? ", " : "") + values[i].ToString();
    return Recorded(name, (Fail(call + "]"), real_->OpenStoredQuery(name, values)));
  }
  std::int64_t ExecuteWith(const std::string& sql, const std::vector<Variant>& values) override {
    return Fail("ExecuteWith: " + sql), real_->ExecuteWith(sql, values);
  }
  std::unique_ptr<data::ResultSet> QueryWith(const std::string& sql,
                                             const std::vector<Variant>& values) override {
    return Recorded(sql, (Fail("QueryWith: " + sql), real_->QueryWith(sql, values)));
  }
  int TransactionDepth() override { return real_->TransactionDepth(); }
  data::Dialect SqlDialect() override { return real_->SqlDialect(); }

  // A row move of a recorded result: false when the fault rule picks it.
  bool ReadFaulted(const std::string& call) { return Faulted(call); }

 private:
  std::unique_ptr<data::ResultSet> Recorded(const std::string& source, std::unique_ptr<data::ResultSet> real) {
    if (!reads_) return real;
    return std::make_unique<RecordedResult>(std::move(real), source, *this);
  }
  // Records the call; raises when the raise rule picks it; true when the
  // fault rule picks it.
  bool Faulted(const std::string& call) {
    log_.push_back(call);
    if (raise_ && raise_(call)) RaiseError(kErrDatabase, "Injected failure: " + call);
    return fault_ && fault_(call);
  }
  template <typename Forward>
  bool Answer(const std::string& call, Forward forward) {
    faked_false_ = Faulted(call);
    return faked_false_ ? false : forward();
  }
  // For calls without a Boolean answer a fault is an error.
  int Fail(const std::string& call) {
    if (Faulted(call)) RaiseError(kErrDatabase, "Injected failure: " + call);
    return 0;
  }

  ComPtr<data::HostConnection> real_;
  std::vector<std::string> log_;
  FaultRule fault_;
  FaultRule raise_;
  bool faked_false_ = false;
  bool reads_ = false;
};

// A faked False is a row the result does not have.
bool RecordedResult::Seek(std::int64_t row) {
  if (recorder_.ReadFaulted("Read: " + source_ + " row " + std::to_string(row))) return false;
  return real_->Seek(row);
}

}  // namespace

ComPtr<RecordingConnection> RecordAround(ComPtr<data::HostConnection> real) {
  return ComPtr<RecordingConnection>(MakeCom<Recorder>(std::move(real)).get());
}

}  // namespace tarvik::testing
