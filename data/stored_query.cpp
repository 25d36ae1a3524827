#include "data/stored_query.h"

#include "platform/error.h"

namespace tarvik::data {

bool RunStoredQuery(HostConnection& connection, const std::string& query_name,
                    const std::vector<Variant>& values) {
  {
    ComPtr<QueryDef> def = connection.GetDatabase()->GetQueryDefs().Item(query_name);
    Parameters& params = def->GetParameters();
    const std::int16_t n = params.Count();
    for (std::int16_t i = 0; i < n; ++i) {
      if (static_cast<std::size_t>(i) >= values.size()) RaiseError(kErrSubscriptOutOfRange);
      params.Item(i).SetValue(values[static_cast<std::size_t>(i)]);
    }
  }  // the QueryDef reference is released; its values stay for the run
  return connection.ExecuteQueryDef(query_name);
}

}  // namespace tarvik::data
