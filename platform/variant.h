// VARIANT: the automation value, with the standard VT_ codes and layout,
// the C-style helpers (VariantInit, VariantClear, VariantCopy,
// VariantChangeType) and the RAII wrapper Variant used inside the code.
// Conversions between text and numbers or dates follow the United States
// regional settings (see regional.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/bstr.h"
#include "platform/com.h"

namespace tarvik {

using VARTYPE = std::uint16_t;
using DATE = double;  // days since 12/30/1899, time as the fraction
struct CY {
  std::int64_t int64;  // value * 10000
};
struct SAFEARRAY;

enum VARENUM : VARTYPE {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_CY = 6,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_INT = 22,
  VT_UINT = 23,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
  VT_TYPEMASK = 0x0FFF,
};

// A record held by a Variant: two pointers, which make the value part 16
// bytes on 64-bit and the VARIANT 24, as the platform lays it out.
struct BRECORD {
  void* pvRecord;
  void* pRecInfo;
};

struct VARIANT {
  VARTYPE vt;
  WORD wReserved1;
  WORD wReserved2;
  WORD wReserved3;
  union {
    std::int64_t llVal;
    LONG lVal;
    BYTE bVal;
    SHORT iVal;
    float fltVal;
    double dblVal;
    VARIANT_BOOL boolVal;
    HRESULT scode;
    CY cyVal;
    DATE date;
    BSTR bstrVal;
    IUnknown* punkVal;
    IDispatch* pdispVal;
    SAFEARRAY* parray;
    BYTE* pbVal;
    SHORT* piVal;
    LONG* plVal;
    float* pfltVal;
    double* pdblVal;
    VARIANT_BOOL* pboolVal;
    DATE* pdate;
    BSTR* pbstrVal;
    IUnknown** ppunkVal;
    IDispatch** ppdispVal;
    SAFEARRAY** pparray;
    VARIANT* pvarVal;
    void* byref;
    char cVal;
    USHORT uiVal;
    ULONG ulVal;
    std::uint64_t ullVal;
    int intVal;
    unsigned int uintVal;
    BRECORD brecVal;
  };
};
using VARIANTARG = VARIANT;

void VariantInit(VARIANT* v);
HRESULT VariantClear(VARIANT* v);
HRESULT VariantCopy(VARIANT* dest, const VARIANT* src);
// Follows one level of VT_BYREF; dest receives a copy of the referenced value.
HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* src);
// Converts src to type vt into dest (dest may equal src). Text parsing and
// formatting use the United States regional settings. Returns
// DISP_E_TYPEMISMATCH or DISP_E_OVERFLOW on failure, leaving dest cleared.
HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, USHORT flags, VARTYPE vt);

// One-dimensional array of Variants, enough for the report call.
struct SAFEARRAYBOUND {
  ULONG cElements;
  LONG lLbound;
};
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lbound, ULONG count);  // VT_VARIANT only
HRESULT SafeArrayDestroy(SAFEARRAY* a);
HRESULT SafeArrayGetLBound(SAFEARRAY* a, UINT dim, LONG* out);
HRESULT SafeArrayGetUBound(SAFEARRAY* a, UINT dim, LONG* out);
HRESULT SafeArrayGetElement(SAFEARRAY* a, LONG* index, void* out);  // out: VARIANT*
HRESULT SafeArrayPutElement(SAFEARRAY* a, LONG* index, void* value);  // value: VARIANT*

// A missing optional argument: VT_ERROR holding DISP_E_PARAMNOTFOUND.
bool IsMissing(const VARIANT& v);

// Owning wrapper. Conversions raise AutomationError: 13 type mismatch,
// 6 overflow, 94 invalid use of Null.
class Variant {
 public:
  Variant() { VariantInit(&v_); }
  Variant(const Variant& o);
  Variant(Variant&& o) noexcept;
  Variant& operator=(Variant o) noexcept;
  ~Variant() { VariantClear(&v_); }
  explicit Variant(const VARIANT& v);  // copies (VariantCopyInd)

  // Typed constructors; the VT is the one named.
  static Variant Null();
  static Variant Missing();
  static Variant Long(std::int32_t v);            // VT_I4
  static Variant Integer(std::int16_t v);         // VT_I2
  static Variant Byte(std::uint8_t v);            // VT_UI1
  static Variant Boolean(bool v);                 // VT_BOOL, -1 / 0
  static Variant Single(float v);                 // VT_R4
  static Variant Double(double v);                // VT_R8
  static Variant Date(DATE v);                    // VT_DATE
  static Variant String(std::string_view utf8);   // VT_BSTR
  static Variant String16(std::u16string_view s); // VT_BSTR
  static Variant Dispatch(IDispatch* p);          // VT_DISPATCH, AddRefs
  static Variant Unknown(IUnknown* p);            // VT_UNKNOWN, AddRefs
  // Takes ownership of a raw VARIANT's contents, leaving it VT_EMPTY.
  static Variant Adopt(VARIANT* v);

  VARTYPE vt() const { return v_.vt; }
  bool is_empty() const { return v_.vt == VT_EMPTY; }
  bool is_null() const { return v_.vt == VT_NULL; }
  bool is_missing() const { return IsMissing(v_); }
  bool is_string() const { return v_.vt == VT_BSTR; }
  bool is_object() const { return v_.vt == VT_DISPATCH || v_.vt == VT_UNKNOWN; }

  // Conversions as VariantChangeType would make them.
  std::string ToString() const;    // UTF-8
  std::u16string ToString16() const;
  std::int32_t ToLong() const;     // banker's rounding
  std::int16_t ToInteger() const;
  std::uint8_t ToByte() const;
  bool ToBoolean() const;
  float ToSingle() const;
  double ToDouble() const;
  DATE ToDate() const;
  // The object held (VT_DISPATCH / VT_UNKNOWN), nullptr when empty object;
  // type mismatch otherwise.
  IUnknown* ToUnknown() const;

  const VARIANT& raw() const { return v_; }
  VARIANT* raw_mut() { return &v_; }
  // Copies into an out-parameter the caller owns.
  void CopyTo(VARIANT* out) const;
  VARIANT Detach();

 private:
  VARIANT v_;
};

}  // namespace tarvik
