// Rows of one bounded SELECT read whole, as the PostgreSQL backend hands
// them to its result sets. A result set never asks for more than a window
// of a large result through this; the backend decides how the SELECT
// travels (prepared, pipelined).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "data/value.h"

namespace tarvik::data {

struct RowBlock {
  std::vector<std::string> columns;
  std::vector<std::vector<Value>> rows;
};

// Runs one SELECT of the backend's dialect ($1..$n markers) and reads it
// whole. Throws AutomationError as the backend's Query does.
using RowFetcher = std::function<RowBlock(const std::string& sql, const std::vector<Value>& params)>;

}  // namespace tarvik::data
