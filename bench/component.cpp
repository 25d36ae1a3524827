#include "bench/component.h"

#include <stdexcept>

#include "invoice/invoice.h"
#include "platform/late_bound.h"

namespace tarvik::bench {

ComponentHost::ComponentHost(const std::string& path)
    : connection_(data::OpenConnection(path)),
      invoice_(ComPtr<IDispatch>(invoice::NewInvoice().get())) {
  InvokeByName(invoice_.get(), "Connect", CallKind::kSet, {Variant::Dispatch(connection_.get())});
  Let("ShowMessageBox", Variant::Boolean(false));
}

void ComponentHost::Let(const std::string& member, Variant value) {
  InvokeByName(invoice_.get(), member, CallKind::kLet, {std::move(value)});
}

Variant ComponentHost::Call(const std::string& member, std::vector<Variant> args) {
  return InvokeByName(invoice_.get(), member, CallKind::kMethod, std::move(args));
}

bool ComponentHost::Succeeds(const std::string& member, std::vector<Variant> args) {
  return Call(member, std::move(args)).ToBoolean();
}

void ComponentHost::SaveOneOrder(const std::string& order) {
  Let("InvoiceNo", Call("Get_Next_Invoice_No"));
  Let("PrintInvoiceBy", Variant::Long(0));
  Let("BeginOrder", Variant::String(order));
  Let("EndOrder", Variant::String(order));
  Let("TransactionMode", Variant::Long(1));
  if (!Succeeds("Save")) throw std::runtime_error("Save answered False");
}

}  // namespace tarvik::bench
