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

// The ids GetIDsOfNames gives the member and argument names, and its code.
struct NameIds {
  HRESULT hr = S_OK;
  std::vector<DISPID> ids;
};
inline NameIds IdsOfNames(IDispatch* object, const std::vector<std::string>& names) {
  std::vector<std::u16string> wide;
  for (const std::string& n : names) wide.push_back(Utf16(n));
  std::vector<OLECHAR*> raw;
  for (std::u16string& w : wide) raw.push_back(w.data());
  NameIds out;
  out.ids.assign(names.size(), 12345);  // proves every slot is written
  out.hr = object->GetIDsOfNames(IID_NULL, raw.data(), static_cast<UINT>(raw.size()), 0,
                                 out.ids.data());
  return out;
}

struct NamedArg {
  std::string name;
  Variant value;
};

// A method call as a script makes one with named arguments: positional
// arguments (natural order) first, then the named ones, whose names are
// resolved together with the member's. A refused name answers GetIDsOfNames'
// code in hr.
inline CallOutcome CallWithNames(IDispatch* object, const std::string& member,
                                 std::vector<Variant> positional, std::vector<NamedArg> named,
                                 WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET) {
  std::vector<std::string> names = {member};
  for (const NamedArg& a : named) names.push_back(a.name);
  NameIds resolved = IdsOfNames(object, names);
  CallOutcome out;
  if (Failed(resolved.hr)) {
    out.hr = resolved.hr;
    return out;
  }
  // rgvarg: the named ones first (in the order of their ids), then the
  // positional ones last first.
  std::vector<VARIANT> args;
  for (const NamedArg& a : named) args.push_back(a.value.raw());
  for (auto it = positional.rbegin(); it != positional.rend(); ++it) args.push_back(it->raw());
  std::vector<DISPID> named_ids(resolved.ids.begin() + 1, resolved.ids.end());
  DISPPARAMS params{args.empty() ? nullptr : args.data(),
                    named_ids.empty() ? nullptr : named_ids.data(),
                    static_cast<UINT>(args.size()), static_cast<UINT>(named_ids.size())};
  VARIANT result;
  VariantInit(&result);
  EXCEPINFO excep{};
  out.hr = object->Invoke(resolved.ids[0], IID_NULL, 0, flags, &params, &result, &excep,
                          &out.arg_err);
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

}  // namespace tarvik::testing
