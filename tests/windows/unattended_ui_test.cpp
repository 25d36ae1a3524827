// The server library as a script host meets it: nothing installs UI
// services, so its boxes answer from TARVIK_UI_ANSWERS and are written to
// TARVIK_UI_LOG. Only Windows APIs here.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/scoped_variable.h"

namespace {

using tarvik::testing::ScopedVariable;

// TarvikInvoice.Invoice, as clients store it.
constexpr CLSID kClsidInvoice = {
    0x91D78E23, 0xD729, 0x4A4B, {0xA6, 0x80, 0x3E, 0xCF, 0xD1, 0x70, 0xDA, 0xB7}};

std::string BesideThisProgram(const char* file) {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, n);
  return folder.substr(0, folder.find_last_of("\\/") + 1) + file;
}

// Creates an Invoice from the library beside this program, without the
// registry, and calls Delete on it unconnected. The exit code says how far
// it got: 0 when Delete answered False.
[[noreturn]] void DeleteOnAnUnconnectedInvoice() {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) std::exit(2);
  HMODULE module = LoadLibraryA(BesideThisProgram("TarvikInvoice.dll").c_str());
  if (!module) std::exit(3);
  using GetClass = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  auto get_class = reinterpret_cast<GetClass>(
      reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  IClassFactory* factory = nullptr;
  if (!get_class || FAILED(get_class(kClsidInvoice, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) {
    std::exit(4);
  }
  IDispatch* invoice = nullptr;
  const HRESULT created = factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&invoice));
  factory->Release();
  if (FAILED(created)) std::exit(5);
  wchar_t name[] = L"Delete";
  LPOLESTR names[] = {name};
  DISPID id = 0;
  if (FAILED(invoice->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) std::exit(6);
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  VARIANT result;
  VariantInit(&result);
  const HRESULT called =
      invoice->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result, nullptr, nullptr);
  invoice->Release();
  if (FAILED(called)) std::exit(7);
  std::exit(result.vt == VT_BOOL && result.boolVal == VARIANT_FALSE ? 0 : 8);
}

TEST(UnattendedUi, TheLibraryAnswersFromTheEnvironmentAndLogsEveryBox) {
  const std::string log_path = BesideThisProgram("unattended-ui-test.log");
  DeleteFileA(log_path.c_str());
  ScopedVariable answers("TARVIK_UI_ANSWERS", std::string("[6]"));
  ScopedVariable log("TARVIK_UI_LOG", log_path);
  // The process default is chosen once, so the calls get a process of their own.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(DeleteOnAnUnconnectedInvoice(), ::testing::ExitedWithCode(0), "");

  std::ifstream in(log_path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  in.close();
  DeleteFileA(log_path.c_str());
  // Yes from the list (the question's default is No), then the missing
  // connection's box takes its default, OK.
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind(R"({"event":"msgbox","text":"Are you sure you want to delete Invoice)", 0), 0u) << lines[0];
  EXPECT_NE(lines[0].find(R"("style":308,"title":"Delete Records","answer":6})"), std::string::npos) << lines[0];
  EXPECT_EQ(lines[1],
            R"json({"event":"msgbox","text":"Invoice: no database connection (Connect)","style":64,"title":"Tarvik Invoicing","answer":1})json");
}

}  // namespace
