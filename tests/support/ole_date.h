// The OLE date of a calendar time, for expectations; a time the platform has
// no date for fails the test.
#pragma once

#include <optional>

#include <gtest/gtest.h>

#include "platform/regional.h"

namespace tarvik::testing {

inline double Ole(int y, int m, int d, int hh = 0, int mm = 0, int ss = 0) {
  std::optional<double> v = regional::ToOleDate({y, m, d, hh, mm, ss});
  EXPECT_TRUE(v.has_value()) << y << "-" << m << "-" << d;
  return v.value_or(-1e9);
}

}  // namespace tarvik::testing
