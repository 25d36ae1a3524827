// The compiled type library, as oleaut32 reads it, against the member
// tables: the .tlb the build wrote and the copy the DLL carries as its
// resource, loaded with LoadTypeLibEx (never registered). Every function's
// dispid, invoke kind, vtable offset, parameters and help string, the
// interface flags, the classes and the enumerations; and the type info the
// server's objects hand out, named after their class.
//
// Where to look: TARVIK_TYPELIB (one file), else TarvikInvoice.tlb and the
// server DLL beside this program.
#include <gtest/gtest.h>
#include <oaidl.h>
#include <ocidl.h>
#include <oleauto.h>
#include <windows.h>

#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/windows/published_description.h"

namespace {

using tarvik::testing::windows::ExpectedEnum;
using tarvik::testing::windows::ExpectedFunction;
using tarvik::testing::windows::ExpectedInterface;
using tarvik::testing::windows::ExpectedLibrary;
using tarvik::testing::windows::PublishedDescription;

constexpr int kDispatchSlots = 7;

template <class T>
class Ref {
 public:
  Ref() = default;
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  ~Ref() {
    if (p_) p_->Release();
  }
  T** put() {
    if (p_) p_->Release();
    p_ = nullptr;
    return &p_;
  }
  T* operator->() const { return p_; }
  T* get() const { return p_; }

 private:
  T* p_ = nullptr;
};

// A BSTR the test owns.
class Text {
 public:
  Text() = default;
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;
  ~Text() { SysFreeString(s_); }
  BSTR* put() {
    SysFreeString(s_);
    s_ = nullptr;
    return &s_;
  }
  std::string utf8() const {
    if (!s_) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, s_, static_cast<int>(SysStringLen(s_)), nullptr, 0,
                                nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s_, static_cast<int>(SysStringLen(s_)), out.data(), n, nullptr,
                        nullptr);
    return out;
  }

 private:
  BSTR s_ = nullptr;
};

std::wstring Wide(const std::string& s) {
  int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, nullptr, 0);
  std::wstring w(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, w.data(), n);
  w.resize(static_cast<std::size_t>(n > 0 ? n - 1 : 0));
  return w;
}

GUID Guid(const std::string& text) {
  GUID g{};
  std::wstring w = Wide(text);
  EXPECT_EQ(CLSIDFromString(w.c_str(), &g), S_OK) << text;
  return g;
}

std::wstring ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(n);
  std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? L"." : path.substr(0, slash);
}

std::vector<std::wstring> Sources() {
  if (const char* one = std::getenv("TARVIK_TYPELIB"); one && *one) return {Wide(one)};
  std::vector<std::wstring> found;
  std::wstring folder = ProgramFolder();
  for (const wchar_t* name :
       {L"TarvikInvoice.tlb", L"tarvikinvoice.dll", L"libtarvikinvoice.dll"}) {
    std::wstring path = folder + L"\\" + name;
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) found.push_back(path);
  }
  return found;
}

class TypeLibraryTest : public ::testing::TestWithParam<std::wstring> {
 protected:
  void SetUp() override {
    ASSERT_EQ(LoadTypeLibEx(GetParam().c_str(), REGKIND_NONE, lib_.put()), S_OK)
        << "LoadTypeLibEx failed";
  }

  // The vtable view of a dual interface: the TKIND_INTERFACE half.
  void InterfaceView(const ExpectedInterface& e, ITypeInfo** out) {
    Ref<ITypeInfo> dispatch;
    ASSERT_EQ(lib_->GetTypeInfoOfGuid(Guid(e.iid), dispatch.put()), S_OK) << e.name;
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(dispatch->GetTypeAttr(&attr), S_OK);
    TYPEKIND kind = attr->typekind;
    dispatch->ReleaseTypeAttr(attr);
    if (kind == TKIND_INTERFACE) {
      dispatch->AddRef();
      *out = dispatch.get();
      return;
    }
    ASSERT_EQ(kind, TKIND_DISPATCH);
    HREFTYPE ref = 0;
    ASSERT_EQ(dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK)
        << e.name << " is not dual";
    ASSERT_EQ(dispatch->GetRefTypeInfo(ref, out), S_OK);
  }

  Ref<ITypeLib> lib_;
};

