#include "platform/variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "platform/error.h"
#include "tests/platform/fake_dispatch.h"

namespace tarvik {
namespace {

using testing::FakeDispatch;

struct ChangeCase {
  const char* name;
  Variant src;
  VARTYPE vt;
  HRESULT hr;
  const char* text;  // the converted value as text, when hr is S_OK
};

std::string Describe(const VARIANT& v) {
  VARIANT s;
  VariantInit(&s);
  if (Failed(VariantChangeType(&s, &v, 0, VT_BSTR))) return "<no text>";
  std::string out = Utf8(s.bstrVal);
  VariantClear(&s);
  return out;
}

TEST(VariantChangeType, ConvertsBetweenTheStandardTypes) {
  const ChangeCase cases[] = {
      {"text to double", Variant::String("12.50"), VT_R8, S_OK, "12.5"},
      {"grouped text to long", Variant::String(" 1,234 "), VT_I4, S_OK, "1234"},
      {"True to long", Variant::Boolean(true), VT_I4, S_OK, "-1"},
      {"True to integer", Variant::Boolean(true), VT_I2, S_OK, "-1"},
      {"True to byte", Variant::Boolean(true), VT_UI1, S_OK, "255"},
      {"True to text", Variant::Boolean(true), VT_BSTR, S_OK, "True"},
      {"False to text", Variant::Boolean(false), VT_BSTR, S_OK, "False"},
      {"number to boolean", Variant::Long(5), VT_BOOL, S_OK, "True"},
      {"zero to boolean", Variant::Double(0), VT_BOOL, S_OK, "False"},
      {"text true", Variant::String("true"), VT_BOOL, S_OK, "True"},
      {"text 0", Variant::String("0"), VT_BOOL, S_OK, "False"},
      {"text yes", Variant::String("yes"), VT_BOOL, DISP_E_TYPEMISMATCH, nullptr},
      {"2.5 to long", Variant::Double(2.5), VT_I4, S_OK, "2"},
      {"3.5 to long", Variant::Double(3.5), VT_I4, S_OK, "4"},
      {"-2.5 to long", Variant::Double(-2.5), VT_I4, S_OK, "-2"},
      {"text 2.5 to integer", Variant::String("2.5"), VT_I2, S_OK, "2"},
      {"long max+0.5", Variant::String("2147483647.5"), VT_I4, DISP_E_OVERFLOW, nullptr},
      {"long min-0.5", Variant::String("-2147483648.5"), VT_I4, S_OK, "-2147483648"},
      {"long max", Variant::Double(2147483647.4), VT_I4, S_OK, "2147483647"},
      {"integer overflow", Variant::String("40000"), VT_I2, DISP_E_OVERFLOW, nullptr},
      {"integer min", Variant::Long(-32768), VT_I2, S_OK, "-32768"},
      {"byte overflow", Variant::Long(256), VT_UI1, DISP_E_OVERFLOW, nullptr},
      {"byte negative", Variant::Long(-1), VT_UI1, DISP_E_OVERFLOW, nullptr},
      {"byte 254.5", Variant::Double(254.5), VT_UI1, S_OK, "254"},
      {"single overflow", Variant::Double(1e39), VT_R4, DISP_E_OVERFLOW, nullptr},
      {"double overflow", Variant::String("1e400"), VT_R8, DISP_E_OVERFLOW, nullptr},
      {"single to text", Variant::Single(12345678.0f), VT_BSTR, S_OK, "1.234568E+07"},
      {"double to text", Variant::Double(1e15), VT_BSTR, S_OK, "1E+15"},
      {"currency", Variant::Double(12345.67891), VT_CY, S_OK, "12345.6789"},
      {"currency whole", Variant::Long(-7), VT_CY, S_OK, "-7"},
      {"empty to text", Variant(), VT_BSTR, S_OK, ""},
      {"empty to long", Variant(), VT_I4, S_OK, "0"},
      {"empty to date", Variant(), VT_DATE, S_OK, "12:00:00 AM"},
      {"null to long", Variant::Null(), VT_I4, DISP_E_TYPEMISMATCH, nullptr},
      {"null to text", Variant::Null(), VT_BSTR, DISP_E_TYPEMISMATCH, nullptr},
      {"letters to long", Variant::String("abc"), VT_I4, DISP_E_TYPEMISMATCH, nullptr},
      {"empty text to long", Variant::String(""), VT_I4, DISP_E_TYPEMISMATCH, nullptr},
      {"missing to long", Variant::Missing(), VT_I4, DISP_E_TYPEMISMATCH, nullptr},
      {"date to text", Variant::Date(36965.0), VT_BSTR, S_OK, "3/15/2001"},
      {"text to date", Variant::String("15-Mar-2001 2:30 PM"), VT_DATE, S_OK,
       "3/15/2001 2:30:00 PM"},
      {"iso text to date", Variant::String("2001-03-15"), VT_DATE, S_OK, "3/15/2001"},
      {"dotted date", Variant::String("15.03.2001"), VT_DATE, DISP_E_TYPEMISMATCH, nullptr},
      {"number to date", Variant::Long(36965), VT_DATE, S_OK, "3/15/2001"},
      {"date out of range", Variant::Double(3e6), VT_DATE, DISP_E_OVERFLOW, nullptr},
      {"date to double", Variant::Date(36965.5), VT_R8, S_OK, "36965.5"},
      {"hex text", Variant::String("&HFF"), VT_I4, S_OK, "255"},
      {"long to I8", Variant::Long(-5), VT_I8, S_OK, "-5"},
      {"text to UI4", Variant::String("4294967295"), VT_UI4, S_OK, "4294967295"},
      {"text to I1 overflow", Variant::String("128"), VT_I1, DISP_E_OVERFLOW, nullptr},
      {"long to variant", Variant::Long(3), VT_VARIANT, S_OK, "3"},
      {"text to dispatch", Variant::String("x"), VT_DISPATCH, DISP_E_TYPEMISMATCH, nullptr},
      {"empty to null", Variant(), VT_NULL, S_OK, "<no text>"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    VARIANT out;
    VariantInit(&out);
    HRESULT h = VariantChangeType(&out, &c.src.raw(), 0, c.vt);
    EXPECT_EQ(h, c.hr);
    if (Succeeded(h)) {
      EXPECT_EQ(out.vt, c.vt == VT_VARIANT ? c.src.vt() : c.vt);
      EXPECT_EQ(Describe(out), c.text);
    } else {
      EXPECT_EQ(out.vt, VT_EMPTY);
    }
    VariantClear(&out);
  }
}

TEST(VariantChangeType, InPlaceConversionReplacesTheValue) {
  Variant v = Variant::String("42");
  ASSERT_EQ(VariantChangeType(v.raw_mut(), &v.raw(), 0, VT_I4), S_OK);
  EXPECT_EQ(v.vt(), VT_I4);
  EXPECT_EQ(v.raw().lVal, 42);
  ASSERT_EQ(VariantChangeType(v.raw_mut(), &v.raw(), 0, VT_BSTR), S_OK);
  EXPECT_EQ(v.ToString(), "42");
}

TEST(VariantChangeType, FollowsAReference) {
  LONG target = 77;
  VARIANT ref;
  VariantInit(&ref);
  ref.vt = VT_I4 | VT_BYREF;
  ref.plVal = &target;
  VARIANT out;
  VariantInit(&out);
  ASSERT_EQ(VariantChangeType(&out, &ref, 0, VT_BSTR), S_OK);
  EXPECT_EQ(Utf8(out.bstrVal), "77");
  VariantClear(&out);
  Variant copy(ref);  // the wrapper copies the referenced value
  EXPECT_EQ(copy.vt(), VT_I4);
  target = 1;
  EXPECT_EQ(copy.ToLong(), 77);
}

TEST(VariantChangeType, ObjectConvertsThroughItsDefaultMember) {
  ComPtr<FakeDispatch> obj = MakeCom<FakeDispatch>();
  obj->value = Variant::String("123");
  Variant v = Variant::Dispatch(obj.get());
  EXPECT_EQ(v.ToLong(), 123);
  EXPECT_EQ(v.ToString(), "123");
  Variant nothing = Variant::Dispatch(nullptr);
  EXPECT_EQ(nothing.ToUnknown(), nullptr);
  try {
    nothing.ToLong();
    FAIL() << "Nothing has no value";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.number(), kErrTypeMismatch);
  }
}

struct RaiseCase {
  const char* name;
  Variant v;
  int which;  // 0 Long, 1 Integer, 2 Byte, 3 String, 4 Double, 5 Date, 6 Boolean, 7 Single
  std::int32_t number;
};

TEST(Variant, ConversionsRaiseTheRuntimeErrors) {
  const RaiseCase cases[] = {
      {"Null to Long", Variant::Null(), 0, kErrInvalidUseOfNull},
      {"Null to String", Variant::Null(), 3, kErrInvalidUseOfNull},
      {"Null to Boolean", Variant::Null(), 6, kErrInvalidUseOfNull},
      {"letters to Long", Variant::String("abc"), 0, kErrTypeMismatch},
      {"letters to Date", Variant::String("abc"), 5, kErrTypeMismatch},
      {"40000 to Integer", Variant::String("40000"), 1, kErrOverflow},
      {"300 to Byte", Variant::Long(300), 2, kErrOverflow},
      {"Missing to Long", Variant::Missing(), 0, kErrTypeMismatch},
      {"huge to Double", Variant::String("1e999"), 4, kErrOverflow},
      {"huge to Single", Variant::Double(1e300), 7, kErrOverflow},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      switch (c.which) {
        case 0: c.v.ToLong(); break;
        case 1: c.v.ToInteger(); break;
        case 2: c.v.ToByte(); break;
        case 3: c.v.ToString(); break;
        case 4: c.v.ToDouble(); break;
        case 5: c.v.ToDate(); break;
        case 6: c.v.ToBoolean(); break;
        case 7: c.v.ToSingle(); break;
      }
      ADD_FAILURE() << "no error raised";
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.number(), c.number);
      EXPECT_EQ(e.hresult(), HResultFromError(c.number));
      EXPECT_EQ(e.description(), DefaultDescription(c.number));
    }
  }
}

