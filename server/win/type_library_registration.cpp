#include "server/type_library_registration.h"

#include "platform/bstr.h"
#include "tarvik/guids.h"

#include <windows.h>
#include <oleauto.h>

#include <string>

namespace tarvik::server {

namespace {

const ::GUID& LibraryId() { return reinterpret_cast<const ::GUID&>(LIBID_TarvikInvoice); }

}  // namespace

HRESULT RegisterTypeLibrary(const std::string& library_path) {
  std::u16string path = Utf16(library_path);
  auto* wide = reinterpret_cast<wchar_t*>(path.data());
  ITypeLib* library = nullptr;
  ::HRESULT h = LoadTypeLibEx(wide, REGKIND_NONE, &library);
  if (FAILED(h)) return h;
  h = RegisterTypeLib(library, wide, nullptr);
  library->Release();
  return h;
}

HRESULT UnregisterTypeLibrary() {
  // Never registered (or already gone) is not a failure of unregistering;
  // what UnRegisterTypeLib answers then differs between implementations.
  wchar_t libid[64];
  StringFromGUID2(LibraryId(), libid, 64);
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, (std::wstring(L"TypeLib\\") + libid).c_str(), 0, KEY_READ, &key) !=
      ERROR_SUCCESS) {
    return 0;
  }
  RegCloseKey(key);
  const ::HRESULT h = UnRegisterTypeLib(LibraryId(), 1, 0, LOCALE_NEUTRAL, SYS_WIN64);
  return h == TYPE_E_LIBNOTREGISTERED ? 0 : h;
}

}  // namespace tarvik::server
