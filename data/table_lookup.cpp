#include "data/table_lookup.h"

#include <string>

#include "platform/ascii.h"

namespace tarvik::data {
namespace {

// The same text runs on a backend and, in the classic dialect, on a
// connection: the names are literals, not markers.
std::string CountTablesSql(Dialect dialect, const std::vector<std::string_view>& names) {
  std::string sql = dialect == Dialect::kSqlite
                        ? "SELECT count(DISTINCT lower(name)) FROM sqlite_master WHERE type = 'table' AND "
                          "lower(name) IN ("
                        : "SELECT count(DISTINCT lower(table_name)) FROM information_schema.tables WHERE "
                          "table_schema = current_schema() AND lower(table_name) IN (";
  for (std::size_t i = 0; i < names.size(); ++i) {
    sql += i ? ", '" : "'";
    for (const char c : AsciiLower(names[i])) sql += c == '\'' ? std::string("''") : std::string(1, c);
    sql += "'";
  }
  return sql + ")";
}

bool AllCounted(ResultSet& rs, std::size_t wanted) {
  if (!rs.Seek(0)) return false;
  const auto* count = std::get_if<std::int64_t>(&rs.Column(0));
  return count && *count == static_cast<std::int64_t>(wanted);
}

}  // namespace

bool TablesExist(Backend& backend, const std::vector<std::string_view>& names) {
  return AllCounted(*backend.Query(CountTablesSql(backend.dialect(), names), {}), names.size());
}

bool TablesExist(HostConnection& connection, const std::vector<std::string_view>& names) {
  return AllCounted(*connection.QueryWith(CountTablesSql(connection.SqlDialect(), names), {}), names.size());
}

}  // namespace tarvik::data