TEST(Variant, TypedConstructorsUseTheNamedType) {
  EXPECT_EQ(Variant::Boolean(true).raw().boolVal, -1);
  EXPECT_EQ(Variant::Boolean(false).raw().boolVal, 0);
  EXPECT_EQ(Variant::Boolean(true).vt(), VT_BOOL);
  EXPECT_EQ(Variant::Byte(7).vt(), VT_UI1);
  EXPECT_EQ(Variant::Integer(7).vt(), VT_I2);
  EXPECT_EQ(Variant::Long(7).vt(), VT_I4);
  EXPECT_EQ(Variant::Single(7).vt(), VT_R4);
  EXPECT_EQ(Variant::Double(7).vt(), VT_R8);
  EXPECT_EQ(Variant::Date(7).vt(), VT_DATE);
  EXPECT_TRUE(Variant::Null().is_null());
  EXPECT_TRUE(Variant::Missing().is_missing());
  EXPECT_EQ(Variant::Missing().raw().scode, DISP_E_PARAMNOTFOUND);
  EXPECT_TRUE(Variant().is_empty());
  EXPECT_EQ(Variant::String("é").ToString16(), u"é");
  EXPECT_EQ(Variant::String16(u"Größe").ToString(), "Größe");
}

TEST(Variant, CopiesOwnTheirTextAndObjects) {
  FakeDispatch::live = 0;
  {
    ComPtr<FakeDispatch> obj = MakeCom<FakeDispatch>();
    Variant a = Variant::Dispatch(obj.get());
    obj.reset();
    EXPECT_EQ(FakeDispatch::live, 1);
    {
      Variant b = a;
      Variant c;
      c = b;
      Variant d = std::move(c);
      EXPECT_TRUE(c.is_empty());
      EXPECT_EQ(d.ToUnknown(), a.ToUnknown());
    }
    EXPECT_EQ(FakeDispatch::live, 1);
  }
  EXPECT_EQ(FakeDispatch::live, 0);

  Variant s = Variant::String("abc");
  Variant t = s;
  EXPECT_NE(s.raw().bstrVal, t.raw().bstrVal);
  EXPECT_EQ(t.ToString(), "abc");
}

