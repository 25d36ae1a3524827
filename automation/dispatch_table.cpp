#include "automation/dispatch_table.h"

namespace tarvik::automation {
namespace detail {

HRESULT ChangeTo(const VARIANT& src, VARTYPE vt, Variant* out) {
  Variant value;
  HRESULT h = VariantCopyInd(value.raw_mut(), &src);
  if (Failed(h)) return h;
  if (value.vt() == vt) {
    *out = std::move(value);
    return S_OK;
  }
  h = VariantChangeType(out->raw_mut(), &value.raw(), 0, vt);
  if (Failed(h)) return h;
  return out->vt() == vt ? S_OK : DISP_E_TYPEMISMATCH;
}

HRESULT InArg<IDispatch*>::Load(const VARIANT& src) {
  const VARIANT* v = &src;
  if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
  switch (v->vt) {
    case VT_EMPTY:
      object = nullptr;
      return S_OK;
    case VT_DISPATCH:
      object = ComPtr<IDispatch>(v->pdispVal);
      return S_OK;
    case VT_DISPATCH | VT_BYREF:
      object = ComPtr<IDispatch>(v->ppdispVal ? *v->ppdispVal : nullptr);
      return S_OK;
    case VT_UNKNOWN:
    case VT_UNKNOWN | VT_BYREF: {
      IUnknown* unk = v->vt == VT_UNKNOWN ? v->punkVal : (v->ppunkVal ? *v->ppunkVal : nullptr);
      if (!unk) {
        object = nullptr;
        return S_OK;
      }
      if (Failed(unk->QueryInterface(IID_IDispatch, object.put_void()))) return DISP_E_TYPEMISMATCH;
      return S_OK;
    }
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

HRESULT InArg<VARIANT*>::Load(const VARIANT& src) {
  // By reference: a VT_BYREF|VT_VARIANT points at the caller's variable;
  // anything else is a temporary the caller handed over.
  VARIANT* v = const_cast<VARIANT*>(&src);
  if (v->vt == (VT_BYREF | VT_VARIANT)) {
    if (!v->pvarVal) return E_INVALIDARG;
    v = v->pvarVal;
  }
  target = v;
  return S_OK;
}

void StoreBoolean(VARIANT_BOOL v, VARIANT* result) {
  if (!result) return;
  result->vt = VT_BOOL;
  result->boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
}

void StoreLong(LONG v, VARIANT* result) {
  if (!result) return;
  result->vt = VT_I4;
  result->lVal = v;
}

void StoreByte(BYTE v, VARIANT* result) {
  if (!result) return;
  result->vt = VT_UI1;
  result->bVal = v;
}

void StoreString(BSTR v, VARIANT* result) {
  if (!result) {
    SysFreeString(v);
    return;
  }
  result->vt = VT_BSTR;
  result->bstrVal = v;
}

void StoreObject(IDispatch* v, VARIANT* result) {
  if (!result) {
    if (v) v->Release();
    return;
  }
  result->vt = VT_DISPATCH;
  result->pdispVal = v;
}

}  // namespace detail
}  // namespace tarvik::automation
