// BSTR storage of our own runtime: the 32-bit byte length stands in the four
// bytes before the characters, as the platform lays it out.
#include <cstdlib>

#include "platform/bstr.h"

namespace tarvik {

namespace {

std::uint32_t* Header(BSTR s) { return reinterpret_cast<std::uint32_t*>(s) - 1; }

}  // namespace

BSTR SysAllocString(const OLECHAR* text) {
  if (!text) return nullptr;
  UINT n = 0;
  while (text[n]) ++n;
  return SysAllocStringLen(text, n);
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
  std::size_t bytes = sizeof(std::uint32_t) + (static_cast<std::size_t>(length) + 1) * sizeof(OLECHAR);
  auto* block = static_cast<std::uint32_t*>(std::malloc(bytes));
  if (!block) return nullptr;
  block[0] = length * sizeof(OLECHAR);
  BSTR s = reinterpret_cast<BSTR>(block + 1);
  for (UINT i = 0; i < length; ++i) s[i] = text ? text[i] : u'\0';
  s[length] = u'\0';
  return s;
}

void SysFreeString(BSTR s) {
  if (s) std::free(Header(s));
}

UINT SysStringLen(BSTR s) { return s ? *Header(s) / sizeof(OLECHAR) : 0; }

}  // namespace tarvik
