// What a backend returns for a SELECT: a result whose rows can be visited by
// position, forwards and backwards. Implementations must not cost more than
// the rows actually visited (count, window, or keyset; no whole copies of
// large tables).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "data/value.h"

namespace tarvik::data {

class ResultSet {
 public:
  virtual ~ResultSet() = default;
  // Full number of rows of the result.
  virtual std::int64_t RowCount() = 0;
  virtual int ColumnCount() = 0;
  virtual std::string ColumnName(int column) = 0;
  // Makes row (0-based) current; false when there is no such row.
  virtual bool Seek(std::int64_t row) = 0;
  // Column of the current row. Only valid after a Seek that answered true.
  virtual const Value& Column(int column) = 0;
  // First row at or after `from` whose column (by name, case-insensitive)
  // equals value; nullopt when none. Backends push this down to a keyed
  // lookup where they can.
  virtual std::optional<std::int64_t> FindFirst(const std::string& column, const Value& value,
                                                std::int64_t from) = 0;

  // Makes the first row whose column equals value current; false when none.
  // Its position is worked out only when SoughtRow asks, so a keyed lookup
  // need not count the rows before it.
  virtual bool SeekFirst(const std::string& column, const Value& value) {
    std::optional<std::int64_t> row = FindFirst(column, value, 0);
    if (!row || !Seek(*row)) return false;
    sought_row_ = *row;
    return true;
  }
  // Position of the row the last successful SeekFirst made current.
  virtual std::int64_t SoughtRow() { return sought_row_; }

 protected:
  std::int64_t sought_row_ = -1;
};

}  // namespace tarvik::data
