// Error info objects and the thread's pending record, and the boundary
// (Guard, ThrowIfFailed) speaking through them.
#include "platform/error_info.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "platform/error.h"

namespace tarvik {
namespace {

// The object CreateErrorInfo made, read back through IErrorInfo.
ComPtr<IErrorInfo> NewRecord(const std::u16string& description, const std::u16string& source) {
  ComPtr<ICreateErrorInfo> create;
  EXPECT_EQ(CreateErrorInfo(create.put()), S_OK);
  std::u16string d = description, s = source;
  EXPECT_EQ(create->SetDescription(d.data()), S_OK);
  EXPECT_EQ(create->SetSource(s.data()), S_OK);
  return create.As<IErrorInfo>(IID_IErrorInfo);
}

std::string Description(IErrorInfo* info) {
  BSTR text = nullptr;
  EXPECT_EQ(info->GetDescription(&text), S_OK);
  return Bstr::Adopt(text).utf8();
}

std::string Source(IErrorInfo* info) {
  BSTR text = nullptr;
  EXPECT_EQ(info->GetSource(&text), S_OK);
  return Bstr::Adopt(text).utf8();
}

class ErrorInfoTest : public ::testing::Test {
 protected:
  void SetUp() override { SetErrorInfo(0, nullptr); }
  void TearDown() override { SetErrorInfo(0, nullptr); }
};

TEST_F(ErrorInfoTest, OneObjectAnswersBothSidesWithOneIdentity) {
  ComPtr<ICreateErrorInfo> create;
  ASSERT_EQ(CreateErrorInfo(create.put()), S_OK);
  ComPtr<IErrorInfo> read = create.As<IErrorInfo>(IID_IErrorInfo);
  ASSERT_TRUE(read);
  ComPtr<IUnknown> from_create, from_read;
  ASSERT_EQ(create->QueryInterface(IID_IUnknown, from_create.put_void()), S_OK);
  ASSERT_EQ(read->QueryInterface(IID_IUnknown, from_read.put_void()), S_OK);
  EXPECT_EQ(from_create.get(), from_read.get());
  ComPtr<ICreateErrorInfo> back = read.As<ICreateErrorInfo>(IID_ICreateErrorInfo);
  EXPECT_EQ(back.get(), create.get());
  // (oleaut32's record also answers ISupportErrorInfo; ours need not.)
  for (const IID* foreign : {&IID_IDispatch, &IID_IClassFactory}) {
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(read->QueryInterface(*foreign, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);
  }
  EXPECT_EQ(CreateErrorInfo(nullptr), E_INVALIDARG);
}

TEST_F(ErrorInfoTest, WhatIsWrittenIsReadBack) {
  ComPtr<ICreateErrorInfo> create;
  ASSERT_EQ(CreateErrorInfo(create.put()), S_OK);
  ComPtr<IErrorInfo> read = create.As<IErrorInfo>(IID_IErrorInfo);

  // A new record: no texts, GUID_NULL, context 0.
  BSTR none = reinterpret_cast<BSTR>(1);
  EXPECT_EQ(read->GetDescription(&none), S_OK);
  EXPECT_EQ(none, nullptr);
  GUID guid{};
  EXPECT_EQ(read->GetGUID(&guid), S_OK);
  EXPECT_EQ(guid, IID_NULL);

  std::u16string description = u"Crédit refusé", source = u"TarvikInvoice.Invoice",
                 help = u"tarvik.chm";
  ASSERT_EQ(create->SetGUID(IID_IDispatch), S_OK);
  ASSERT_EQ(create->SetDescription(description.data()), S_OK);
  ASSERT_EQ(create->SetSource(source.data()), S_OK);
  ASSERT_EQ(create->SetHelpFile(help.data()), S_OK);
  ASSERT_EQ(create->SetHelpContext(4711), S_OK);
  description = u"changed afterwards";  // the record keeps its own copy

  EXPECT_EQ(Description(read.get()), "Crédit refusé");
  EXPECT_EQ(Source(read.get()), "TarvikInvoice.Invoice");
  BSTR file = nullptr;
  ASSERT_EQ(read->GetHelpFile(&file), S_OK);
  EXPECT_EQ(Bstr::Adopt(file).utf8(), "tarvik.chm");
  DWORD context = 0;
  ASSERT_EQ(read->GetHelpContext(&context), S_OK);
  EXPECT_EQ(context, 4711u);
  ASSERT_EQ(read->GetGUID(&guid), S_OK);
  EXPECT_EQ(guid, IID_IDispatch);
  EXPECT_EQ(Description(read.get()), "Crédit refusé") << "reading takes nothing away";

  EXPECT_EQ(read->GetDescription(nullptr), E_INVALIDARG);
  EXPECT_EQ(read->GetGUID(nullptr), E_INVALIDARG);
  EXPECT_EQ(read->GetHelpContext(nullptr), E_INVALIDARG);
}

TEST_F(ErrorInfoTest, GetErrorInfoHandsTheRecordOverAndClearsIt) {
  ComPtr<IErrorInfo> record = NewRecord(u"first", u"Here");
  ASSERT_EQ(SetErrorInfo(0, record.get()), S_OK);
  ComPtr<IErrorInfo> got;
  ASSERT_EQ(GetErrorInfo(0, got.put()), S_OK);
  EXPECT_EQ(got.get(), record.get());
  EXPECT_EQ(Description(got.get()), "first");

  ComPtr<IErrorInfo> again;
  EXPECT_EQ(GetErrorInfo(0, again.put()), S_FALSE);
  EXPECT_FALSE(again);

  // A later record replaces an earlier one; nullptr clears.
  ASSERT_EQ(SetErrorInfo(0, NewRecord(u"old", u"").get()), S_OK);
  ASSERT_EQ(SetErrorInfo(0, NewRecord(u"new", u"").get()), S_OK);
  ASSERT_EQ(GetErrorInfo(0, got.put()), S_OK);
  EXPECT_EQ(Description(got.get()), "new");
  ASSERT_EQ(SetErrorInfo(0, NewRecord(u"dropped", u"").get()), S_OK);
  ASSERT_EQ(SetErrorInfo(0, nullptr), S_OK);
  EXPECT_EQ(GetErrorInfo(0, got.put()), S_FALSE);

  EXPECT_EQ(SetErrorInfo(1, record.get()), E_INVALIDARG);
  EXPECT_EQ(GetErrorInfo(0, nullptr), E_INVALIDARG);
}

TEST_F(ErrorInfoTest, EachThreadHasItsOwnRecord) {
  ASSERT_EQ(SetErrorInfo(0, NewRecord(u"main thread", u"").get()), S_OK);
  HRESULT other_before = S_OK, other_after = S_OK;
  std::thread other([&] {
    ComPtr<IErrorInfo> seen;
    other_before = GetErrorInfo(0, seen.put());
    SetErrorInfo(0, NewRecord(u"other thread", u"").get());
    other_after = GetErrorInfo(0, seen.put());
  });
  other.join();
  EXPECT_EQ(other_before, S_FALSE);
  EXPECT_EQ(other_after, S_OK);
  ComPtr<IErrorInfo> mine;
  ASSERT_EQ(GetErrorInfo(0, mine.put()), S_OK);
  EXPECT_EQ(Description(mine.get()), "main thread");
}

TEST_F(ErrorInfoTest, GuardLeavesErrorInfoForTheCaller) {
  const HRESULT h = Guard([] { RaiseError(3021, "", "DAO.Recordset"); });
  EXPECT_EQ(h, HResultFromError(3021));
  ComPtr<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
  EXPECT_EQ(Description(info.get()), "No current record.");
  EXPECT_EQ(Source(info.get()), "DAO.Recordset");
  EXPECT_FALSE(TakeErrorRecord().has_value()) << "the record was the error info, now taken";
  EXPECT_EQ(Guard([] {}), S_OK);
  EXPECT_EQ(GetErrorInfo(0, info.put()), S_FALSE) << "success leaves none";
}

TEST_F(ErrorInfoTest, ThrowIfFailedReadsErrorInfoThatAnotherPartyLeft) {
  // As an outside component would: its own record, then a failed call.
  ASSERT_EQ(SetErrorInfo(0, NewRecord(u"Index is out of bounds", u"Vessa.HostConnection").get()),
            S_OK);
  try {
    ThrowIfFailed(HResultFromError(9));
    FAIL() << "no exception";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), 9);
    EXPECT_EQ(e.description(), "Index is out of bounds");
    EXPECT_EQ(e.source(), "Vessa.HostConnection");
    EXPECT_EQ(e.hresult(), HResultFromError(9));
  }
  ComPtr<IErrorInfo> left;
  EXPECT_EQ(GetErrorInfo(0, left.put()), S_FALSE) << "taken by ThrowIfFailed";

