#include "platform/module_path.h"

#include "platform/bstr.h"

#include <windows.h>

namespace tarvik {

std::string ModulePathOf(const void* address) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          static_cast<LPCWSTR>(address), &module)) {
    return {};
  }
  wchar_t path[MAX_PATH * 4];
  const ::DWORD length = GetModuleFileNameW(module, path, MAX_PATH * 4);
  if (length == 0 || length >= MAX_PATH * 4) return {};
  return Utf8(std::u16string_view(reinterpret_cast<const char16_t*>(path), length));
}

}  // namespace tarvik
