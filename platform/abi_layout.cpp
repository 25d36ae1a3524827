// The structures that cross the interface boundary, held to the platform's
// documented layout: sizes and member offsets on 64-bit (LP64 here, LLP64
// on Windows; both have 8-byte pointers and a 4-byte LONG) and on 32-bit.
// A change that breaks the binary contract fails to compile here.
// (The posix SAFEARRAY descriptor is checked beside its definition.)
#include <cstddef>

#include "platform/com.h"
#include "platform/error.h"
#include "platform/variant.h"

namespace tarvik {
namespace {

constexpr bool k64 = sizeof(void*) == 8;
static_assert(sizeof(void*) == 8 || sizeof(void*) == 4, "only 32- and 64-bit layouts are known");

// Scalars of the interface.
static_assert(sizeof(HRESULT) == 4 && sizeof(LONG) == 4 && sizeof(ULONG) == 4);
static_assert(sizeof(SHORT) == 2 && sizeof(USHORT) == 2 && sizeof(WORD) == 2);
static_assert(sizeof(DWORD) == 4 && sizeof(UINT) == 4 && sizeof(LCID) == 4 && sizeof(DISPID) == 4);
static_assert(sizeof(BOOL) == 4 && sizeof(VARIANT_BOOL) == 2 && sizeof(OLECHAR) == 2);
static_assert(sizeof(DATE) == 8 && sizeof(CY) == 8 && sizeof(VARTYPE) == 2);

// GUID: 16 bytes, no padding.
static_assert(sizeof(GUID) == 16);
static_assert(offsetof(GUID, Data1) == 0);
static_assert(offsetof(GUID, Data2) == 4);
static_assert(offsetof(GUID, Data3) == 6);
static_assert(offsetof(GUID, Data4) == 8);

// DECIMAL: 16 bytes; its first word is the VARIANT's type tag.
static_assert(sizeof(DECIMAL) == 16);
static_assert(offsetof(DECIMAL, wReserved) == 0);
static_assert(offsetof(DECIMAL, scale) == 2);
static_assert(offsetof(DECIMAL, sign) == 3);
static_assert(offsetof(DECIMAL, signscale) == 2);
static_assert(offsetof(DECIMAL, Hi32) == 4);
static_assert(offsetof(DECIMAL, Lo32) == 8);
static_assert(offsetof(DECIMAL, Mid32) == 12);
static_assert(offsetof(DECIMAL, Lo64) == 8);

// VARIANT: the tag at 0, the value at 8, a record's two pointers after it.
static_assert(sizeof(VARIANT) == (k64 ? 24 : 16));
static_assert(alignof(VARIANT) == 8);
static_assert(offsetof(VARIANT, vt) == 0);
static_assert(offsetof(VARIANT, wReserved1) == 2);
static_assert(offsetof(VARIANT, wReserved2) == 4);
static_assert(offsetof(VARIANT, wReserved3) == 6);
static_assert(offsetof(VARIANT, llVal) == 8);
static_assert(offsetof(VARIANT, lVal) == 8);
static_assert(offsetof(VARIANT, dblVal) == 8);
static_assert(offsetof(VARIANT, bstrVal) == 8);
static_assert(offsetof(VARIANT, pdispVal) == 8);
static_assert(offsetof(VARIANT, byref) == 8);
static_assert(offsetof(VARIANT, pvRecord) == 8);
static_assert(offsetof(VARIANT, pRecInfo) == (k64 ? 16 : 12));
static_assert(offsetof(VARIANT, decVal) == 0);
static_assert(sizeof(VARIANTARG) == sizeof(VARIANT));

// DISPPARAMS: two pointers, then the two counts.
static_assert(sizeof(DISPPARAMS) == (k64 ? 24 : 16));
static_assert(offsetof(DISPPARAMS, rgvarg) == 0);
static_assert(offsetof(DISPPARAMS, rgdispidNamedArgs) == (k64 ? 8 : 4));
static_assert(offsetof(DISPPARAMS, cArgs) == (k64 ? 16 : 8));
static_assert(offsetof(DISPPARAMS, cNamedArgs) == (k64 ? 20 : 12));

// EXCEPINFO: two words, three strings, the help context, two pointers, the
// code (padded to pointer alignment on 64-bit).
static_assert(sizeof(EXCEPINFO) == (k64 ? 64 : 32));
static_assert(offsetof(EXCEPINFO, wCode) == 0);
static_assert(offsetof(EXCEPINFO, wReserved) == 2);
static_assert(offsetof(EXCEPINFO, bstrSource) == (k64 ? 8 : 4));
static_assert(offsetof(EXCEPINFO, bstrDescription) == (k64 ? 16 : 8));
static_assert(offsetof(EXCEPINFO, bstrHelpFile) == (k64 ? 24 : 12));
static_assert(offsetof(EXCEPINFO, dwHelpContext) == (k64 ? 32 : 16));
static_assert(offsetof(EXCEPINFO, pvReserved) == (k64 ? 40 : 20));
static_assert(offsetof(EXCEPINFO, pfnDeferredFillIn) == (k64 ? 48 : 24));
static_assert(offsetof(EXCEPINFO, scode) == (k64 ? 56 : 28));

// SAFEARRAYBOUND: count, then lower bound.
static_assert(sizeof(SAFEARRAYBOUND) == 8);
static_assert(offsetof(SAFEARRAYBOUND, cElements) == 0);
static_assert(offsetof(SAFEARRAYBOUND, lLbound) == 4);

// An interface pointer is one vtable pointer.
static_assert(sizeof(IUnknown) == sizeof(void*));
static_assert(sizeof(IDispatch) == sizeof(void*));

}  // namespace
}  // namespace tarvik
