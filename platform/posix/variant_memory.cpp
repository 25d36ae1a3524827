// Variant and safe-array storage of our own runtime: what oleaut32 provides
// on Windows (platform/win/variant_memory.cpp hands these to it).
#include <cstddef>
#include <new>

#include "platform/variant.h"

namespace tarvik {

// Standard layout of a one-dimensional array descriptor.
struct SAFEARRAY {
  USHORT cDims;
  USHORT fFeatures;
  ULONG cbElements;
  ULONG cLocks;
  void* pvData;
  SAFEARRAYBOUND rgsabound[1];
};

// The platform's descriptor: 32 bytes on 64-bit (the data pointer aligned
// to 8 after the four counts), 24 on 32-bit.
static_assert(sizeof(SAFEARRAY) == (sizeof(void*) == 8 ? 32 : 24));
static_assert(offsetof(SAFEARRAY, cDims) == 0);
static_assert(offsetof(SAFEARRAY, fFeatures) == 2);
static_assert(offsetof(SAFEARRAY, cbElements) == 4);
static_assert(offsetof(SAFEARRAY, cLocks) == 8);
static_assert(offsetof(SAFEARRAY, pvData) == (sizeof(void*) == 8 ? 16 : 12));
static_assert(offsetof(SAFEARRAY, rgsabound) == (sizeof(void*) == 8 ? 24 : 16));

namespace {

constexpr HRESULT DISP_E_BADINDEX = hr(0x8002000B);

VARIANT* Elements(SAFEARRAY* a) { return static_cast<VARIANT*>(a->pvData); }

SAFEARRAY* CopyArray(const SAFEARRAY* a) {
  if (!a) return nullptr;
  SAFEARRAY* c = SafeArrayCreateVector(VT_VARIANT, a->rgsabound[0].lLbound,
                                       a->rgsabound[0].cElements);
  if (!c) return nullptr;
  const VARIANT* src = static_cast<const VARIANT*>(a->pvData);
  for (ULONG i = 0; i < a->rgsabound[0].cElements; ++i) {
    if (Failed(VariantCopy(&Elements(c)[i], &src[i]))) {
      SafeArrayDestroy(c);
      return nullptr;
    }
  }
  return c;
}

HRESULT CheckIndex(SAFEARRAY* a, const LONG* index, VARIANT** slot) {
  if (!a || !index) return E_INVALIDARG;
  const std::int64_t offset = static_cast<std::int64_t>(*index) - a->rgsabound[0].lLbound;
  if (offset < 0 || offset >= static_cast<std::int64_t>(a->rgsabound[0].cElements)) {
    return DISP_E_BADINDEX;
  }
  *slot = &Elements(a)[offset];
  return S_OK;
}

}  // namespace

void VariantInit(VARIANT* v) {
  if (!v) return;
  *v = VARIANT{};
  v->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* v) {
  if (!v) return E_INVALIDARG;
  if (!(v->vt & VT_BYREF)) {
    if (v->vt & VT_ARRAY) {
      SafeArrayDestroy(v->parray);
    } else {
      switch (v->vt) {
        case VT_BSTR: SysFreeString(v->bstrVal); break;
        case VT_DISPATCH: if (v->pdispVal) v->pdispVal->Release(); break;
        case VT_UNKNOWN: if (v->punkVal) v->punkVal->Release(); break;
        default: break;
      }
    }
  }
  VariantInit(v);
  return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) {
  if (!dest || !src) return E_INVALIDARG;
  if (dest == src) return S_OK;
  VARIANT t = *src;
  if (!(src->vt & VT_BYREF)) {
    if (src->vt & VT_ARRAY) {
      t.parray = CopyArray(src->parray);
      if (src->parray && !t.parray) return E_OUTOFMEMORY;
    } else if (src->vt == VT_BSTR && src->bstrVal) {
      t.bstrVal = SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal));
      if (!t.bstrVal) return E_OUTOFMEMORY;
    } else if (src->vt == VT_DISPATCH && src->pdispVal) {
      src->pdispVal->AddRef();
    } else if (src->vt == VT_UNKNOWN && src->punkVal) {
      src->punkVal->AddRef();
    }
  }
  VariantClear(dest);
  *dest = t;
  return S_OK;
}

HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* src) {
  if (!dest || !src) return E_INVALIDARG;
  if (!(src->vt & VT_BYREF)) return VariantCopy(dest, src);
  if (!src->byref) return E_INVALIDARG;
  const VARTYPE base = static_cast<VARTYPE>(src->vt & ~VT_BYREF);
  VARIANT t;
  VariantInit(&t);
  t.vt = base;
  if (base & VT_ARRAY) {
    t.parray = *src->pparray;
  } else {
    switch (base) {
      case VT_I1: case VT_UI1: t.bVal = *src->pbVal; break;
      case VT_I2: case VT_UI2: t.iVal = *src->piVal; break;
      case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_ERROR:
        t.lVal = *src->plVal;
        break;
      case VT_I8: case VT_UI8: t.llVal = *static_cast<std::int64_t*>(src->byref); break;
      case VT_R4: t.fltVal = *src->pfltVal; break;
      case VT_R8: t.dblVal = *src->pdblVal; break;
      case VT_DATE: t.date = *src->pdate; break;
      case VT_CY: t.cyVal = *static_cast<CY*>(src->byref); break;
      case VT_BOOL: t.boolVal = *src->pboolVal; break;
      case VT_BSTR: t.bstrVal = *src->pbstrVal; break;
      case VT_DISPATCH: t.pdispVal = *src->ppdispVal; break;
      case VT_UNKNOWN: t.punkVal = *src->ppunkVal; break;
      case VT_VARIANT:
        if (src->pvarVal->vt & VT_BYREF) return E_INVALIDARG;
        return VariantCopy(dest, src->pvarVal);
      default:
        return DISP_E_TYPEMISMATCH;
    }
  }
  // t borrows the referenced value; VariantCopy takes its own reference.
  if (dest == src) {
    VARIANT copy;
    VariantInit(&copy);
    HRESULT h = VariantCopy(&copy, &t);
    if (Failed(h)) return h;
    *dest = copy;
    return S_OK;
  }
  return VariantCopy(dest, &t);
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lbound, ULONG count) {
  if (vt != VT_VARIANT) return nullptr;
  auto* a = new (std::nothrow) SAFEARRAY{};
  if (!a) return nullptr;
  auto* data = new (std::nothrow) VARIANT[count ? count : 1];
  if (!data) {
    delete a;
    return nullptr;
  }
  for (ULONG i = 0; i < count; ++i) VariantInit(&data[i]);
  a->cDims = 1;
  a->fFeatures = 0x0800;  // FADF_VARIANT
  a->cbElements = sizeof(VARIANT);
  a->pvData = data;
  a->rgsabound[0] = {count, lbound};
  return a;
}

HRESULT SafeArrayDestroy(SAFEARRAY* a) {
  if (!a) return S_OK;
  for (ULONG i = 0; i < a->rgsabound[0].cElements; ++i) VariantClear(&Elements(a)[i]);
  delete[] Elements(a);
  delete a;
  return S_OK;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* a, UINT dim, LONG* out) {
  if (!a || !out) return E_INVALIDARG;
  if (dim != 1) return DISP_E_BADINDEX;
  *out = a->rgsabound[0].lLbound;
  return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* a, UINT dim, LONG* out) {
  if (!a || !out) return E_INVALIDARG;
  if (dim != 1) return DISP_E_BADINDEX;
  *out = static_cast<LONG>(a->rgsabound[0].lLbound + static_cast<std::int64_t>(a->rgsabound[0].cElements) - 1);
  return S_OK;
}

// out is taken as uninitialised storage, as for any out-parameter.
HRESULT SafeArrayGetElement(SAFEARRAY* a, LONG* index, void* out) {
  VARIANT* slot = nullptr;
  HRESULT h = CheckIndex(a, index, &slot);
  if (Failed(h)) return h;
  if (!out) return E_INVALIDARG;
  auto* v = static_cast<VARIANT*>(out);
  VariantInit(v);
  return VariantCopy(v, slot);
}

HRESULT SafeArrayPutElement(SAFEARRAY* a, LONG* index, void* value) {
  VARIANT* slot = nullptr;
  HRESULT h = CheckIndex(a, index, &slot);
  if (Failed(h)) return h;
  if (!value) return E_INVALIDARG;
  return VariantCopy(slot, static_cast<VARIANT*>(value));
}

}  // namespace tarvik
