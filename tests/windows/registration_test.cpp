// Registration of the two servers in the real registry, and creation through
// it, as any automation client does: only Windows APIs here.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <string>
#include <vector>

namespace {

std::wstring BesideThisProgram(const wchar_t* file) {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, n);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1) + file;
}

bool KeyExists(const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

std::wstring Value(const std::wstring& path, const wchar_t* name) {
  wchar_t buffer[1024] = {};
  DWORD bytes = sizeof buffer - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &bytes) != ERROR_SUCCESS) {
    return L"<missing>";
  }
  return buffer;
}

std::wstring ClsidOf(const wchar_t* progid) {
  CLSID clsid{};
  if (FAILED(CLSIDFromProgID(progid, &clsid))) return L"";
  wchar_t text[64];
  StringFromGUID2(clsid, text, 64);
  return text;
}

// A server library loaded by path, with its two registration entry points.
class Server {
 public:
  explicit Server(const wchar_t* file) : path_(BesideThisProgram(file)) {
    module_ = LoadLibraryExW(path_.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }
  ~Server() {
    if (module_) FreeLibrary(module_);
  }
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  bool loaded() const { return module_ != nullptr; }
  const std::wstring& path() const { return path_; }
  HRESULT Call(const char* entry) const {
    using Fn = HRESULT(STDAPICALLTYPE*)();
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, entry)));
    return fn ? fn() : E_NOTIMPL;
  }

 private:
  std::wstring path_;
  HMODULE module_ = nullptr;
};

class Registration : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
  void TearDown() override { CoUninitialize(); }
};

struct ClassKeys {
  const wchar_t* progid;
  const wchar_t* library;
};

TEST_F(Registration, WritesEveryKeyAClientNeedsAndRemovesThemAll) {
  const ClassKeys classes[] = {{L"TarvikInvoice.Invoice", L"TarvikInvoice.dll"},
                               {L"TarvikInvoice.BackOrder", L"TarvikInvoice.dll"},
                               {L"Vessa.HostConnection", L"Vessa.dll"}};
  Server invoice(L"TarvikInvoice.dll");
  Server vessa(L"Vessa.dll");
  ASSERT_TRUE(invoice.loaded() && vessa.loaded());
  ASSERT_EQ(invoice.Call("DllRegisterServer"), S_OK);
  ASSERT_EQ(vessa.Call("DllRegisterServer"), S_OK);

  std::vector<std::wstring> clsids;
  for (const ClassKeys& c : classes) {
    SCOPED_TRACE(std::string(c.progid, c.progid + wcslen(c.progid)));
    const std::wstring clsid = ClsidOf(c.progid);
    ASSERT_FALSE(clsid.empty());
    clsids.push_back(clsid);
    const std::wstring server = L"CLSID\\" + clsid + L"\\InprocServer32";
    EXPECT_EQ(lstrcmpiW(Value(server, nullptr).c_str(), BesideThisProgram(c.library).c_str()), 0)
        << "server path " << Value(server, nullptr).size();
    EXPECT_EQ(Value(server, L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(Value(L"CLSID\\" + clsid + L"\\ProgID", nullptr), c.progid);
  }

  // The type library and its dual interfaces are registered with it.
  ITypeLib* library = nullptr;
  const std::wstring libid = Value(L"CLSID\\" + clsids[0] + L"\\TypeLib", nullptr);
  GUID libguid{};
  ASSERT_TRUE(SUCCEEDED(CLSIDFromString(libid.c_str(), &libguid)));
  ASSERT_EQ(LoadRegTypeLib(libguid, 1, 0, LOCALE_NEUTRAL, &library), S_OK);
  ITypeInfo* info = nullptr;
  CLSID invoice_clsid{};
  CLSIDFromString(clsids[0].c_str(), &invoice_clsid);
  ASSERT_EQ(library->GetTypeInfoOfGuid(invoice_clsid, &info), S_OK);
  info->Release();
  library->Release();

  ASSERT_EQ(invoice.Call("DllUnregisterServer"), S_OK);
  ASSERT_EQ(vessa.Call("DllUnregisterServer"), S_OK);
  for (std::size_t i = 0; i < clsids.size(); ++i) {
    EXPECT_FALSE(KeyExists(L"CLSID\\" + clsids[i]));
    EXPECT_FALSE(KeyExists(classes[i].progid));
  }
  EXPECT_FALSE(KeyExists(L"TypeLib\\" + libid));
  // Unregistering twice finds nothing to remove and says so without failing.
  EXPECT_TRUE(SUCCEEDED(invoice.Call("DllUnregisterServer")));

  // Leave the servers registered for the scripts that run after us.
  ASSERT_EQ(invoice.Call("DllRegisterServer"), S_OK);
  ASSERT_EQ(vessa.Call("DllRegisterServer"), S_OK);
}

TEST_F(Registration, UnknownProgramIdIsClassNotRegistered) {
  CLSID clsid{};
  EXPECT_EQ(CLSIDFromProgID(L"TarvikInvoice.Nothing", &clsid), CO_E_CLASSSTRING);
}

TEST_F(Registration, ClassObjectOfAForeignClassIsRefused) {
  Server invoice(L"TarvikInvoice.dll");
  ASSERT_TRUE(invoice.loaded());
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  auto get = reinterpret_cast<GetClassObject>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(invoice.path().c_str()), "DllGetClassObject")));
  ASSERT_NE(get, nullptr);
  void* factory = reinterpret_cast<void*>(1);
  EXPECT_EQ(get(IID_IUnknown, IID_IClassFactory, &factory), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(factory, nullptr);
}

}  // namespace
