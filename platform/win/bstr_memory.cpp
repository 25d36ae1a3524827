// BSTRs on Windows are oleaut32's: a caller may free what we hand out with
// SysFreeString, and we may free what it hands us.
#include "platform/bstr.h"

#include <windows.h>
#include <oleauto.h>

namespace tarvik {

static_assert(sizeof(OLECHAR) == sizeof(wchar_t));

BSTR SysAllocString(const OLECHAR* text) {
  return reinterpret_cast<BSTR>(::SysAllocString(reinterpret_cast<const wchar_t*>(text)));
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  return reinterpret_cast<BSTR>(::SysAllocStringLen(reinterpret_cast<const wchar_t*>(text), length));
}

void SysFreeString(BSTR s) { ::SysFreeString(reinterpret_cast<::BSTR>(s)); }

UINT SysStringLen(BSTR s) { return ::SysStringLen(reinterpret_cast<::BSTR>(s)); }

}  // namespace tarvik
