// Variants and safe arrays on Windows are oleaut32's, so what crosses the
// interface is freed by whichever side holds it. Our declarations must match
// the platform's layout byte for byte; the asserts below hold them to it.
#include <cstddef>

#include "platform/error.h"
#include "platform/variant.h"

#include <windows.h>
#include <oleauto.h>

namespace tarvik {

#define TARVIK_SAME_LAYOUT(ours, theirs)   \
  static_assert(sizeof(ours) == sizeof(theirs) && alignof(ours) == alignof(theirs), #ours)
#define TARVIK_SAME_OFFSET(ours, theirs, ours_member, theirs_member) \
  static_assert(offsetof(ours, ours_member) == offsetof(theirs, theirs_member), #ours "." #ours_member)

TARVIK_SAME_LAYOUT(tarvik::GUID, ::GUID);
TARVIK_SAME_LAYOUT(tarvik::VARIANT, ::VARIANT);
TARVIK_SAME_OFFSET(tarvik::VARIANT, ::VARIANT, vt, vt);
TARVIK_SAME_OFFSET(tarvik::VARIANT, ::VARIANT, lVal, lVal);
TARVIK_SAME_LAYOUT(tarvik::DISPPARAMS, ::DISPPARAMS);
TARVIK_SAME_OFFSET(tarvik::DISPPARAMS, ::DISPPARAMS, rgdispidNamedArgs, rgdispidNamedArgs);
TARVIK_SAME_OFFSET(tarvik::DISPPARAMS, ::DISPPARAMS, cArgs, cArgs);
TARVIK_SAME_OFFSET(tarvik::DISPPARAMS, ::DISPPARAMS, cNamedArgs, cNamedArgs);
TARVIK_SAME_LAYOUT(tarvik::EXCEPINFO, ::EXCEPINFO);
TARVIK_SAME_OFFSET(tarvik::EXCEPINFO, ::EXCEPINFO, bstrDescription, bstrDescription);
TARVIK_SAME_OFFSET(tarvik::EXCEPINFO, ::EXCEPINFO, pfnDeferredFillIn, pfnDeferredFillIn);
TARVIK_SAME_OFFSET(tarvik::EXCEPINFO, ::EXCEPINFO, scode, scode);
TARVIK_SAME_LAYOUT(tarvik::SAFEARRAYBOUND, ::SAFEARRAYBOUND);

namespace {

::VARIANT* Theirs(VARIANT* v) { return reinterpret_cast<::VARIANT*>(v); }
// oleaut32 declares its sources non-const; it does not write them.
::VARIANT* Theirs(const VARIANT* v) { return reinterpret_cast<::VARIANT*>(const_cast<VARIANT*>(v)); }
::SAFEARRAY* Theirs(SAFEARRAY* a) { return reinterpret_cast<::SAFEARRAY*>(a); }

}  // namespace

void VariantInit(VARIANT* v) {
  if (v) ::VariantInit(Theirs(v));
}

HRESULT VariantClear(VARIANT* v) { return ::VariantClear(Theirs(v)); }

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) { return ::VariantCopy(Theirs(dest), Theirs(src)); }

HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* src) {
  return ::VariantCopyInd(Theirs(dest), Theirs(src));
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lbound, ULONG count) {
  if (vt != VT_VARIANT) return nullptr;
  return reinterpret_cast<SAFEARRAY*>(::SafeArrayCreateVector(vt, lbound, count));
}

HRESULT SafeArrayDestroy(SAFEARRAY* a) { return ::SafeArrayDestroy(Theirs(a)); }

HRESULT SafeArrayGetLBound(SAFEARRAY* a, UINT dim, LONG* out) {
  return ::SafeArrayGetLBound(Theirs(a), dim, reinterpret_cast<::LONG*>(out));
}

HRESULT SafeArrayGetUBound(SAFEARRAY* a, UINT dim, LONG* out) {
  return ::SafeArrayGetUBound(Theirs(a), dim, reinterpret_cast<::LONG*>(out));
}

HRESULT SafeArrayGetElement(SAFEARRAY* a, LONG* index, void* out) {
  return ::SafeArrayGetElement(Theirs(a), reinterpret_cast<::LONG*>(index), out);
}

HRESULT SafeArrayPutElement(SAFEARRAY* a, LONG* index, void* value) {
  return ::SafeArrayPutElement(Theirs(a), reinterpret_cast<::LONG*>(index), value);
}

}  // namespace tarvik
