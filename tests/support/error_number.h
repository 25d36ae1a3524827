// The automation error number an action raises, 0 when it raises none.
#pragma once

#include <functional>

#include "platform/error.h"

namespace tarvik::testing {

inline int ErrorNumberOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const AutomationError& e) {
    return e.number();
  }
  return 0;
}

}  // namespace tarvik::testing
