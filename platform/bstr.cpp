#include "platform/bstr.h"


namespace tarvik {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
  } else {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 | (c >> 10));
    out += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
  }
}

}  // namespace

std::u16string Utf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  const std::size_t n = utf8.size();
  while (i < n) {
    auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      out += static_cast<char16_t>(b);
      ++i;
      continue;
    }
    int extra = 0;
    char32_t c = 0, min = 0;
    if ((b & 0xE0) == 0xC0) {
      extra = 1, c = b & 0x1F, min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2, c = b & 0x0F, min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3, c = b & 0x07, min = 0x10000;
    } else {
      out += static_cast<char16_t>(kReplacement);
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    bool ok = true;
    for (int k = 0; k < extra; ++k, ++j) {
      if (j >= n || (static_cast<unsigned char>(utf8[j]) & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      c = (c << 6) | (static_cast<unsigned char>(utf8[j]) & 0x3F);
    }
    // Overlong forms, surrogate code points and values past U+10FFFF are invalid.
    if (!ok || c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      out += static_cast<char16_t>(kReplacement);
      i = j;  // a broken sequence restarts at the offending byte
      continue;
    }
    AppendUtf16(out, c);
    i = j;
  }
  return out;
}

std::string Utf8(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    char32_t c = utf16[i];
    if (c >= 0xD800 && c <= 0xDBFF) {
      if (i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
        ++i;
      } else {
        c = kReplacement;
      }
    } else if (c >= 0xDC00 && c <= 0xDFFF) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::string Utf8(BSTR s) { return Utf8(std::u16string_view(s ? s : u"", SysStringLen(s))); }

Bstr::Bstr(std::string_view utf8) : Bstr(std::u16string_view(Utf16(utf8))) {}

Bstr::Bstr(std::u16string_view utf16)
    : s_(SysAllocStringLen(utf16.data(), static_cast<UINT>(utf16.size()))) {
  if (!s_) throw std::bad_alloc();
}

Bstr::Bstr(const Bstr& o) : s_(o.copy()) {}

Bstr::Bstr(Bstr&& o) noexcept : s_(o.s_) { o.s_ = nullptr; }

Bstr& Bstr::operator=(Bstr o) noexcept {
  std::swap(s_, o.s_);
  return *this;
}

Bstr::~Bstr() { SysFreeString(s_); }

Bstr Bstr::Adopt(BSTR s) {
  Bstr b;
  b.s_ = s;
  return b;
}

BSTR Bstr::detach() {
  BSTR s = s_;
  s_ = nullptr;
  return s;
}

BSTR Bstr::copy() const {
  if (!s_) return nullptr;
  BSTR c = SysAllocStringLen(s_, SysStringLen(s_));
  if (!c) throw std::bad_alloc();
  return c;
}

std::u16string_view Bstr::view() const {
  return s_ ? std::u16string_view(s_, SysStringLen(s_)) : std::u16string_view();
}

}  // namespace tarvik
