// The particulars of a customer or an item that electronic invoices need,
// read and set one field at a time (`tarvik customer`, `tarvik item`). The
// fields are fixed; each value is checked before it is stored.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "data/host_connection.h"

namespace tarvik::db {

struct RecordField {
  std::string_view name;  // the column
  std::string_view meaning;
  // nullopt when the value is acceptable, otherwise what it must be.
  std::optional<std::string> (*check)(const std::string& value);
};

struct RecordKind {
  std::string_view table;  // "Customer"
  std::string_view key;    // its key column, "cust_id"
  std::string_view what;   // "customer"
  std::vector<RecordField> fields;
};

const RecordKind& CustomerRecord();
const RecordKind& ItemRecord();
const RecordField* FindRecordField(const RecordKind& kind, std::string_view name);

// Every field of the record with its value, in the order of the list. A
// record that is not there raises AutomationError naming it.
std::vector<std::pair<std::string, std::string>> ReadRecord(data::HostConnection& c, const RecordKind& kind,
                                                            const std::string& key);
// Stores one value. Unknown records and fields and refused values raise
// AutomationError 5 and change nothing.
void WriteRecordField(data::HostConnection& c, const RecordKind& kind, const std::string& key,
                      const std::string& field, const std::string& value);

}  // namespace tarvik::db
