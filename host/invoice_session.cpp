#include "host/invoice_session.h"

#include "host/database_open.h"
#include "host/server_library.h"
#include "platform/class_registry.h"
#include "platform/error.h"
#include "platform/late_bound.h"

namespace tarvik::host {
namespace {

ComPtr<IDispatch> CreateServerObject(const std::string& progid) {
  const std::string registration = EnsureServerRegistered();
  ComPtr<IDispatch> object;
  const HRESULT h = CreateObject(progid, &object);
  if (Failed(h) || !object) {
    auto record = TakeErrorRecord();
    if (record && record->hresult == h) {
      // "Not registered" alone hides why registering did not help.
      const std::string why = h == REGDB_E_CLASSNOTREG && !registration.empty()
                                  ? " (registering the classes failed: " + registration + ")"
                                  : std::string();
      throw AutomationError(record->number, record->description + why, record->source);
    }
    RaiseError(kErrCannotCreateObject,
               "Cannot create object \"" + progid + "\": " +
                   (h == REGDB_E_CLASSNOTREG ? "class not registered" : "creation failed"));
  }
  return object;
}

}  // namespace

InvoiceSession::InvoiceSession(const std::string& database, Access access,
                               const std::string& progid)
    : connection_(access == Access::kRead ? OpenForReading(database) : OpenForWriting(database)) {
  invoice_ = CreateServerObject(progid);
  InvokeByName(invoice_.get(), "Connect", CallKind::kSet,
               {Variant::Dispatch(connection_.get())});
}

Variant InvoiceSession::Get(std::string_view member) {
  return InvokeByName(invoice_.get(), member, CallKind::kGet);
}

std::string InvoiceSession::GetText(std::string_view member) { return Get(member).ToString(); }

void InvoiceSession::Let(std::string_view member, Variant value) {
  InvokeByName(invoice_.get(), member, CallKind::kLet, {std::move(value)});
}

void InvoiceSession::Set(std::string_view member, Variant object) {
  InvokeByName(invoice_.get(), member, CallKind::kSet, {std::move(object)});
}

Variant InvoiceSession::Call(std::string_view member) {
  return InvokeByName(invoice_.get(), member, CallKind::kMethod);
}

bool InvoiceSession::Succeeds(std::string_view member) { return Call(member).ToBoolean(); }

}  // namespace tarvik::host
