// Our boundary structures against the platform's own, member for member:
// the Windows build fails to compile when a size or an offset differs.
// Our headers come first; the platform's macros are not used here.
#include <cstddef>

#include "platform/com.h"
#include "platform/error.h"
#include "platform/error_info.h"
#include "platform/variant.h"

#include <windows.h>
#include <oaidl.h>

#define TARVIK_SAME_LAYOUT(type, member) \
  static_assert(offsetof(tarvik::type, member) == offsetof(::type, member), #type "." #member)

static_assert(sizeof(tarvik::GUID) == sizeof(::GUID));
TARVIK_SAME_LAYOUT(GUID, Data2);
TARVIK_SAME_LAYOUT(GUID, Data3);
TARVIK_SAME_LAYOUT(GUID, Data4);

static_assert(sizeof(tarvik::DECIMAL) == sizeof(::DECIMAL));
TARVIK_SAME_LAYOUT(DECIMAL, scale);
TARVIK_SAME_LAYOUT(DECIMAL, sign);
TARVIK_SAME_LAYOUT(DECIMAL, Hi32);
TARVIK_SAME_LAYOUT(DECIMAL, Lo64);

static_assert(sizeof(tarvik::VARIANT) == sizeof(::VARIANT));
TARVIK_SAME_LAYOUT(VARIANT, vt);
TARVIK_SAME_LAYOUT(VARIANT, lVal);
TARVIK_SAME_LAYOUT(VARIANT, bstrVal);
TARVIK_SAME_LAYOUT(VARIANT, pvRecord);
TARVIK_SAME_LAYOUT(VARIANT, pRecInfo);
TARVIK_SAME_LAYOUT(VARIANT, decVal);

static_assert(sizeof(tarvik::DISPPARAMS) == sizeof(::DISPPARAMS));
TARVIK_SAME_LAYOUT(DISPPARAMS, rgvarg);
TARVIK_SAME_LAYOUT(DISPPARAMS, rgdispidNamedArgs);
TARVIK_SAME_LAYOUT(DISPPARAMS, cArgs);
TARVIK_SAME_LAYOUT(DISPPARAMS, cNamedArgs);

static_assert(sizeof(tarvik::EXCEPINFO) == sizeof(::EXCEPINFO));
TARVIK_SAME_LAYOUT(EXCEPINFO, wCode);
TARVIK_SAME_LAYOUT(EXCEPINFO, bstrSource);
TARVIK_SAME_LAYOUT(EXCEPINFO, bstrDescription);
TARVIK_SAME_LAYOUT(EXCEPINFO, bstrHelpFile);
TARVIK_SAME_LAYOUT(EXCEPINFO, dwHelpContext);
TARVIK_SAME_LAYOUT(EXCEPINFO, pvReserved);
TARVIK_SAME_LAYOUT(EXCEPINFO, pfnDeferredFillIn);
TARVIK_SAME_LAYOUT(EXCEPINFO, scode);

static_assert(sizeof(tarvik::SAFEARRAYBOUND) == sizeof(::SAFEARRAYBOUND));
TARVIK_SAME_LAYOUT(SAFEARRAYBOUND, lLbound);

static_assert(sizeof(tarvik::BOOL) == sizeof(::BOOL));
static_assert(sizeof(tarvik::VARIANT_BOOL) == sizeof(::VARIANT_BOOL));
static_assert(sizeof(tarvik::OLECHAR) == sizeof(::OLECHAR));

