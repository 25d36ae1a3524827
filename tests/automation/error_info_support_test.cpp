// The published classes as an early-bound client sees them on failure: the
// vtable member answers 0x800A0000 | number, ISupportErrorInfo says the
// interface leaves error info, and GetErrorInfo gives the description.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "backorder/backorder.h"
#include "invoice/invoice.h"
#include "platform/collection.h"
#include "platform/error.h"
#include "platform/error_info.h"
#include "tarvik/interfaces.h"

namespace tarvik::automation {
namespace {

struct PublishedClass {
  const char* name;
  const IID* iid;
  std::function<ComPtr<IDispatch>()> create;
  // A vtable call that fails on a new object, with its number.
  std::function<HRESULT(IDispatch*)> failing_call;
  std::int32_t number;
  const char* description;
};

// Connect with an object that is no connection: type mismatch.
HRESULT ConnectInvoiceToACollection(IDispatch* object) {
  ComPtr<Collection> not_a_connection = NewCollection();
  return static_cast<_Invoice*>(object)->putref_Connect(not_a_connection.get());
}
HRESULT ConnectBackOrderToACollection(IDispatch* object) {
  ComPtr<Collection> not_a_connection = NewCollection();
  return static_cast<_BackOrder*>(object)->putref_Connect(not_a_connection.get());
}

const PublishedClass kClasses[] = {
    {"Invoice", &IID__Invoice, [] { return ComPtr<IDispatch>(invoice::NewInvoice().get()); },
     &ConnectInvoiceToACollection, kErrTypeMismatch,
     "Connect: the object is not a database connection"},
    {"BackOrder", &IID__BackOrder,
     [] { return ComPtr<IDispatch>(backorder::NewBackOrder().get()); },
     &ConnectBackOrderToACollection, kErrTypeMismatch,
     "Connect: the object is not a database connection"},
};

class ErrorInfoSupportTest : public ::testing::TestWithParam<PublishedClass> {
 protected:
  void SetUp() override { SetErrorInfo(0, nullptr); }
  void TearDown() override { SetErrorInfo(0, nullptr); }
};

TEST_P(ErrorInfoSupportTest, SaysWhichInterfacesLeaveErrorInfo) {
  ComPtr<IDispatch> object = GetParam().create();
  ComPtr<ISupportErrorInfo> support = object.As<ISupportErrorInfo>(IID_ISupportErrorInfo);
  ASSERT_TRUE(support);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(*GetParam().iid), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_OK);
  const IID& other = *GetParam().iid == IID__Invoice ? IID__BackOrder : IID__Invoice;
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(other), S_FALSE);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IClassFactory), S_FALSE);

  // One object: the same IUnknown from every interface, and back.
  ComPtr<IUnknown> from_support, from_object;
  ASSERT_EQ(support->QueryInterface(IID_IUnknown, from_support.put_void()), S_OK);
  ASSERT_EQ(object->QueryInterface(IID_IUnknown, from_object.put_void()), S_OK);
  EXPECT_EQ(from_support.get(), from_object.get());
  ComPtr<IUnknown> typed;
  ASSERT_EQ(support->QueryInterface(*GetParam().iid, typed.put_void()), S_OK);
  EXPECT_EQ(static_cast<void*>(typed.get()), static_cast<void*>(object.get()));
}

TEST_P(ErrorInfoSupportTest, SupportPartKeepsTheObjectAlive) {
  ComPtr<ISupportErrorInfo> support;
  {
    ComPtr<IDispatch> object = GetParam().create();
    ASSERT_EQ(object->QueryInterface(IID_ISupportErrorInfo, support.put_void()), S_OK);
  }
  // The object lives on through the part's reference.
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(*GetParam().iid), S_OK);
  ComPtr<IDispatch> back = support.As<IDispatch>(IID_IDispatch);
  ASSERT_TRUE(back);
  UINT count = 9;
  EXPECT_EQ(back->GetTypeInfoCount(&count), S_OK);
}

TEST_P(ErrorInfoSupportTest, FailedVtableCallLeavesNumberAndDescription) {
  ComPtr<IDispatch> object = GetParam().create();
  const HRESULT h = GetParam().failing_call(object.get());
  EXPECT_EQ(h, hr(0x800A0000u | static_cast<std::uint32_t>(GetParam().number)));

  // What an early-bound client does after a failed call.
  ComPtr<ISupportErrorInfo> support = object.As<ISupportErrorInfo>(IID_ISupportErrorInfo);
  ASSERT_TRUE(support);
  ASSERT_EQ(support->InterfaceSupportsErrorInfo(*GetParam().iid), S_OK);
  ComPtr<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
  ASSERT_TRUE(info);
  BSTR description = nullptr;
  ASSERT_EQ(info->GetDescription(&description), S_OK);
  EXPECT_EQ(Bstr::Adopt(description).utf8(), GetParam().description);
  EXPECT_EQ(GetErrorInfo(0, info.put()), S_FALSE) << "taken once";
}

INSTANTIATE_TEST_SUITE_P(Classes, ErrorInfoSupportTest, ::testing::ValuesIn(kClasses),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvik::automation
