// Error info records on Windows are oleaut32's: our interfaces are the
// platform's, vtable for vtable (platform/error_info.h), so the pointers are
// handed over as they are. Our header comes first; after <windows.h> the
// names it also defines as macros (S_OK, E_FAIL, interface, ...) are not
// used here.
#include "platform/error_info.h"

#include <windows.h>
#include <oleauto.h>

namespace tarvik {

HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* info) {
  return ::SetErrorInfo(reserved, reinterpret_cast<::IErrorInfo*>(info));
}

HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** info) {
  return ::GetErrorInfo(reserved, reinterpret_cast<::IErrorInfo**>(info));
}

HRESULT CreateErrorInfo(ICreateErrorInfo** info) {
  return ::CreateErrorInfo(reinterpret_cast<::ICreateErrorInfo**>(info));
}

}  // namespace tarvik