TEST(Variant, AdoptAndDetachMoveOwnership) {
  VARIANT raw = Variant::String("moved").Detach();
  EXPECT_EQ(raw.vt, VT_BSTR);
  Variant back = Variant::Adopt(&raw);
  EXPECT_EQ(raw.vt, VT_EMPTY);
  EXPECT_EQ(back.ToString(), "moved");
  VARIANT out;
  back.CopyTo(&out);
  EXPECT_EQ(Utf8(out.bstrVal), "moved");
  EXPECT_NE(out.bstrVal, back.raw().bstrVal);
  VariantClear(&out);
  EXPECT_THROW(Variant::String("x").ToUnknown(), AutomationError);
}

TEST(Variant, BooleanConversionAndText) {
  EXPECT_TRUE(Variant::String("True").ToBoolean());
  EXPECT_FALSE(Variant::String(" false ").ToBoolean());
  EXPECT_TRUE(Variant::String("-1").ToBoolean());
  EXPECT_FALSE(Variant().ToBoolean());
  EXPECT_EQ(Variant::Boolean(true).ToLong(), -1);
  EXPECT_EQ(Variant::Boolean(true).ToDouble(), -1.0);
}

TEST(SafeArray, HoldsCopiesOfVariants) {
  SAFEARRAY* a = SafeArrayCreateVector(VT_VARIANT, 1, 3);
  ASSERT_NE(a, nullptr);
  LONG lb = 0, ub = 0;
  EXPECT_EQ(SafeArrayGetLBound(a, 1, &lb), S_OK);
  EXPECT_EQ(SafeArrayGetUBound(a, 1, &ub), S_OK);
  EXPECT_EQ(lb, 1);
  EXPECT_EQ(ub, 3);
  Variant text = Variant::String("second");
  LONG i = 2;
  EXPECT_EQ(SafeArrayPutElement(a, &i, text.raw_mut()), S_OK);
  VARIANT got;
  EXPECT_EQ(SafeArrayGetElement(a, &i, &got), S_OK);
  EXPECT_EQ(Utf8(got.bstrVal), "second");
  VariantClear(&got);
  LONG bad = 4;
  EXPECT_NE(SafeArrayGetElement(a, &bad, &got), S_OK);
  bad = 0;
  EXPECT_NE(SafeArrayPutElement(a, &bad, text.raw_mut()), S_OK);
  EXPECT_NE(SafeArrayGetLBound(a, 2, &lb), S_OK);

  // A variant holding the array copies it deeply.
  VARIANT holder;
  VariantInit(&holder);
  holder.vt = VT_ARRAY | VT_VARIANT;
  holder.parray = a;
  VARIANT copy;
  VariantInit(&copy);
  ASSERT_EQ(VariantCopy(&copy, &holder), S_OK);
  EXPECT_NE(copy.parray, a);
  VariantClear(&holder);
  ASSERT_EQ(SafeArrayGetElement(copy.parray, &i, &got), S_OK);
  EXPECT_EQ(Utf8(got.bstrVal), "second");
  VariantClear(&got);
  VariantClear(&copy);
  EXPECT_EQ(SafeArrayCreateVector(VT_I4, 0, 3), nullptr);
}

}  // namespace
}  // namespace tarvik
