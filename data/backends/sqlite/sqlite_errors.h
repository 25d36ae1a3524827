// Turns SQLite failures into AutomationError with a description a clerk can
// act on: key violations name the table, column and value where the failing
// statement shows them; a database still busy after the timeout is kErrLocked.
#pragma once

#include <SQLiteCpp/Exception.h>

#include <string>
#include <vector>

#include "data/value.h"

namespace tarvik::data::sqlite {

[[noreturn]] void RaiseSqliteError(const SQLite::Exception& e, const std::string& sql,
                                   const std::vector<Value>& params);

// For a failing INSERT INTO t (c1, ...) VALUES (v1, ...): the text of the value
// given for `column` (a literal, or a bound parameter); empty when unknown.
std::string InsertedValueText(const std::string& sql, const std::vector<Value>& params,
                              const std::string& column);

}  // namespace tarvik::data::sqlite
