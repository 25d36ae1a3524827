#include "platform/com.h"

#include <cstdio>

namespace tarvik {

const IID IID_NULL = {0x00000000, 0x0000, 0x0000, {0, 0, 0, 0, 0, 0, 0, 0}};
const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

std::string GuidToString(const GUID& g) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return buf;
}

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads `digits` hex digits at text[pos], advancing pos.
bool ReadHex(const std::string& text, std::size_t& pos, int digits, std::uint64_t* out) {
  std::uint64_t v = 0;
  for (int i = 0; i < digits; ++i, ++pos) {
    if (pos >= text.size()) return false;
    int d = HexDigit(text[pos]);
    if (d < 0) return false;
    v = v * 16 + static_cast<std::uint64_t>(d);
  }
  *out = v;
  return true;
}

bool Expect(const std::string& text, std::size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

}  // namespace

bool GuidFromString(const std::string& text, GUID* out) {
  std::string t = text;
  if (!t.empty() && t.front() == '{') {
    if (t.back() != '}') return false;
    t = t.substr(1, t.size() - 2);
  }
  if (t.size() != 36) return false;
  GUID g{};
  std::size_t pos = 0;
  std::uint64_t v = 0;
  if (!ReadHex(t, pos, 8, &v) || !Expect(t, pos, '-')) return false;
  g.Data1 = static_cast<std::uint32_t>(v);
  if (!ReadHex(t, pos, 4, &v) || !Expect(t, pos, '-')) return false;
  g.Data2 = static_cast<std::uint16_t>(v);
  if (!ReadHex(t, pos, 4, &v) || !Expect(t, pos, '-')) return false;
  g.Data3 = static_cast<std::uint16_t>(v);
  for (int i = 0; i < 8; ++i) {
    if (i == 2 && !Expect(t, pos, '-')) return false;
    if (!ReadHex(t, pos, 2, &v)) return false;
    g.Data4[i] = static_cast<std::uint8_t>(v);
  }
  if (pos != t.size()) return false;
  if (out) *out = g;
  return true;
}

}  // namespace tarvik
