#include "vessa/host_connection_object.h"

#include <atomic>
#include <filesystem>
#include <utility>

#include "data/backend.h"
#include "platform/com_object.h"
#include "platform/error.h"
#include "platform/member_table.h"

namespace tarvik::vessa {

namespace {

// DAO's "Could not find file" and "Operation is not allowed when the object is closed".
constexpr std::int32_t kErrFileNotFound = 3024;
constexpr std::int32_t kErrNotOpen = 3704;

std::atomic<long> g_objects{0};
std::atomic<long> g_locks{0};

class HostConnectionObject final
    : public ComObject<HostConnectionObject, NoTypeInfo<data::HostConnection>> {
 public:
  HostConnectionObject() { ++g_objects; }
  ~HostConnectionObject() override { --g_objects; }

  void* QueryInterfaceExtra(REFIID riid) {
    if (riid == data::IID_HostConnection || riid == IID_IDispatch) return static_cast<data::HostConnection*>(this);
    return nullptr;
  }

  HRESULT GetIDsOfNames(REFIID, OLECHAR** names, UINT count, LCID, DISPID* ids) override {
    return Members().GetIDsOfNames(names, count, ids);
  }
  HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                 UINT* arg_err) override {
    return Members().Invoke(static_cast<data::HostConnection*>(this), id, flags, params, result, excep, arg_err);
  }

  // A file path (never created here: a missing file is an error) or a
  // postgresql:// URI. Opening again closes what was open.
  void Open(const std::string& text) {
    if (text.empty()) RaiseError(kErrFileNotFound, "Open needs a database file or a postgresql:// URI.");
    std::string path = text.rfind("sqlite:", 0) == 0 ? text.substr(7) : text;
    if (!data::IsPostgresUri(path)) {
      std::error_code ec;
      if (!std::filesystem::is_regular_file(std::filesystem::u8path(path), ec)) {
        RaiseError(kErrFileNotFound, "Could not find file '" + path + "'.");
      }
    }
    Close();
    inner_ = data::OpenConnection(path);
  }
  void Close() { inner_.reset(); }
  bool IsOpen() const { return static_cast<bool>(inner_); }

  // --- The connection contract, on the open connection ---
  bool ExecuteQueryDef(const std::string& name) override { return Open().ExecuteQueryDef(name); }
  void Rollback() override { Open().Rollback(); }
  void CommitTrans() override { Open().CommitTrans(); }
  void BeginTrans() override { Open().BeginTrans(); }
  bool Execute(const std::string& sql) override { return Open().Execute(sql); }
  bool ExecuteLiteral(const data::LiteralSql& sql) override { return Open().ExecuteLiteral(sql); }
  std::uint64_t CommitTransAhead() override { return Open().CommitTransAhead(); }
  void Committed(std::uint64_t ticket) override { Open().Committed(ticket); }
  std::string DatabaseName() override { return Open().DatabaseName(); }
  ComPtr<data::Database> GetDatabase() override { return Open().GetDatabase(); }
  std::int32_t RecordsAffected() override { return Open().RecordsAffected(); }
  std::unique_ptr<data::ResultSet> OpenQuery(const std::string& sql) override { return Open().OpenQuery(sql); }
  std::unique_ptr<data::ResultSet> OpenStoredQuery(const std::string& name,
                                                   const std::vector<Variant>& values) override {
    return Open().OpenStoredQuery(name, values);
  }
  std::int64_t ExecuteWith(const std::string& sql, const std::vector<Variant>& values) override {
    return Open().ExecuteWith(sql, values);
  }
  std::unique_ptr<data::ResultSet> QueryWith(const std::string& sql, const std::vector<Variant>& values) override {
    return Open().QueryWith(sql, values);
  }
  int TransactionDepth() override { return Open().TransactionDepth(); }
  data::Dialect SqlDialect() override { return Open().SqlDialect(); }

 private:
  static const MemberTable& Members();

  data::HostConnection& Open() {
    if (!inner_) RaiseError(kErrNotOpen, "The connection is not open: call Open with the database first.");
    return *inner_;
  }

  ComPtr<data::HostConnection> inner_;
};

HostConnectionObject* Self(void* self) {
  return static_cast<HostConnectionObject*>(static_cast<data::HostConnection*>(self));
}

// One late-bound member: its argument count and what it does.
using Body = Variant (*)(HostConnectionObject&, const DISPPARAMS&);

template <UINT kArgs, Body kBody>
HRESULT Thunk(void* self, const DISPPARAMS& p, VARIANT* result, UINT*, bool* failed) {
  return RunMember(p, kArgs, kArgs, failed, [&] {
    Variant answer = kBody(*Self(self), p);
    if (result) answer.CopyTo(result);
  });
}

std::string TextArg(const DISPPARAMS& p) { return Variant(ArgAt(p, 0)).ToString(); }

Variant OpenBody(HostConnectionObject& c, const DISPPARAMS& p) {
  c.Open(TextArg(p));
  return {};
}
Variant CloseBody(HostConnectionObject& c, const DISPPARAMS&) {
  c.Close();
  return {};
}
Variant BeginBody(HostConnectionObject& c, const DISPPARAMS&) {
  c.BeginTrans();
  return {};
}
Variant CommitBody(HostConnectionObject& c, const DISPPARAMS&) {
  c.CommitTrans();
  return {};
}
Variant RollbackBody(HostConnectionObject& c, const DISPPARAMS&) {
  c.Rollback();
  return {};
}
Variant ExecuteBody(HostConnectionObject& c, const DISPPARAMS& p) { return Variant::Boolean(c.Execute(TextArg(p))); }
Variant NameBody(HostConnectionObject& c, const DISPPARAMS&) { return Variant::String(c.DatabaseName()); }
Variant AffectedBody(HostConnectionObject& c, const DISPPARAMS&) { return Variant::Long(c.RecordsAffected()); }
Variant IsOpenBody(HostConnectionObject& c, const DISPPARAMS&) { return Variant::Boolean(c.IsOpen()); }

const MemberTable& HostConnectionObject::Members() {
  static const MemberTable table({
      {"Open", MemberKind::kSub, &Thunk<1, &OpenBody>},
      {"Close", MemberKind::kSub, &Thunk<0, &CloseBody>},
      {"BeginTrans", MemberKind::kSub, &Thunk<0, &BeginBody>},
      {"CommitTrans", MemberKind::kSub, &Thunk<0, &CommitBody>},
      {"Rollback", MemberKind::kSub, &Thunk<0, &RollbackBody>},
      {"Execute", MemberKind::kMethod, &Thunk<1, &ExecuteBody>},
      {"DatabaseName", MemberKind::kGet, &Thunk<0, &NameBody>},
      {"RecordsAffected", MemberKind::kGet, &Thunk<0, &AffectedBody>},
      {"IsOpen", MemberKind::kGet, &Thunk<0, &IsOpenBody>},
  });
  return table;
}

}  // namespace

ComPtr<data::HostConnection> NewHostConnectionObject() {
  return ComPtr<data::HostConnection>(MakeCom<HostConnectionObject>().get());
}

bool ObjectsAlive() { return g_objects.load() > 0 || g_locks.load() > 0; }

void NoteLock(bool lock) {
  if (lock) {
    ++g_locks;
  } else if (g_locks.load() > 0) {
    --g_locks;
  }
}

}  // namespace tarvik::vessa
