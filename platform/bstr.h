// BSTR: length-prefixed UTF-16 string, the automation string type.
// The 32-bit byte length stands just before the characters; the text is
// NUL-terminated as well. A null BSTR is the empty string.
//
// Inside the component text is UTF-8 std::string; Utf8/Utf16 convert at the
// interface boundary.
#pragma once

#include <string>
#include <string_view>

#include "platform/com.h"

namespace tarvik {

using BSTR = OLECHAR*;

BSTR SysAllocString(const OLECHAR* text);
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
void SysFreeString(BSTR s);
UINT SysStringLen(BSTR s);  // characters, 0 for null

// UTF-8 <-> UTF-16. Invalid UTF-8 bytes become U+FFFD; unpaired surrogates too.
std::u16string Utf16(std::string_view utf8);
std::string Utf8(std::u16string_view utf16);
std::string Utf8(BSTR s);

// Owning BSTR wrapper.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(std::string_view utf8);
  explicit Bstr(std::u16string_view utf16);
  Bstr(const Bstr& o);
  Bstr(Bstr&& o) noexcept;
  Bstr& operator=(Bstr o) noexcept;
  ~Bstr();

  static Bstr Adopt(BSTR s);  // takes ownership
  BSTR get() const { return s_; }
  BSTR detach();              // gives ownership away
  BSTR copy() const;          // new allocation the caller owns
  UINT length() const { return SysStringLen(s_); }
  std::string utf8() const { return Utf8(s_); }
  std::u16string_view view() const;

 private:
  BSTR s_ = nullptr;
};

}  // namespace tarvik
