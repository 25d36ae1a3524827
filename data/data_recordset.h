// A record set that reads rows forwards and backwards over a result of the
// connection. Typed readers take an optional 0-based column index; without
// one they read the column after the one read last, and the first read after
// an open or a move reads column 0. Null reads as 0, empty text or False,
// and so does every column when the record set stands on no row.
// Errors are thrown as AutomationError.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "data/host_connection.h"
#include "platform/collection.h"
#include "platform/com.h"
#include "platform/variant.h"

namespace tarvik::data {

extern const IID IID_DataRecordset;

struct DataRecordset : IDispatch {
  virtual void SetParameters(ComPtr<Collection> values) = 0;
  virtual std::int32_t RecordCount() = 0;  // 0 when not open
  virtual void SetConnection(ComPtr<HostConnection> connection) = 0;
  virtual bool MoveFirst() = 0;
  virtual bool MoveLast() = 0;
  virtual bool MovePrevious() = 0;
  virtual bool MoveNext() = 0;
  virtual void CloseRecordset() = 0;  // harmless when not open
  // Non-empty sql: that SELECT. Empty: the stored query QueryDefName with
  // Parameters. True = open and on the first row.
  virtual bool OpenRecordset(const std::string& sql, int option1 = -1, int option2 = -1,
                             int option3 = -1) = 0;
  virtual void SetQueryDefName(const std::string& name) = 0;
  // Criteria "column = value" (a number or a quoted text); true = found and current.
  virtual bool FindFirst(const Variant& criteria) = 0;
  virtual std::int32_t ReadLong(std::optional<int> index = std::nullopt) = 0;
  virtual std::string ReadString(std::optional<int> index = std::nullopt) = 0;
  virtual double ReadDate(std::optional<int> index = std::nullopt) = 0;  // OLE date, 0 for Null
  virtual double ReadDouble(std::optional<int> index = std::nullopt) = 0;
  virtual float ReadSingle(std::optional<int> index = std::nullopt) = 0;
  virtual std::int16_t ReadInteger(std::optional<int> index = std::nullopt) = 0;
  virtual bool ReadBoolean(std::optional<int> index = std::nullopt) = 0;

 protected:
  ~DataRecordset() = default;
};

// Creates a record set. Tests can replace the factory to wrap record sets
// (recording, fault injection); nullptr restores the default.
ComPtr<DataRecordset> NewDataRecordset();
using DataRecordsetFactory = std::function<ComPtr<DataRecordset>()>;
void SetDataRecordsetFactory(DataRecordsetFactory factory);
// The default implementation, for factories that decorate it.
ComPtr<DataRecordset> NewDefaultDataRecordset();

}  // namespace tarvik::data
