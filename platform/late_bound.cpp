#include "platform/late_bound.h"

#include <string>

#include "platform/bstr.h"
#include "platform/error.h"

namespace tarvik {

namespace {

constexpr LCID kUsEnglish = 0x0409;

// Owns the argument VARIANTs of one call.
class ArgumentBlock {
 public:
  explicit ArgumentBlock(const std::vector<Variant>& args) : raw_(args.size()) {
    // DISPPARAMS wants the last argument first.
    for (std::size_t i = 0; i < args.size(); ++i) {
      VARIANT& slot = raw_[args.size() - 1 - i];
      VariantInit(&slot);
      args[i].CopyTo(&slot);
    }
  }
  ~ArgumentBlock() {
    for (VARIANT& v : raw_) VariantClear(&v);
  }
  ArgumentBlock(const ArgumentBlock&) = delete;
  ArgumentBlock& operator=(const ArgumentBlock&) = delete;

  VARIANT* data() { return raw_.empty() ? nullptr : raw_.data(); }
  UINT size() const { return static_cast<UINT>(raw_.size()); }

 private:
  std::vector<VARIANT> raw_;
};

// The exception a server described in EXCEPINFO.
[[noreturn]] void ThrowFromExcepInfo(EXCEPINFO& excep) {
  if (excep.pfnDeferredFillIn) excep.pfnDeferredFillIn(&excep);
  Bstr source = Bstr::Adopt(excep.bstrSource);
  Bstr description = Bstr::Adopt(excep.bstrDescription);
  Bstr help = Bstr::Adopt(excep.bstrHelpFile);
  TakeErrorRecord();  // the EXCEPINFO is the more specific account
  if (Failed(excep.scode)) {
    throw AutomationError::FromHResult(excep.scode, description.utf8(), source.utf8());
  }
  RaiseError(excep.wCode ? excep.wCode : E_FAIL, description.utf8(), source.utf8());
}

}  // namespace

DISPID GetDispId(IDispatch* object, std::string_view member) {
  if (!object) RaiseError(kErrObjectVariableNotSet);
  std::u16string name = Utf16(member);
  OLECHAR* names[] = {name.data()};
  DISPID id = DISPID_UNKNOWN;
  HRESULT h = object->GetIDsOfNames(IID_NULL, names, 1, kUsEnglish, &id);
  if (h == DISP_E_UNKNOWNNAME || h == DISP_E_MEMBERNOTFOUND) {
    RaiseError(kErrObjectDoesntSupport);
  }
  ThrowIfFailed(h);
  return id;
}

bool HasMember(IDispatch* object, std::string_view member) {
  if (!object) return false;
  std::u16string name = Utf16(member);
  OLECHAR* names[] = {name.data()};
  DISPID id = DISPID_UNKNOWN;
  return Succeeded(object->GetIDsOfNames(IID_NULL, names, 1, kUsEnglish, &id));
}

Variant InvokeByName(IDispatch* object, std::string_view member, CallKind kind,
                     std::vector<Variant> args) {
  const DISPID id = GetDispId(object, member);
  WORD flags = 0;
  switch (kind) {
    case CallKind::kMethod: flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET; break;
    case CallKind::kGet: flags = DISPATCH_PROPERTYGET; break;
    case CallKind::kLet: flags = DISPATCH_PROPERTYPUT; break;
    case CallKind::kSet: flags = DISPATCH_PROPERTYPUTREF; break;
  }
  const bool is_put = kind == CallKind::kLet || kind == CallKind::kSet;
  if (is_put && args.empty()) RaiseError(kErrArgumentNotOptional);

  ArgumentBlock block(args);
  DISPID put_id = DISPID_PROPERTYPUT;
  DISPPARAMS params{block.data(), is_put ? &put_id : nullptr, block.size(), is_put ? 1u : 0u};
  Variant result;
  EXCEPINFO excep{};
  UINT arg_err = 0;
  HRESULT h = object->Invoke(id, IID_NULL, kUsEnglish, flags, &params,
                             is_put ? nullptr : result.raw_mut(), &excep, &arg_err);
  if (h == DISP_E_EXCEPTION) ThrowFromExcepInfo(excep);
  // A server that failed without EXCEPINFO may still have left strings there.
  SysFreeString(excep.bstrSource);
  SysFreeString(excep.bstrDescription);
  SysFreeString(excep.bstrHelpFile);
  ThrowIfFailed(h);
  return result;
}

}  // namespace tarvik
