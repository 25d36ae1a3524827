// Late-bound calls for the tests of dispatch, keeping what a host sees: the
// HRESULT, the result's VT, EXCEPINFO and the failing argument index.
#pragma once

#include <string>
#include <vector>

#include "platform/bstr.h"
#include "platform/com.h"
#include "platform/error.h"
#include "platform/variant.h"

namespace tarvik::testing {

struct CallOutcome {
  HRESULT hr = S_OK;
  Variant result;
  HRESULT scode = S_OK;     // EXCEPINFO.scode when hr is DISP_E_EXCEPTION
  std::string description;  // EXCEPINFO.bstrDescription
  UINT arg_err = ~0u;
};

inline DISPID DispIdOf(IDispatch* object, const std::string& name) {
  std::u16string wide = Utf16(name);
  OLECHAR* names[] = {wide.data()};
  DISPID id = DISPID_UNKNOWN;
  HRESULT h = object->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
  return Succeeded(h) ? id : DISPID_UNKNOWN;
}

// args in natural order; for puts the last one is the value.
inline CallOutcome CallByName(IDispatch* object, const std::string& name, WORD flags,
                              std::vector<Variant> args = {}) {
  CallOutcome out;
  DISPID id = DispIdOf(object, name);
  if (id == DISPID_UNKNOWN) {
    out.hr = DISP_E_UNKNOWNNAME;
    return out;
  }
  std::vector<VARIANT> reversed;
  for (auto it = args.rbegin(); it != args.rend(); ++it) reversed.push_back(it->raw());
  DISPID put = DISPID_PROPERTYPUT;
  bool is_put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
  DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), is_put ? &put : nullptr,
                    static_cast<UINT>(reversed.size()), is_put ? 1u : 0u};
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO excep{};
  out.hr = object->Invoke(id, IID_NULL, 0, flags, &params, &result, &excep, &out.arg_err);
  out.result = Variant::Adopt(&result);
  if (out.hr == DISP_E_EXCEPTION) {
    out.scode = excep.scode;
    out.description = Utf8(excep.bstrDescription);
  }
  SysFreeString(excep.bstrSource);
  SysFreeString(excep.bstrDescription);
  SysFreeString(excep.bstrHelpFile);
  return out;
}

inline CallOutcome GetProp(IDispatch* o, const std::string& name) {
  return CallByName(o, name, DISPATCH_PROPERTYGET | DISPATCH_METHOD);
}
inline CallOutcome LetProp(IDispatch* o, const std::string& name, Variant v) {
  return CallByName(o, name, DISPATCH_PROPERTYPUT, {std::move(v)});
}
inline CallOutcome SetProp(IDispatch* o, const std::string& name, Variant v) {
  return CallByName(o, name, DISPATCH_PROPERTYPUTREF, {std::move(v)});
}
inline CallOutcome CallMethod(IDispatch* o, const std::string& name,
                              std::vector<Variant> args = {}) {
  return CallByName(o, name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, std::move(args));
}

}  // namespace tarvik::testing