TEST_P(TypeLibraryTest, LibraryAttributes) {
  ExpectedLibrary expected = PublishedDescription();
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(lib_->GetLibAttr(&attr), S_OK);
  EXPECT_TRUE(IsEqualGUID(attr->guid, Guid(expected.libid)));
  EXPECT_EQ(attr->wMajorVerNum, expected.major);
  EXPECT_EQ(attr->wMinorVerNum, expected.minor);
  EXPECT_EQ(attr->syskind, SYS_WIN64);
  lib_->ReleaseTLibAttr(attr);
  Text name;
  ASSERT_EQ(lib_->GetDocumentation(-1, name.put(), nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(name.utf8(), expected.name);
}

TEST_P(TypeLibraryTest, InterfacesMatchTheMemberTables) {
  for (const ExpectedInterface& e : PublishedDescription().interfaces) {
    SCOPED_TRACE(e.name);
    Ref<ITypeInfo> info;
    InterfaceView(e, info.put());
    ASSERT_TRUE(info.get());
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->cFuncs, e.functions.size());
    for (WORD flag :
         {TYPEFLAG_FDUAL, TYPEFLAG_FHIDDEN, TYPEFLAG_FNONEXTENSIBLE, TYPEFLAG_FOLEAUTOMATION}) {
      EXPECT_TRUE(attr->wTypeFlags & flag) << "type flag " << flag;
    }
    info->ReleaseTypeAttr(attr);
    Text itf_name;
    ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, itf_name.put(), nullptr, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(itf_name.utf8(), e.name);

    for (std::size_t i = 0; i < e.functions.size(); ++i) {
      const ExpectedFunction& f = e.functions[i];
      SCOPED_TRACE(f.name + " at " + std::to_string(i));
      EXPECT_EQ(f.slot, kDispatchSlots + static_cast<int>(i)) << "table out of vtable order";
      FUNCDESC* d = nullptr;
      ASSERT_EQ(info->GetFuncDesc(static_cast<UINT>(i), &d), S_OK);
      EXPECT_EQ(d->memid, f.memid);
      EXPECT_EQ(static_cast<int>(d->invkind), f.invkind);
      EXPECT_EQ(d->oVft, static_cast<SHORT>(f.slot * 8));
      EXPECT_EQ(d->oVft, static_cast<SHORT>(i * 8 + kDispatchSlots * 8));
      EXPECT_EQ(d->cParams, f.param_count);
      EXPECT_EQ(d->elemdescFunc.tdesc.vt, VT_HRESULT);

      BSTR names[8] = {};
      UINT count = 0;
      ASSERT_EQ(info->GetNames(d->memid, names, 8, &count), S_OK);
      ASSERT_GE(count, 1u);
      Text first;
      *first.put() = names[0];
      EXPECT_EQ(first.utf8(), f.name);
      for (UINT n = 1; n < count; ++n) SysFreeString(names[n]);

      Text name, help;
      ASSERT_EQ(info->GetDocumentation(d->memid, name.put(), help.put(), nullptr, nullptr), S_OK);
      EXPECT_EQ(name.utf8(), f.name);
      EXPECT_EQ(help.utf8(), f.help);
      info->ReleaseFuncDesc(d);
    }
  }
}

TEST_P(TypeLibraryTest, ClassesHaveTheirInterfaceAsDefault) {
  for (const ExpectedInterface& e : PublishedDescription().interfaces) {
    SCOPED_TRACE(e.class_name);
    Ref<ITypeInfo> cls;
    ASSERT_EQ(lib_->GetTypeInfoOfGuid(Guid(e.clsid), cls.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(cls->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FCANCREATE);
    cls->ReleaseTypeAttr(attr);
    Text name;
    ASSERT_EQ(cls->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(name.utf8(), e.class_name);
    INT flags = 0;
    HREFTYPE ref = 0;
    ASSERT_EQ(cls->GetImplTypeFlags(0, &flags), S_OK);
    EXPECT_TRUE(flags & IMPLTYPEFLAG_FDEFAULT);
    ASSERT_EQ(cls->GetRefTypeOfImplType(0, &ref), S_OK);
    Ref<ITypeInfo> itf;
    ASSERT_EQ(cls->GetRefTypeInfo(ref, itf.put()), S_OK);
    Text itf_name;
    ASSERT_EQ(itf->GetDocumentation(MEMBERID_NIL, itf_name.put(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(itf_name.utf8(), e.name);
  }
}

TEST_P(TypeLibraryTest, EnumerationsCarryTheirValues) {
  for (const ExpectedEnum& e : PublishedDescription().enums) {
    SCOPED_TRACE(e.name);
    Ref<ITypeInfo> found;
    for (UINT i = 0, n = lib_->GetTypeInfoCount(); i < n && !found.get(); ++i) {
      Text name;
      TYPEKIND kind;
      if (lib_->GetTypeInfoType(i, &kind) != S_OK || kind != TKIND_ENUM) continue;
      ASSERT_EQ(lib_->GetDocumentation(static_cast<INT>(i), name.put(), nullptr, nullptr, nullptr),
                S_OK);
      if (name.utf8() == e.name) {
        ASSERT_EQ(lib_->GetTypeInfo(i, found.put()), S_OK);
      }
    }
    ASSERT_TRUE(found.get()) << "no enumeration " << e.name;
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(found->GetTypeAttr(&attr), S_OK);
    ASSERT_EQ(attr->cVars, e.values.size());
    found->ReleaseTypeAttr(attr);
    for (std::size_t i = 0; i < e.values.size(); ++i) {
      VARDESC* v = nullptr;
      ASSERT_EQ(found->GetVarDesc(static_cast<UINT>(i), &v), S_OK);
      Text name;
      ASSERT_EQ(found->GetDocumentation(v->memid, name.put(), nullptr, nullptr, nullptr), S_OK);
      EXPECT_EQ(name.utf8(), e.values[i].first);
      ASSERT_EQ(v->varkind, VAR_CONST);
      VARIANT value;
      VariantInit(&value);
      ASSERT_EQ(VariantChangeType(&value, v->lpvarValue, 0, VT_I4), S_OK);
      EXPECT_EQ(value.lVal, e.values[i].second);
      VariantClear(&value);
      found->ReleaseVarDesc(v);
    }
  }
}

std::string SourceName(const ::testing::TestParamInfo<std::wstring>& p) {
  std::size_t slash = p.param.find_last_of(L"\\/");
  std::wstring file = slash == std::wstring::npos ? p.param : p.param.substr(slash + 1);
  std::string name;
  for (wchar_t c : file) name += (c < 128 && std::isalnum(static_cast<int>(c))) ? char(c) : '_';
  return name + "_" + std::to_string(p.index);
}

INSTANTIATE_TEST_SUITE_P(Sources, TypeLibraryTest, ::testing::ValuesIn(Sources()), SourceName);

// What the objects themselves hand out: script engines take TypeName(obj)
// from the type info of IDispatch, or from IProvideClassInfo; both must
// name the class.
TEST(ServerTypeInfo, ObjectsNameTheirClass) {
  std::vector<std::wstring> dlls;
  for (const std::wstring& s : Sources()) {
    if (s.size() > 4 && _wcsicmp(s.c_str() + s.size() - 4, L".dll") == 0) dlls.push_back(s);
  }
  if (dlls.empty()) GTEST_SKIP() << "no server DLL beside the test";
  HMODULE dll = LoadLibraryW(dlls.front().c_str());
  ASSERT_NE(dll, nullptr);
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  auto get = reinterpret_cast<GetClassObject>(
      reinterpret_cast<void*>(GetProcAddress(dll, "DllGetClassObject")));
  ASSERT_NE(get, nullptr);
  for (const ExpectedInterface& e : PublishedDescription().interfaces) {
    SCOPED_TRACE(e.class_name);
    Ref<IClassFactory> factory;
    ASSERT_EQ(get(Guid(e.clsid), IID_IClassFactory, reinterpret_cast<void**>(factory.put())),
              S_OK);
    Ref<IDispatch> object;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch,
                                      reinterpret_cast<void**>(object.put())),
              S_OK);
    UINT count = 0;
    ASSERT_EQ(object->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    Ref<ITypeInfo> info;
    ASSERT_EQ(object->GetTypeInfo(0, 0, info.put()), S_OK);
    Text name;
    ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, name.put(), nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(name.utf8(), e.class_name);
    // The rest is the library's own description of the interface.
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, Guid(e.iid)));
    info->ReleaseTypeAttr(attr);

    Ref<IProvideClassInfo> provider;
    ASSERT_EQ(object->QueryInterface(IID_IProvideClassInfo,
                                     reinterpret_cast<void**>(provider.put())),
              S_OK);
    Ref<ITypeInfo> cls;
    ASSERT_EQ(provider->GetClassInfo(cls.put()), S_OK);
    Text class_name;
    ASSERT_EQ(cls->GetDocumentation(MEMBERID_NIL, class_name.put(), nullptr, nullptr, nullptr),
              S_OK);
    EXPECT_EQ(class_name.utf8(), e.class_name);
  }
  // The DLL stays loaded: objects of it may still be cached by COM.
}

// Nothing to test against is a failure, not a pass.
TEST(TypeLibrarySources, AtLeastOneIsThere) {
  EXPECT_FALSE(Sources().empty())
      << "no TarvikInvoice.tlb or server DLL beside the test, and TARVIK_TYPELIB unset";
}

}  // namespace
