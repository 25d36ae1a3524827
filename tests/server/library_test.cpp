// The built libtarvikinvoice.so as a host loads it: only its entry points
// are visible, the component shows its boxes through the UI services handed
// over by TarvikInvoice_SetUiServices, and an error raised in the runtime
// library is still caught inside the component.
#include <dlfcn.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/collection.h"
#include "platform/error.h"
#include "platform/error_info.h"
#include "platform/late_bound.h"
#include "platform/ui_services.h"
#include "tarvik/entry_points.h"
#include "tarvik/interfaces.h"
#include "tests/support/scoped_variable.h"

namespace tarvik::server {
namespace {

struct DlCloser {
  void operator()(void* h) const { dlclose(h); }
};

class ServerLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string path = std::string(TARVIK_BUILD_DIR_DEFAULT) + "/libtarvikinvoice.so";
    handle_.reset(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL));
    ASSERT_TRUE(handle_) << dlerror();
    set_ui_ = Entry<decltype(&TarvikInvoice_SetUiServices)>("TarvikInvoice_SetUiServices");
    get_class_ = Entry<decltype(&DllGetClassObject)>("DllGetClassObject");
    ASSERT_TRUE(set_ui_ && get_class_);
    InstallUi(&runtime_ui_);
  }
  void TearDown() override {
    if (set_ui_) set_ui_(nullptr);
    InstallUi(nullptr);
  }

  template <class F>
  F Entry(const char* name) {
    return reinterpret_cast<F>(dlsym(handle_.get(), name));
  }

  ComPtr<IDispatch> NewInvoice() {
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(get_class_(CLSID_Invoice, IID_IClassFactory, factory.put_void()), S_OK);
    ComPtr<IDispatch> object;
    if (factory) {
      EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, object.put_void()), S_OK);
    }
    return object;
  }

  std::unique_ptr<void, DlCloser> handle_;
  decltype(&TarvikInvoice_SetUiServices) set_ui_ = nullptr;
  decltype(&DllGetClassObject) get_class_ = nullptr;
  ScriptedUi runtime_ui_;  // the runtime's own singleton, which the component must not use
};

TEST_F(ServerLibrary, ExportsOnlyItsEntryPoints) {
  for (const char* name : {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer",
                           "DllUnregisterServer", "TarvikInvoice_SetUiServices"}) {
    EXPECT_NE(dlsym(handle_.get(), name), nullptr) << name;
  }
  // tarvik::server::CanUnloadNow(), behind DllCanUnloadNow.
  EXPECT_EQ(dlsym(handle_.get(), "_ZN6tarvik6server12CanUnloadNowEv"), nullptr);
}

TEST_F(ServerLibrary, BoxesGoThroughTheUiHandedOverAndRuntimeErrorsAreCaughtInside) {
  ScriptedUi handed;
  handed.SetAnswers({{true, kIdYes, {}}});
  set_ui_(&handed);
  ComPtr<IDispatch> invoice = NewInvoice();
  ASSERT_TRUE(invoice);
  // Yes to the question, then the missing connection raises (thrown by the
  // runtime library) inside Delete's handler, which reports it in a box.
  EXPECT_FALSE(InvokeByName(invoice.get(), "Delete", CallKind::kMethod).ToBoolean());
  ASSERT_EQ(handed.events().size(), 2u);
  EXPECT_EQ(handed.events()[0].title, "Delete Records");
  EXPECT_EQ(handed.events()[1].text, "Invoice: no database connection (Connect)");
  EXPECT_TRUE(runtime_ui_.events().empty());

  // Taken back: the component falls back on the runtime's services.
  set_ui_(nullptr);
  EXPECT_FALSE(InvokeByName(invoice.get(), "Delete", CallKind::kMethod).ToBoolean());
  EXPECT_EQ(handed.events().size(), 2u);
  ASSERT_EQ(runtime_ui_.events().size(), 1u);
  EXPECT_EQ(runtime_ui_.events()[0].title, "Delete Records");
}

