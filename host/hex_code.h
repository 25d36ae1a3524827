// An HRESULT as people read it in messages and scripts: 0x8007000E.
#pragma once

#include <cstdio>
#include <string>

#include "platform/com.h"

namespace tarvik::host {

inline std::string HexCode(HRESULT h) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(h));
  return buf;
}

}  // namespace tarvik::host
