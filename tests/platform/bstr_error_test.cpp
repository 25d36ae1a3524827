#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <stdexcept>

#include "platform/bstr.h"
#include "platform/com.h"
#include "platform/error.h"

namespace tarvik {
namespace {

TEST(Bstr, CarriesTheByteLengthBeforeTheText) {
  BSTR s = SysAllocString(u"abc");
  ASSERT_NE(s, nullptr);
  std::uint32_t prefix = 0;
  std::memcpy(&prefix, reinterpret_cast<const char*>(s) - 4, 4);
  EXPECT_EQ(prefix, 6u);
  EXPECT_EQ(SysStringLen(s), 3u);
  EXPECT_EQ(s[3], u'\0');
  SysFreeString(s);

  BSTR nul = SysAllocStringLen(u"a\0b", 3);
  EXPECT_EQ(SysStringLen(nul), 3u);
  EXPECT_EQ(Utf8(nul), std::string("a\0b", 3));
  SysFreeString(nul);

  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(Utf8(static_cast<BSTR>(nullptr)), "");
  SysFreeString(nullptr);
}

TEST(Bstr, WrapperOwnsAndCopies) {
  Bstr a("Größe");
  EXPECT_EQ(a.length(), 5u);
  EXPECT_EQ(a.utf8(), "Größe");
  Bstr b = a;
  EXPECT_NE(a.get(), b.get());
  EXPECT_EQ(b.view(), u"Größe");
  BSTR raw = b.detach();
  EXPECT_EQ(b.get(), nullptr);
  Bstr c = Bstr::Adopt(raw);
  EXPECT_EQ(c.utf8(), "Größe");
  BSTR copy = c.copy();
  EXPECT_NE(copy, c.get());
  SysFreeString(copy);
  EXPECT_EQ(Bstr().length(), 0u);
  EXPECT_EQ(Bstr().view(), u"");
}

TEST(Utf, ConvertsBothWaysAndReplacesBrokenInput) {
  const std::string text = "Gr\xC3\xB6\xC3\x9F" "e \xE2\x82\xAC \xF0\x9D\x84\x9E";  // Größe € 𝄞
  std::u16string wide = Utf16(text);
  EXPECT_EQ(wide.size(), 10u);  // the clef is a surrogate pair
  EXPECT_EQ(wide[8], 0xD834);
  EXPECT_EQ(Utf8(wide), text);

  EXPECT_EQ(Utf16("\xFF"), u"\uFFFD");
  EXPECT_EQ(Utf16("\xE2\x82" "A"), u"\uFFFDA");
  EXPECT_EQ(Utf16("\xC0\xAF"), u"\uFFFD");            // overlong '/'
  EXPECT_EQ(Utf16("\xED\xA0\x80"), u"\uFFFD");        // encoded surrogate
  EXPECT_EQ(Utf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
  EXPECT_EQ(Utf8(std::u16string(u"x") + char16_t(0xDC00)), "x\xEF\xBF\xBD");
}

TEST(Guid, RegistryFormBothWays) {
  EXPECT_EQ(GuidToString(IID_IDispatch), "{00020400-0000-0000-C000-000000000046}");
  EXPECT_EQ(GuidToString(IID_IUnknown), "{00000000-0000-0000-C000-000000000046}");
  EXPECT_EQ(GuidToString(IID_IClassFactory), "{00000001-0000-0000-C000-000000000046}");
  EXPECT_EQ(GuidToString(IID_NULL), "{00000000-0000-0000-0000-000000000000}");
  GUID g{};
  ASSERT_TRUE(GuidFromString("{12345678-9abc-DEF0-1234-56789ABCDEF0}", &g));
  EXPECT_EQ(GuidToString(g), "{12345678-9ABC-DEF0-1234-56789ABCDEF0}");
  GUID h{};
  ASSERT_TRUE(GuidFromString("12345678-9ABC-DEF0-1234-56789ABCDEF0", &h));
  EXPECT_EQ(g, h);
  EXPECT_NE(g, IID_IDispatch);
  for (const char* bad : {"", "{}", "{12345678-9ABC-DEF0-1234-56789ABCDEF0",
                          "12345678-9ABC-DEF0-1234-56789ABCDEF", "12345678-9ABC-DEF0-1234-56789ABCDEFG",
                          "123456789-ABC-DEF0-1234-56789ABCDEF0", "{12345678 9ABC DEF0 1234 56789ABCDEF0}"}) {
    EXPECT_FALSE(GuidFromString(bad, &g)) << bad;
  }
}

TEST(Errors, DefaultDescriptions) {
  const std::pair<int, const char*> cases[] = {
      {5, "Invalid procedure call or argument"},
      {6, "Overflow"},
      {7, "Out of memory"},
      {9, "Subscript out of range"},
      {13, "Type mismatch"},
      {91, "Object variable or With block variable not set"},
      {94, "Invalid use of Null"},
      {429, "ActiveX component can't create object"},
      {438, "Object doesn't support this property or method"},
      {449, "Argument not optional"},
      {450, "Wrong number of arguments or invalid property assignment"},
      {457, "This key is already associated with an element of this collection"},
      {3265, "Item not found in this collection."},
      {3021, "No current record."},
      {31999, "Application-defined or object-defined error"},
  };
  for (auto [n, text] : cases) EXPECT_EQ(DefaultDescription(n), text) << n;
}

TEST(Errors, AutomationErrorCarriesNumberAndHResult) {
  AutomationError e(13, "", "Src");
  EXPECT_EQ(e.number(), 13);
  EXPECT_EQ(e.description(), "Type mismatch");
  EXPECT_STREQ(e.what(), "Type mismatch");
  EXPECT_EQ(e.source(), "Src");
  EXPECT_EQ(e.hresult(), hr(0x800A000D));

  AutomationError f = AutomationError::FromHResult(hr(0x800A01C9), "dup", "");
  EXPECT_EQ(f.number(), 457);
  AutomationError g = AutomationError::FromHResult(DISP_E_TYPEMISMATCH, "", "");
  EXPECT_EQ(g.number(), 13);
  EXPECT_EQ(g.hresult(), DISP_E_TYPEMISMATCH);
  AutomationError k = AutomationError::FromHResult(E_FAIL, "", "");
  EXPECT_EQ(k.number(), E_FAIL);
  EXPECT_EQ(k.hresult(), E_FAIL);
  EXPECT_EQ(k.description(), "Automation error");
}

TEST(Errors, GuardAndThrowIfFailedRoundTrip) {
  TakeErrorRecord();
  HRESULT h = Guard([] { RaiseError(3265, "Item 'x' not found in this collection.", "DAO.Fields"); });
  EXPECT_EQ(h, HResultFromError(3265));
  try {
    ThrowIfFailed(h);
    FAIL() << "no exception";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), 3265);
    EXPECT_EQ(e.description(), "Item 'x' not found in this collection.");
    EXPECT_EQ(e.source(), "DAO.Fields");
    EXPECT_EQ(e.hresult(), h);
  }
  EXPECT_FALSE(TakeErrorRecord().has_value());  // consumed by ThrowIfFailed
}

TEST(Errors, GuardTranslatesOtherExceptions) {
  HRESULT h = Guard([] { throw std::bad_alloc(); });
  EXPECT_EQ(h, HResultFromError(kErrOutOfMemory));
  std::optional<ErrorRecord> rec = TakeErrorRecord();
  ASSERT_TRUE(rec);
  EXPECT_EQ(rec->number, 7);
  EXPECT_EQ(rec->description, "Out of memory");

  h = Guard([] { throw std::runtime_error("disk on fire"); });
  EXPECT_EQ(h, E_FAIL);
  try {
    ThrowIfFailed(h);
    FAIL();
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.description(), "disk on fire");
    EXPECT_EQ(e.hresult(), E_FAIL);
  }
  h = Guard([] { throw 42; });
  EXPECT_EQ(h, E_FAIL);
  TakeErrorRecord();
  EXPECT_EQ(Guard([] {}), S_OK);
}

TEST(Errors, ThrowIfFailedIgnoresARecordOfAnotherCall) {
  SetErrorRecord({HResultFromError(457), 457, "stale", ""});
  try {
    ThrowIfFailed(DISP_E_OVERFLOW);
    FAIL();
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), kErrOverflow);
    EXPECT_EQ(e.description(), "Overflow");
  }
  EXPECT_NO_THROW(ThrowIfFailed(S_OK));
  EXPECT_NO_THROW(ThrowIfFailed(S_FALSE));
}

TEST(Errors, FillExcepInfo) {
  EXCEPINFO info{};
  FillExcepInfo(AutomationError(94, "", "TarvikInvoice.Invoice"), &info);
  EXPECT_EQ(Utf8(info.bstrDescription), "Invalid use of Null");
  EXPECT_EQ(Utf8(info.bstrSource), "TarvikInvoice.Invoice");
  EXPECT_EQ(info.scode, HResultFromError(94));
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrSource);
  FillExcepInfo(AutomationError(5, ""), nullptr);  // no EXCEPINFO is fine
}

}  // namespace
}  // namespace tarvik
