// An early-bound client, built against the header widl writes from the type
// library and nothing of ours: it creates the classes through the registry,
// calls the vtable, and reads a failure's number and description the way
// such a client does (ISupportErrorInfo, then GetErrorInfo).
#include <gtest/gtest.h>

#include <windows.h>
#include <initguid.h>
#include <objbase.h>
#include <oleauto.h>

#include "TarvikInvoice_tlb.h"

#include <string>

namespace {

class EarlyBound : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
  void TearDown() override { CoUninitialize(); }
};

// A counted reference, released when the test is done with it.
template <class T>
struct Ref {
  T* p = nullptr;
  ~Ref() {
    if (p) p->Release();
  }
  T* operator->() const { return p; }
  void** out() { return reinterpret_cast<void**>(&p); }
};

std::wstring Text(BSTR s) {
  std::wstring t = s ? std::wstring(s, SysStringLen(s)) : L"";
  SysFreeString(s);
  return t;
}

TEST_F(EarlyBound, PropertiesRoundTripThroughTheVtable) {
  Ref<_Invoice> invoice;
  ASSERT_EQ(CoCreateInstance(CLSID_Invoice, nullptr, CLSCTX_INPROC_SERVER, IID__Invoice, invoice.out()), S_OK);
  BSTR in = SysAllocString(L"Zw\u00f6lf 12");
  ASSERT_EQ(invoice->put_BillTo(in), S_OK);
  SysFreeString(in);
  BSTR out = nullptr;
  ASSERT_EQ(invoice->get_BillTo(&out), S_OK);
  EXPECT_EQ(Text(out), L"Zw\u00f6lf 12");  // ours to free, with the platform's allocator

  ASSERT_EQ(invoice->put_PrintInvoiceBy(ibCustomer), S_OK);
  InvoiceBy by = ibOrderNumber;
  ASSERT_EQ(invoice->get_PrintInvoiceBy(&by), S_OK);
  EXPECT_EQ(by, ibCustomer);
  VARIANT_BOOL shows = VARIANT_FALSE;
  ASSERT_EQ(invoice->get_ShowMessageBox(&shows), S_OK);
  EXPECT_EQ(shows, VARIANT_TRUE);
}

TEST_F(EarlyBound, AFailedCallLeavesTheComponentsErrorForTheClient) {
  Ref<_Invoice> invoice;
  ASSERT_EQ(CoCreateInstance(CLSID_Invoice, nullptr, CLSCTX_INPROC_SERVER, IID__Invoice, invoice.out()), S_OK);
  Ref<ISupportErrorInfo> support;
  ASSERT_EQ(invoice->QueryInterface(IID_ISupportErrorInfo, support.out()), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID__Invoice), S_OK);

  // An object that is no connection: the component refuses it.
  Ref<_BackOrder> not_a_connection;
  ASSERT_EQ(CoCreateInstance(CLSID_BackOrder, nullptr, CLSCTX_INPROC_SERVER, IID__BackOrder,
                             not_a_connection.out()),
            S_OK);
  const HRESULT h = invoice->putref_Connect(not_a_connection.p);
  EXPECT_EQ(static_cast<unsigned long>(h), 0x800A000Dul);  // error 13

  Ref<IErrorInfo> error;
  ASSERT_EQ(GetErrorInfo(0, reinterpret_cast<IErrorInfo**>(error.out())), S_OK);
  BSTR description = nullptr;
  ASSERT_EQ(error->GetDescription(&description), S_OK);
  const std::wstring text = Text(description);
  EXPECT_FALSE(text.empty());
  // The record was handed over: a second read finds none.
  IErrorInfo* again = nullptr;
  EXPECT_EQ(GetErrorInfo(0, &again), S_FALSE);
  EXPECT_EQ(again, nullptr);
}

TEST_F(EarlyBound, TypeInformationNamesTheClass) {
  Ref<IDispatch> invoice;
  ASSERT_EQ(CoCreateInstance(CLSID_Invoice, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, invoice.out()), S_OK);
  UINT count = 0;
  ASSERT_EQ(invoice->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  Ref<ITypeInfo> info;
  ASSERT_EQ(invoice->GetTypeInfo(0, LOCALE_USER_DEFAULT, reinterpret_cast<ITypeInfo**>(info.out())), S_OK);
  BSTR name = nullptr;
  ASSERT_EQ(info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(Text(name), L"Invoice");

  // Named arguments resolve through the same type information.
  OLECHAR member[] = L"SeekRecord";
  OLECHAR argument[] = L"vSeekValue";
  OLECHAR* names[] = {member, argument};
  DISPID ids[2] = {};
  ASSERT_EQ(invoice->GetIDsOfNames(IID_NULL, names, 2, LOCALE_USER_DEFAULT, ids), S_OK);
  EXPECT_EQ(ids[1], 0);
}

}  // namespace
