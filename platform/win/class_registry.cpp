// The class registry on Windows is the system registry: class id, program
// id, server path and threading model under HKEY_CLASSES_ROOT, where any
// automation client (CoCreateInstance, CreateObject) finds them. The type
// library and its interfaces are registered by RegisterTypeLib, not here.
#include "platform/class_registry.h"

#include "platform/error.h"

#include <windows.h>
#include <objbase.h>

#undef RegisterClass
#undef UnregisterClass

#include "platform/win/wide_text.h"

#include <string>
#include <utility>

namespace tarvik {

namespace {

constexpr std::int32_t kErrPathAccess = 75;

using win::Wide;

// An open registry key, closed when it goes out of scope.
class Key {
 public:
  Key() = default;
  Key(Key&& o) noexcept : key_(std::exchange(o.key_, nullptr)) {}
  Key& operator=(Key&&) = delete;
  ~Key() {
    if (key_) RegCloseKey(key_);
  }
  static Key Create(const std::wstring& path) {
    Key k;
    const ::LONG rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_WRITE, nullptr, &k.key_, nullptr);
    if (rc != ERROR_SUCCESS) {
      RaiseError(kErrPathAccess, "Cannot write the registry key HKEY_CLASSES_ROOT\\" + win::Utf8(path) +
                                     " (error " + std::to_string(rc) + ")");
    }
    return k;
  }
  static Key Open(const std::wstring& path) {
    Key k;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &k.key_) != ERROR_SUCCESS) k.key_ = nullptr;
    return k;
  }
  explicit operator bool() const { return key_ != nullptr; }

  void Set(const wchar_t* name, const std::string& value) {
    const std::wstring w = Wide(value);
    const ::LONG rc = RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const ::BYTE*>(w.c_str()),
                                   static_cast<::DWORD>((w.size() + 1) * sizeof(wchar_t)));
    if (rc != ERROR_SUCCESS) {
      RaiseError(kErrPathAccess, "Cannot write a registry value (error " + std::to_string(rc) + ")");
    }
  }
  std::string Get(const wchar_t* name) const {
    if (!key_) return {};
    wchar_t buffer[1024];
    ::DWORD bytes = sizeof buffer - sizeof(wchar_t);
    ::DWORD type = 0;
    if (RegQueryValueExW(key_, name, nullptr, &type, reinterpret_cast<::BYTE*>(buffer), &bytes) != ERROR_SUCCESS ||
        type != REG_SZ) {
      return {};
    }
    buffer[bytes / sizeof(wchar_t)] = L'\0';
    return win::Utf8(buffer);
  }

 private:
  HKEY key_ = nullptr;
};

std::wstring ClassKey(const std::string& clsid) { return L"CLSID\\" + Wide(clsid); }

std::optional<ClassRegistration> ReadClass(const std::string& clsid) {
  Key server = Key::Open(ClassKey(clsid) + L"\\InprocServer32");
  if (!server) return std::nullopt;
  ClassRegistration r;
  r.clsid = clsid;
  r.library = server.Get(nullptr);
  r.threading = server.Get(L"ThreadingModel");
  r.progid = Key::Open(ClassKey(clsid) + L"\\ProgID").Get(nullptr);
  const std::string libid = Key::Open(ClassKey(clsid) + L"\\TypeLib").Get(nullptr);
  if (!libid.empty()) r.typelib = libid;
  return r;
}

bool DeleteTree(const std::wstring& path) {
  RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str());
  return RegDeleteKeyW(HKEY_CLASSES_ROOT, path.c_str()) == ERROR_SUCCESS;
}

}  // namespace

std::string ClassRegistryPath() { return "HKEY_CLASSES_ROOT"; }

void RegisterClass(const ClassRegistration& reg) {
  const std::wstring clsid_key = ClassKey(reg.clsid);
  Key::Create(clsid_key).Set(nullptr, reg.progid);
  Key server = Key::Create(clsid_key + L"\\InprocServer32");
  server.Set(nullptr, reg.library);
  server.Set(L"ThreadingModel", reg.threading);
  Key::Create(clsid_key + L"\\ProgID").Set(nullptr, reg.progid);
  if (!reg.typelib.empty()) {
    // "{libid} Name major.minor": the key holds the library id alone.
    Key::Create(clsid_key + L"\\TypeLib").Set(nullptr, reg.typelib.substr(0, reg.typelib.find(' ')));
  }
  Key::Create(Wide(reg.progid)).Set(nullptr, reg.progid);
  Key::Create(Wide(reg.progid) + L"\\CLSID").Set(nullptr, reg.clsid);
}

bool UnregisterClass(const std::string& clsid) {
  const std::optional<ClassRegistration> reg = ReadClass(clsid);
  if (!reg) return false;
  // The program id goes only while it still names this class.
  if (!reg->progid.empty() && Key::Open(Wide(reg->progid) + L"\\CLSID").Get(nullptr) == clsid) {
    DeleteTree(Wide(reg->progid));
  }
  return DeleteTree(ClassKey(clsid));
}

std::optional<ClassRegistration> FindClassByProgId(const std::string& progid) {
  const std::string clsid = Key::Open(Wide(progid) + L"\\CLSID").Get(nullptr);
  if (clsid.empty()) return std::nullopt;
  return ReadClass(clsid);
}

std::vector<ClassRegistration> RegisteredClasses() {
  // Program ids are the top-level keys with a CLSID below them.
  std::vector<ClassRegistration> out;
  wchar_t name[256];
  for (::DWORD i = 0;; ++i) {
    ::DWORD length = 256;
    const ::LONG rc = RegEnumKeyExW(HKEY_CLASSES_ROOT, i, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS || name[0] == L'.' || name[0] == L'{') continue;
    const std::string clsid = Key::Open(std::wstring(name) + L"\\CLSID").Get(nullptr);
    if (clsid.empty()) continue;
    if (std::optional<ClassRegistration> r = ReadClass(clsid)) out.push_back(std::move(*r));
  }
  return out;
}

HRESULT CreateObject(const std::string& progid, ComPtr<IDispatch>* out) {
  const std::wstring wide = Wide(progid);
  ::CLSID clsid{};
  HRESULT h = CLSIDFromProgID(wide.c_str(), &clsid);
  if (Failed(h)) return h;
  ComPtr<IDispatch> object;
  h = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, ::IID_IDispatch, object.put_void());
  if (Failed(h)) return h;
  *out = std::move(object);
  return 0;
}

}  // namespace tarvik
