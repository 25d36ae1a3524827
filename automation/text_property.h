// A String property as the host set it: UTF-16 kept unchanged (embedded
// NULs and unpaired surrogates included), with UTF-8 views for the code that
// builds SQL and messages.
#pragma once

#include <string>
#include <string_view>

#include "platform/bstr.h"
#include "platform/com.h"

namespace tarvik::automation {

class TextProperty {
 public:
  TextProperty() = default;
  explicit TextProperty(std::string_view utf8) : value_(Utf16(utf8)) {}

  const std::u16string& value() const { return value_; }
  std::string utf8() const { return Utf8(value_); }
  bool empty() const { return value_.empty(); }

  void set(std::u16string_view v) { value_.assign(v); }
  void set_utf8(std::string_view v) { value_ = Utf16(v); }
  void clear() { value_.clear(); }

  // Interface boundary: a put stores the BSTR as it is, a get hands out a copy.
  HRESULT Put(BSTR v) noexcept;
  HRESULT Get(BSTR* out) const noexcept;

 private:
  std::u16string value_;
};

}  // namespace tarvik::automation