// DllCanUnloadNow of the loaded library: no while an object or a lock
// remains, yes once both are gone.
TEST_F(ServerLibrary, UnloadsOnlyWithoutObjectsAndLocks) {
  auto can_unload = Entry<decltype(&DllCanUnloadNow)>("DllCanUnloadNow");
  ASSERT_TRUE(can_unload);
  ASSERT_EQ(can_unload(), S_OK);
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(get_class_(CLSID_BackOrder, IID_IClassFactory, factory.put_void()), S_OK);
  EXPECT_EQ(can_unload(), S_OK);
  ASSERT_EQ(factory->LockServer(1), S_OK);
  EXPECT_EQ(can_unload(), S_FALSE);
  ComPtr<IDispatch> object;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, object.put_void()), S_OK);
  ASSERT_EQ(factory->LockServer(0), S_OK);
  EXPECT_EQ(can_unload(), S_FALSE);
  object.reset();
  EXPECT_EQ(can_unload(), S_OK);
}

// An early-bound client of the loaded library: the failed vtable call's
// HRESULT carries the number, GetErrorInfo the description.
TEST_F(ServerLibrary, FailedVtableCallLeavesErrorInfoForTheHost) {
  ComPtr<IDispatch> object = NewInvoice();
  ASSERT_TRUE(object);
  ComPtr<_Invoice> invoice = object.As<_Invoice>(IID__Invoice);
  ASSERT_TRUE(invoice);
  SetErrorInfo(0, nullptr);
  // A collection is no connection: type mismatch, with the component's words.
  ComPtr<Collection> not_a_connection = NewCollection();
  const HRESULT failed = invoice->putref_Connect(not_a_connection.get());
  EXPECT_EQ(failed, HResultFromError(kErrTypeMismatch));
  ComPtr<ISupportErrorInfo> support = object.As<ISupportErrorInfo>(IID_ISupportErrorInfo);
  ASSERT_TRUE(support);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID__Invoice), S_OK);
  ComPtr<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
  BSTR description = nullptr;
  ASSERT_EQ(info->GetDescription(&description), S_OK);
  const std::string text = Bstr::Adopt(description).utf8();
  EXPECT_EQ(text, "Connect: the object is not a database connection");
  // The same words a late-bound caller gets in EXCEPINFO.
  try {
    InvokeByName(object.get(), "Connect", CallKind::kSet, {Variant::Dispatch(not_a_connection.get())});
    FAIL() << "no error";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.hresult(), failed);
    EXPECT_EQ(e.description(), text);
  }
}

// A script host installs nothing: the component then answers from the
// environment. The process default is chosen once per process, so the calls
// run in a fresh process of their own (a re-run of this test).
TEST_F(ServerLibrary, WithNothingInstalledTheEnvironmentAnswersAndLogs) {
  // One name for both processes (the re-run sets the variables again).
  const std::string log_path = std::string(TARVIK_BUILD_DIR_DEFAULT) + "/library-test-boxes.log";
  std::filesystem::remove(log_path);
  testing::ScopedVariable answers("TARVIK_UI_ANSWERS", "[6]");
  testing::ScopedVariable log("TARVIK_UI_LOG", log_path);
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        set_ui_(nullptr);
        InstallUi(nullptr);
        ComPtr<IDispatch> invoice = NewInvoice();
        const bool deleted = InvokeByName(invoice.get(), "Delete", CallKind::kMethod).ToBoolean();
        std::exit(deleted ? 1 : 0);
      },
      ::testing::ExitedWithCode(0), "");

  std::ifstream in(log_path);
  std::vector<nlohmann::json> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
  std::filesystem::remove(log_path);
  // Yes from the list, then the missing connection's box takes its default.
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0]["event"], "msgbox");
  EXPECT_EQ(lines[0]["title"], "Delete Records");
  EXPECT_EQ(lines[0]["answer"], kIdYes);
  EXPECT_EQ(lines[1]["text"], "Invoice: no database connection (Connect)");
  EXPECT_EQ(lines[1]["answer"], kIdOk);
  EXPECT_TRUE(runtime_ui_.events().empty());
}

}  // namespace
}  // namespace tarvik::server
