// The suite's classic SQL dialect and its translation to a backend's own.
// Classic text uses #m/d/yyyy[ h:mm:ss AM]# date literals, Null / Is Null and
// ?1..?n parameter markers. The translator understands quoted strings ('...'
// with '' inside) and quoted identifiers ("..."), so nothing inside them is
// ever rewritten.
#pragma once

#include <string>
#include <string_view>

namespace tarvik::data {

enum class Dialect { kSqlite, kPostgres };

// Rewrites date literals to '2001-03-15' / '2001-03-15 14:30:00' (SQLite) or
// TIMESTAMP '...' (PostgreSQL), and ?n markers to $n for PostgreSQL.
// A malformed date literal (#13/45/2001#, unterminated #) throws
// AutomationError 3075-style kErrDatabase with the offending text.
std::string TranslateClassic(std::string_view sql, Dialect target);

}  // namespace tarvik::data
