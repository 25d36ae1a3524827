// DAO-style catalog of stored queries: Database.QueryDefs(name),
// QueryDef.Parameters, Parameter.Value. Stored queries live in the database
// (table QueryDefs and QueryDefParams). The connection reads the whole
// catalog at its first lookup and keeps it; a QueryDef object is kept by its
// Database, so values set on its parameters stay for the run that follows
// (ExecuteQueryDef looks it up again by name). A statement of the connection
// that names the catalog's tables makes it read the catalog again (a query
// found unchanged keeps its object and values); a change by another
// connection is seen once this one is opened again.
#pragma once

#include <cstdint>
#include <string>

#include "platform/com.h"
#include "platform/variant.h"

namespace tarvik::data {

// Declared parameter types of stored queries. Key is a whole number given
// as text (an invoice number), read as the component reads numbers from
// text (regional conversion, banker's rounding, overflow an error; text that
// is not numeric is 0): "90,500" is 90500, never 90.
enum class ParamType { kText, kLong, kKey, kDouble, kDate, kBoolean };

class Parameter {
 public:
  virtual ~Parameter() = default;
  virtual std::string Name() const = 0;
  virtual ParamType Type() const = 0;
  // Converts to the declared type at once; a value that cannot be converted
  // throws AutomationError 13 naming the query and parameter; the old value stays.
  virtual void SetValue(const Variant& value) = 0;
  virtual Variant GetValue() const = 0;
  // True once a value was set since the query was last run or reset.
  virtual bool HasValue() const = 0;
};

class Parameters {
 public:
  virtual ~Parameters() = default;
  virtual std::int16_t Count() const = 0;
  // 0-based; out of range throws AutomationError 3265.
  virtual Parameter& Item(int index) = 0;
};

struct QueryDef : IUnknown {
  virtual std::string Name() = 0;
  virtual std::string SQL() = 0;  // classic dialect, ?1..?n markers
  virtual Parameters& GetParameters() = 0;

 protected:
  ~QueryDef() = default;
};

class QueryDefs {
 public:
  virtual ~QueryDefs() = default;
  // Name compared without regard to case; unknown name throws
  // AutomationError 3265 "Item not found in this collection." naming it.
  virtual ComPtr<QueryDef> Item(const std::string& name) = 0;
  virtual std::int32_t Count() = 0;
};

struct Database : IUnknown {
  virtual QueryDefs& GetQueryDefs() = 0;
  virtual std::string Name() = 0;

 protected:
  ~Database() = default;
};

}  // namespace tarvik::data