  // A plain HRESULT keeps its code and takes the record's words.
  ASSERT_EQ(SetErrorInfo(0, NewRecord(u"disk full", u"").get()), S_OK);
  try {
    ThrowIfFailed(E_FAIL);
    FAIL() << "no exception";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.hresult(), E_FAIL);
    EXPECT_EQ(e.description(), "disk full");
  }
}

TEST_F(ErrorInfoTest, ErrorRecordIsAViewOfTheErrorInfo) {
  SetErrorRecord({E_FAIL, kErrCannotCreateObject, "no such class", "registry"});
  ComPtr<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
  EXPECT_EQ(Description(info.get()), "no such class");
  // Put back, it is still known as this thread's own record.
  ASSERT_EQ(SetErrorInfo(0, info.get()), S_OK);
  std::optional<ErrorRecord> rec = TakeErrorRecord();
  ASSERT_TRUE(rec);
  EXPECT_EQ(rec->hresult, E_FAIL);
  EXPECT_EQ(rec->number, kErrCannotCreateObject);
  EXPECT_EQ(rec->source, "registry");

  // Someone else's record: words only, code and number unknown.
  ASSERT_EQ(SetErrorInfo(0, NewRecord(u"theirs", u"Other").get()), S_OK);
  rec = TakeErrorRecord();
  ASSERT_TRUE(rec);
  EXPECT_EQ(rec->description, "theirs");
  EXPECT_EQ(rec->hresult, S_OK);
  EXPECT_EQ(rec->number, 0);
  EXPECT_FALSE(TakeErrorRecord().has_value());
}

}  // namespace
}  // namespace tarvik
