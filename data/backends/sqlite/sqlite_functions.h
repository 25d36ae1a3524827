// SQL functions the stored queries of SQLite call, registered on every
// connection of the backend (PostgreSQL keeps its own in the schema).
//
// tarvik_order_in_range(order_number, first, last): whether an order number
// lies in a range given as text. When both ends are digits only, it
// compares numbers and only order numbers of digits are in range; otherwise
// it compares text (BINARY). A Null end or order number is never in range.
#pragma once

#include <SQLiteCpp/Database.h>

namespace tarvik::data::sqlite_detail {

void RegisterFunctions(SQLite::Database& db);

}  // namespace tarvik::data::sqlite_detail
