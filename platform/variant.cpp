#include "platform/variant.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <new>
#include <optional>

#include "platform/error.h"
#include "platform/regional.h"

namespace tarvik {

namespace {

constexpr USHORT kNoValueProp = 0x1;  // VARIANT_NOVALUEPROP
constexpr int kMaxValueDepth = 8;     // default members returning objects

long double BankersRoundL(long double v) {
  const long double f = std::floor(v);
  const long double diff = v - f;
  if (diff == 0.5L) return std::fmod(f, 2.0L) == 0 ? f : f + 1;
  return diff < 0.5L ? f : f + 1;
}

bool IsIntegerType(VARTYPE vt) {
  switch (vt) {
    case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_UI1: case VT_UI2:
    case VT_UI4: case VT_UI8: case VT_INT: case VT_UINT:
      return true;
    default:
      return false;
  }
}

struct IntRange {
  VARTYPE vt;
  long double min;
  long double max;
};

constexpr IntRange kIntRanges[] = {
    {VT_I1, -128.0L, 127.0L},
    {VT_I2, -32768.0L, 32767.0L},
    {VT_I4, -2147483648.0L, 2147483647.0L},
    {VT_INT, -2147483648.0L, 2147483647.0L},
    {VT_I8, -9223372036854775808.0L, 9223372036854775807.0L},
    {VT_UI1, 0.0L, 255.0L},
    {VT_UI2, 0.0L, 65535.0L},
    {VT_UI4, 0.0L, 4294967295.0L},
    {VT_UINT, 0.0L, 4294967295.0L},
    {VT_UI8, 0.0L, 18446744073709551615.0L},
};

const IntRange& RangeOf(VARTYPE vt) {
  for (const auto& r : kIntRanges) {
    if (r.vt == vt) return r;
  }
  return kIntRanges[2];
}

void StoreInteger(VARIANT* out, VARTYPE vt, long double v) {
  out->llVal = 0;
  switch (vt) {
    case VT_I1: out->cVal = static_cast<char>(static_cast<int>(v)); break;
    case VT_I2: out->iVal = static_cast<SHORT>(v); break;
    case VT_I4: out->lVal = static_cast<LONG>(v); break;
    case VT_INT: out->intVal = static_cast<int>(v); break;
    case VT_I8: out->llVal = static_cast<std::int64_t>(v); break;
    case VT_UI1: out->bVal = static_cast<BYTE>(v); break;
    case VT_UI2: out->uiVal = static_cast<USHORT>(v); break;
    case VT_UI4: out->ulVal = static_cast<ULONG>(v); break;
    case VT_UINT: out->uintVal = static_cast<unsigned>(v); break;
    case VT_UI8: out->ullVal = static_cast<std::uint64_t>(v); break;
    default: break;
  }
  out->vt = vt;
}

std::optional<long double> IntegerValue(const VARIANT& s) {
  switch (s.vt) {
    case VT_I1: return static_cast<long double>(s.cVal);
    case VT_I2: return s.iVal;
    case VT_I4: return s.lVal;
    case VT_INT: return s.intVal;
    case VT_I8: return static_cast<long double>(s.llVal);
    case VT_UI1: return s.bVal;
    case VT_UI2: return s.uiVal;
    case VT_UI4: return s.ulVal;
    case VT_UINT: return s.uintVal;
    case VT_UI8: return static_cast<long double>(s.ullVal);
    default: return std::nullopt;
  }
}

std::string TextOf(const VARIANT& s) {
  return Utf8(std::u16string_view(s.bstrVal ? s.bstrVal : u"", SysStringLen(s.bstrVal)));
}

// The numeric value of a non-object source, or the failure code.
HRESULT NumericValue(const VARIANT& s, long double* out) {
  if (auto i = IntegerValue(s)) {
    *out = *i;
    return S_OK;
  }
  switch (s.vt) {
    case VT_EMPTY: *out = 0; return S_OK;
    case VT_BOOL: *out = s.boolVal ? -1 : 0; return S_OK;
    case VT_R4: *out = s.fltVal; return S_OK;
    case VT_R8: *out = s.dblVal; return S_OK;
    case VT_DATE: *out = s.date; return S_OK;
    case VT_CY: *out = static_cast<long double>(s.cyVal.int64) / 10000.0L; return S_OK;
    case VT_BSTR: {
      std::optional<double> d = regional::ParseNumber(TextOf(s));
      if (!d) return DISP_E_TYPEMISMATCH;
      if (!std::isfinite(*d)) return DISP_E_OVERFLOW;
      *out = *d;
      return S_OK;
    }
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

std::string CurrencyText(std::int64_t v) {
  const bool negative = v < 0;
  std::uint64_t u = negative ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  std::string text = std::to_string(u / 10000);
  std::uint64_t frac = u % 10000;
  if (frac) {
    std::string f = std::to_string(frac + 10000).substr(1);
    while (f.back() == '0') f.pop_back();
    text += "." + f;
  }
  return negative ? "-" + text : text;
}

HRESULT TextValue(const VARIANT& s, std::string* out) {
  if (auto i = IntegerValue(s)) {
    if (s.vt == VT_UI8) {
      *out = std::to_string(s.ullVal);
    } else {
      *out = std::to_string(static_cast<std::int64_t>(*i));
    }
    return S_OK;
  }
  switch (s.vt) {
    case VT_EMPTY: out->clear(); return S_OK;
    case VT_BOOL: *out = s.boolVal ? "True" : "False"; return S_OK;
    case VT_R4: *out = regional::FormatSingle(s.fltVal); return S_OK;
    case VT_R8: *out = regional::FormatDouble(s.dblVal); return S_OK;
    case VT_CY: *out = CurrencyText(s.cyVal.int64); return S_OK;
    case VT_DATE:
      if (!regional::InOleCalendar(s.date)) return DISP_E_OVERFLOW;
      *out = regional::FormatDate(s.date);
      return S_OK;
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::string_view Trim(std::string_view t) {
  while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
  return t;
}

HRESULT ChangeValue(VARIANT* out, const VARIANT& s, USHORT flags, VARTYPE vt, int depth);

// An object converts through its default member (DISPID_VALUE).
HRESULT DefaultValue(VARIANT* out, const VARIANT& s, USHORT flags, VARTYPE vt, int depth) {
  IDispatch* d = s.pdispVal;
  if (!d || (flags & kNoValueProp) || depth >= kMaxValueDepth) return DISP_E_TYPEMISMATCH;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  VARIANT value;
  VariantInit(&value);
  EXCEPINFO excep{};
  HRESULT h = d->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_PROPERTYGET | DISPATCH_METHOD, &none,
                        &value, &excep, nullptr);
  if (h == DISP_E_EXCEPTION) {
    ErrorRecord rec;
    rec.hresult = h = Failed(excep.scode) ? excep.scode : E_FAIL;
    AutomationError e = AutomationError::FromHResult(h, Utf8(excep.bstrDescription),
                                                     Utf8(excep.bstrSource));
    rec.number = e.number();
    rec.description = e.description();
    rec.source = e.source();
    SetErrorRecord(std::move(rec));
  }
  SysFreeString(excep.bstrSource);
  SysFreeString(excep.bstrDescription);
  SysFreeString(excep.bstrHelpFile);
  if (Failed(h)) {
    VariantClear(&value);
    return h == DISP_E_MEMBERNOTFOUND ? DISP_E_TYPEMISMATCH : h;
  }
  h = ChangeValue(out, value, flags, vt, depth + 1);
  VariantClear(&value);
  return h;
}

HRESULT ToNumberType(VARIANT* out, const VARIANT& s, VARTYPE vt) {
  long double v = 0;
  HRESULT h = NumericValue(s, &v);
  if (Failed(h)) return h;
  if (IsIntegerType(vt)) {
    // VT_BOOL True is all bits set, so it wraps into unsigned types as the
    // standard conversions do (255 for a Byte).
    if (s.vt == VT_BOOL && RangeOf(vt).min == 0 && v < 0) v += RangeOf(vt).max + 1;
    long double r = BankersRoundL(v);
    const IntRange& range = RangeOf(vt);
    if (r < range.min || r > range.max) return DISP_E_OVERFLOW;
    StoreInteger(out, vt, r);
    return S_OK;
  }
  switch (vt) {
    case VT_R4: {
      float f = static_cast<float>(v);
      if (std::isinf(f) && !std::isinf(v)) return DISP_E_OVERFLOW;
      out->fltVal = f;
      break;
    }
    case VT_R8: {
      double d = static_cast<double>(v);
      if (std::isinf(d) && !std::isinf(v)) return DISP_E_OVERFLOW;
      out->dblVal = d;
      break;
    }
    case VT_CY: {
      long double c = BankersRoundL(v * 10000.0L);
      if (!(c >= -9223372036854775808.0L && c <= 9223372036854775807.0L)) return DISP_E_OVERFLOW;
      out->cyVal.int64 = static_cast<std::int64_t>(c);
      break;
    }
    case VT_ERROR: {
      if (!IntegerValue(s)) return DISP_E_TYPEMISMATCH;
      if (v < -2147483648.0L || v > 4294967295.0L) return DISP_E_OVERFLOW;
      out->scode = static_cast<HRESULT>(static_cast<std::int64_t>(v));
      break;
    }
    default:
      return DISP_E_TYPEMISMATCH;
  }
  out->vt = vt;
  return S_OK;
}

HRESULT ToDateType(VARIANT* out, const VARIANT& s) {
  double d = 0;
  if (s.vt == VT_BSTR) {
    std::optional<double> parsed = regional::ParseDate(TextOf(s));
    if (!parsed) return DISP_E_TYPEMISMATCH;
    d = *parsed;
  } else {
    long double v = 0;
    HRESULT h = NumericValue(s, &v);
    if (Failed(h)) return h;
    if (!regional::InOleCalendar(static_cast<double>(v))) return DISP_E_OVERFLOW;
    d = static_cast<double>(v);
  }
  out->date = d;
  out->vt = VT_DATE;
  return S_OK;
}

HRESULT ToBoolType(VARIANT* out, const VARIANT& s) {
  bool value = false;
  if (s.vt == VT_BSTR) {
    std::string text = TextOf(s);
    std::string_view t = Trim(text);
    if (EqualsNoCase(t, "true") || EqualsNoCase(t, "#true#")) {
      value = true;
    } else if (EqualsNoCase(t, "false") || EqualsNoCase(t, "#false#")) {
      value = false;
    } else {
      std::optional<double> d = regional::ParseNumber(text);
      if (!d) return DISP_E_TYPEMISMATCH;
      value = *d != 0;
    }
  } else {
    long double v = 0;
    HRESULT h = NumericValue(s, &v);
    if (Failed(h)) return h;
    value = v != 0;
  }
  out->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  out->vt = VT_BOOL;
  return S_OK;
}

HRESULT ToStringType(VARIANT* out, const VARIANT& s) {
  std::string text;
  HRESULT h = TextValue(s, &text);
  if (Failed(h)) return h;
  std::u16string wide = Utf16(text);
  BSTR b = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  if (!b) return E_OUTOFMEMORY;
  out->bstrVal = b;
  out->vt = VT_BSTR;
  return S_OK;
}

HRESULT ToObjectType(VARIANT* out, const VARIANT& s, VARTYPE vt) {
  IUnknown* unk = nullptr;
  if (s.vt == VT_DISPATCH) {
    unk = s.pdispVal;
  } else if (s.vt == VT_UNKNOWN) {
    unk = s.punkVal;
  } else if (s.vt != VT_EMPTY) {
    return DISP_E_TYPEMISMATCH;
  }
  void* p = nullptr;
  if (unk) {
    HRESULT h = unk->QueryInterface(vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown, &p);
    if (Failed(h)) return DISP_E_TYPEMISMATCH;
  }
  if (vt == VT_DISPATCH) {
    out->pdispVal = static_cast<IDispatch*>(p);
  } else {
    out->punkVal = static_cast<IUnknown*>(p);
  }
  out->vt = vt;
  return S_OK;
}

// s is not by reference and not aliased with out; out is cleared.
HRESULT ChangeValue(VARIANT* out, const VARIANT& s, USHORT flags, VARTYPE vt, int depth) {
  if (s.vt == vt || vt == VT_VARIANT) return VariantCopy(out, &s);
  if ((s.vt & VT_ARRAY) || (vt & (VT_ARRAY | VT_BYREF))) return DISP_E_TYPEMISMATCH;
  if (vt == VT_EMPTY) return S_OK;
  if (vt == VT_NULL) {
    if (s.vt != VT_EMPTY) return DISP_E_TYPEMISMATCH;
    out->vt = VT_NULL;
    return S_OK;
  }
  if (s.vt == VT_NULL) return DISP_E_TYPEMISMATCH;
  if (vt == VT_DISPATCH || vt == VT_UNKNOWN) return ToObjectType(out, s, vt);
  if (s.vt == VT_DISPATCH) return DefaultValue(out, s, flags, vt, depth);
  if (s.vt == VT_UNKNOWN || s.vt == VT_ERROR) return DISP_E_TYPEMISMATCH;
  switch (vt) {
    case VT_BSTR: return ToStringType(out, s);
    case VT_BOOL: return ToBoolType(out, s);
    case VT_DATE: return ToDateType(out, s);
    default: return ToNumberType(out, s, vt);
  }
}

}  // namespace

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, USHORT flags, VARTYPE vt) {
  if (!dest || !src) return E_INVALIDARG;
  VARIANT s;
  VariantInit(&s);
  HRESULT h = VariantCopyInd(&s, src);
  if (Failed(h)) return h;
  VARIANT out;
  VariantInit(&out);
  h = ChangeValue(&out, s, flags, vt, 0);
  VariantClear(&s);
  VariantClear(dest);  // src may be dest: s holds the value by now
  if (Failed(h)) {
    VariantClear(&out);
    return h;
  }
  *dest = out;
  return S_OK;
}

bool IsMissing(const VARIANT& v) { return v.vt == VT_ERROR && v.scode == DISP_E_PARAMNOTFOUND; }

// ---- Variant ----

namespace {

void Check(HRESULT h) {
  if (Failed(h)) {
    if (h == E_OUTOFMEMORY) throw std::bad_alloc();
    ThrowIfFailed(h);
  }
}

}  // namespace

Variant::Variant(const Variant& o) {
  VariantInit(&v_);
  Check(VariantCopy(&v_, &o.v_));
}

Variant::Variant(Variant&& o) noexcept : v_(o.v_) { VariantInit(&o.v_); }

Variant& Variant::operator=(Variant o) noexcept {
  std::swap(v_, o.v_);
  return *this;
}

Variant::Variant(const VARIANT& v) {
  VariantInit(&v_);
  Check(VariantCopyInd(&v_, &v));
}

Variant Variant::Null() {
  Variant r;
  r.v_.vt = VT_NULL;
  return r;
}

Variant Variant::Missing() {
  Variant r;
  r.v_.vt = VT_ERROR;
  r.v_.scode = DISP_E_PARAMNOTFOUND;
  return r;
}

Variant Variant::Long(std::int32_t v) {
  Variant r;
  r.v_.vt = VT_I4;
  r.v_.lVal = v;
  return r;
}

Variant Variant::Integer(std::int16_t v) {
  Variant r;
  r.v_.vt = VT_I2;
  r.v_.iVal = v;
  return r;
}

Variant Variant::Byte(std::uint8_t v) {
  Variant r;
  r.v_.vt = VT_UI1;
  r.v_.bVal = v;
  return r;
}

Variant Variant::Boolean(bool v) {
  Variant r;
  r.v_.vt = VT_BOOL;
  r.v_.boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
  return r;
}

Variant Variant::Single(float v) {
  Variant r;
  r.v_.vt = VT_R4;
  r.v_.fltVal = v;
  return r;
}

Variant Variant::Double(double v) {
  Variant r;
  r.v_.vt = VT_R8;
  r.v_.dblVal = v;
  return r;
}

Variant Variant::Date(DATE v) {
  Variant r;
  r.v_.vt = VT_DATE;
  r.v_.date = v;
  return r;
}

Variant Variant::String(std::string_view utf8) { return String16(Utf16(utf8)); }

Variant Variant::String16(std::u16string_view s) {
  Variant r;
  r.v_.bstrVal = Bstr(s).detach();
  r.v_.vt = VT_BSTR;
  return r;
}

Variant Variant::Dispatch(IDispatch* p) {
  Variant r;
  if (p) p->AddRef();
  r.v_.vt = VT_DISPATCH;
  r.v_.pdispVal = p;
  return r;
}

Variant Variant::Unknown(IUnknown* p) {
  Variant r;
  if (p) p->AddRef();
  r.v_.vt = VT_UNKNOWN;
  r.v_.punkVal = p;
  return r;
}

Variant Variant::Adopt(VARIANT* v) {
  Variant r;
  if (v) {
    r.v_ = *v;
    VariantInit(v);
  }
  return r;
}

namespace {

// Converts or raises the runtime error a client would see.
VARIANT Convert(const VARIANT& v, VARTYPE vt) {
  VARIANT out;
  VariantInit(&out);
  HRESULT h = VariantChangeType(&out, &v, 0, vt);
  if (Succeeded(h)) return out;
  const bool is_null = v.vt == VT_NULL ||
                       (v.vt == (VT_VARIANT | VT_BYREF) && v.pvarVal && v.pvarVal->vt == VT_NULL);
  if (is_null) RaiseError(kErrInvalidUseOfNull);
  if (h == DISP_E_OVERFLOW) RaiseError(kErrOverflow);
  if (h == DISP_E_TYPEMISMATCH) RaiseError(kErrTypeMismatch);
  Check(h);
  RaiseError(kErrTypeMismatch);
}

// Owns a converted raw value for the length of one read.
struct Converted {
  VARIANT v;
  Converted(const VARIANT& src, VARTYPE vt) : v(Convert(src, vt)) {}
  ~Converted() { VariantClear(&v); }
  Converted(const Converted&) = delete;
  Converted& operator=(const Converted&) = delete;
};

}  // namespace

std::string Variant::ToString() const {
  if (v_.vt == VT_BSTR) return Utf8(v_.bstrVal);  // the common case, without a copy
  Converted c(v_, VT_BSTR);
  return Utf8(c.v.bstrVal);
}

std::u16string Variant::ToString16() const {
  Converted c(v_, VT_BSTR);
  return std::u16string(c.v.bstrVal ? c.v.bstrVal : u"", SysStringLen(c.v.bstrVal));
}

std::int32_t Variant::ToLong() const {
  if (v_.vt == VT_I4) return v_.lVal;
  if (v_.vt == VT_I2) return v_.iVal;
  return Converted(v_, VT_I4).v.lVal;
}
std::int16_t Variant::ToInteger() const { return Converted(v_, VT_I2).v.iVal; }
std::uint8_t Variant::ToByte() const { return Converted(v_, VT_UI1).v.bVal; }
bool Variant::ToBoolean() const { return Converted(v_, VT_BOOL).v.boolVal != VARIANT_FALSE; }
float Variant::ToSingle() const { return Converted(v_, VT_R4).v.fltVal; }
double Variant::ToDouble() const {
  if (v_.vt == VT_R8) return v_.dblVal;
  return Converted(v_, VT_R8).v.dblVal;
}
// A date held as such is checked too: outside the calendar (years 100 to
// 9999) it overflows, as every conversion to a date does.
DATE Variant::ToDate() const {
  const DATE d = Converted(v_, VT_DATE).v.date;
  if (!regional::InOleCalendar(d)) RaiseError(kErrOverflow);
  return d;
}

IUnknown* Variant::ToUnknown() const {
  const VARIANT* v = &v_;
  if (v->vt == (VT_VARIANT | VT_BYREF) && v->pvarVal) v = v->pvarVal;
  switch (v->vt) {
    case VT_DISPATCH: return v->pdispVal;
    case VT_UNKNOWN: return v->punkVal;
    case VT_DISPATCH | VT_BYREF: return v->ppdispVal ? *v->ppdispVal : nullptr;
    case VT_UNKNOWN | VT_BYREF: return v->ppunkVal ? *v->ppunkVal : nullptr;
    default: RaiseError(kErrTypeMismatch);
  }
}

void Variant::CopyTo(VARIANT* out) const {
  if (!out) return;
  VariantInit(out);
  Check(VariantCopy(out, &v_));
}

VARIANT Variant::Detach() {
  VARIANT r = v_;
  VariantInit(&v_);
  return r;
}

}  // namespace tarvik
