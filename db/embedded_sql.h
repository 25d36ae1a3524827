// The database scripts compiled into the program (db/embed_sql.cmake writes
// them from db/<backend>/*.sql).
#pragma once

namespace tarvik::db::embedded {

extern const char* const kSchema;      // SQLite, version 1
extern const char* const kQueries;     // SQLite stored query catalog
extern const char* const kPgSchema;    // PostgreSQL, version 1
extern const char* const kPgQueries;   // PostgreSQL stored query catalog
// upgrade_N.sql, version 2 first; null-terminated.
extern const char* const kUpgrades[];
extern const char* const kPgUpgrades[];

}  // namespace tarvik::db::embedded
