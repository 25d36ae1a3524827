// Helpers for the vtable side of the server classes: storing and answering
// property values, and running a C++ member behind an automation member so
// that its exceptions become an HRESULT plus the error record (Guard).
#pragma once

#include <string>

#include "platform/bstr.h"
#include "platform/com.h"
#include "platform/error.h"

namespace tarvik::automation {

template <class T, class V>
HRESULT Store(T& member, V value) noexcept {
  member = static_cast<T>(value);
  return S_OK;
}

template <class T, class V>
HRESULT Out(T* out, V value) noexcept {
  if (!out) return E_POINTER;
  *out = static_cast<T>(value);
  return S_OK;
}

// f() answers bool; the result is -1 / 0.
template <class F>
HRESULT AnswerBool(VARIANT_BOOL* result, F&& f) noexcept {
  if (!result) return E_POINTER;
  *result = VARIANT_FALSE;
  return Guard([&] { *result = f() ? VARIANT_TRUE : VARIANT_FALSE; });
}

// f() answers UTF-8 text.
template <class F>
HRESULT AnswerText(BSTR* result, F&& f) noexcept {
  if (!result) return E_POINTER;
  *result = nullptr;
  return Guard([&] { *result = Bstr(f()).detach(); });
}

template <class F>
HRESULT Run(F&& f) noexcept {
  return Guard(std::forward<F>(f));
}

}  // namespace tarvik::automation
