#include "tests/support/table_dump.h"

#include <variant>

#include "data/value.h"
#include "platform/regional.h"

namespace tarvik::testing {
namespace {

std::string ValueText(const data::Value& v) {
  if (auto* s = std::get_if<std::string>(&v)) return "'" + *s + "'";
  if (auto* i = std::get_if<std::int64_t>(&v)) return std::to_string(*i);
  if (auto* d = std::get_if<double>(&v)) return regional::FormatDouble(*d);
  if (auto* t = std::get_if<data::DateValue>(&v)) return regional::FormatIsoDate(t->ole);
  return "Null";
}

}  // namespace

std::string DumpQueries(data::HostConnection& connection, std::initializer_list<const char*> queries) {
  std::string out;
  for (const char* sql : queries) {
    auto rows = connection.OpenQuery(sql);
    out += sql;
    out += "\n";
    for (std::int64_t r = 0; rows->Seek(r); ++r) {
      for (int c = 0; c < rows->ColumnCount(); ++c) out += ValueText(rows->Column(c)) + "|";
      out += "\n";
    }
  }
  return out;
}

}  // namespace tarvik::testing
