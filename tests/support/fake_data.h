// Stand-ins for the data objects (connection, record set) that answer from
// fixed rows and record what the objects under test do with them.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/data_recordset.h"
#include "data/host_connection.h"
#include "data/result_set.h"
#include "platform/collection.h"
#include "platform/com_object.h"
#include "platform/error.h"
#include "platform/variant.h"

namespace tarvik::testing {

// Rows of data::Value, visited by position.
class FakeResultSet : public data::ResultSet {
 public:
  explicit FakeResultSet(std::vector<std::vector<data::Value>> rows) : rows_(std::move(rows)) {}
  std::int64_t RowCount() override { return static_cast<std::int64_t>(rows_.size()); }
  int ColumnCount() override { return rows_.empty() ? 0 : static_cast<int>(rows_[0].size()); }
  std::string ColumnName(int) override { return {}; }
  bool Seek(std::int64_t row) override {
    if (row < 0 || row >= RowCount()) return false;
    row_ = static_cast<std::size_t>(row);
    return true;
  }
  const data::Value& Column(int column) override {
    return rows_[row_].at(static_cast<std::size_t>(column));
  }
  std::optional<std::int64_t> FindFirst(const std::string&, const data::Value&,
                                        std::int64_t) override {
    return std::nullopt;
  }

 private:
  std::vector<std::vector<data::Value>> rows_;
  std::size_t row_ = 0;
};

class FakeConnection final : public OpaqueDispatchObject<FakeConnection, data::HostConnection> {
 public:
  void* QueryInterfaceExtra(REFIID riid) {
    if (riid == IID_IDispatch || riid == data::IID_HostConnection)
      return static_cast<data::HostConnection*>(this);
    return nullptr;
  }
  bool ExecuteQueryDef(const std::string&) override { return true; }
  void Rollback() override {}
  void CommitTrans() override {}
  void BeginTrans() override {}
  bool Execute(const std::string&) override { return true; }
  std::string DatabaseName() override { return "fake.db"; }
  ComPtr<data::Database> GetDatabase() override { return nullptr; }
  std::int32_t RecordsAffected() override { return 0; }
  std::unique_ptr<data::ResultSet> OpenQuery(const std::string& sql) override {
    queries.push_back(sql);
    if (!system_rows) RaiseError(kErrDatabase, "no such table: System");
    return std::make_unique<FakeResultSet>(*system_rows);
  }
  std::unique_ptr<data::ResultSet> OpenStoredQuery(const std::string&,
                                                   const std::vector<Variant>&) override {
    RaiseError(kErrDatabase, "not in the fake");
  }
  std::int64_t ExecuteWith(const std::string&, const std::vector<Variant>&) override { return 0; }
  std::unique_ptr<data::ResultSet> QueryWith(const std::string& sql,
                                             const std::vector<Variant>&) override {
    return OpenQuery(sql);
  }
  int TransactionDepth() override { return 0; }
  data::Dialect SqlDialect() override { return data::Dialect::kSqlite; }

  // Rows answered for any query; nullopt makes every query fail.
  std::optional<std::vector<std::vector<data::Value>>> system_rows;
  std::vector<std::string> queries;
};

// A record set over fixed rows with the reader-position rule of the
// contract: the first read after an open or a move takes column 0.
class FakeRecordset final : public OpaqueDispatchObject<FakeRecordset, data::DataRecordset> {
 public:
  void* QueryInterfaceExtra(REFIID riid) {
    if (riid == IID_IDispatch || riid == data::IID_DataRecordset)
      return static_cast<data::DataRecordset*>(this);
    return nullptr;
  }
  void SetParameters(ComPtr<Collection> values) override {
    parameters.clear();
    for (std::int32_t i = 1; i <= values->Count(); ++i)
      parameters.push_back(values->Item(Variant::Long(i)));
  }
  std::int32_t RecordCount() override { return open_ ? static_cast<std::int32_t>(rows.size()) : 0; }
  void SetConnection(ComPtr<data::HostConnection> c) override { connection = c; }
  bool MoveFirst() override { return MoveTo(0); }
  bool MoveLast() override { return MoveTo(static_cast<long>(rows.size()) - 1); }
  bool MovePrevious() override { return MoveTo(row_ - 1); }
  bool MoveNext() override { return MoveTo(row_ + 1); }
  void CloseRecordset() override {
    ++closes;
    open_ = false;
  }
  bool OpenRecordset(const std::string& sql, int, int, int) override {
    ++opens;
    opened_sql = sql;
    open_ = true;
    row_ = 0;
    column_ = 0;
    return !rows.empty();
  }
  void SetQueryDefName(const std::string& name) override { query_def_name = name; }
  bool FindFirst(const Variant&) override { return false; }
  std::int32_t ReadLong(std::optional<int> i) override { return Read(i).ToLong(); }
  std::string ReadString(std::optional<int> i) override { return Read(i).ToString(); }
  double ReadDate(std::optional<int> i) override { return Read(i).ToDate(); }
  double ReadDouble(std::optional<int> i) override { return Read(i).ToDouble(); }
  float ReadSingle(std::optional<int> i) override { return Read(i).ToSingle(); }
  std::int16_t ReadInteger(std::optional<int> i) override { return Read(i).ToInteger(); }
  bool ReadBoolean(std::optional<int> i) override { return Read(i).ToBoolean(); }

  std::vector<std::vector<Variant>> rows;
  std::vector<Variant> parameters;
  ComPtr<data::HostConnection> connection;
  std::string query_def_name;
  std::string opened_sql;
  int opens = 0;
  int closes = 0;
  int indexed_reads = 0;  // reads that named a column
  bool is_open() const { return open_; }

 private:
  bool MoveTo(long row) {
    column_ = 0;
    if (!open_ || row < 0 || row >= static_cast<long>(rows.size())) {
      if (row >= static_cast<long>(rows.size())) row_ = static_cast<long>(rows.size());
      return false;
    }
    row_ = row;
    return true;
  }
  const Variant& Read(std::optional<int> index) {
    if (index) ++indexed_reads;
    int column = index ? *index : column_;
    column_ = column + 1;
    if (!open_ || row_ < 0 || row_ >= static_cast<long>(rows.size()))
      RaiseError(kErrNoCurrentRecord);
    return rows[static_cast<std::size_t>(row_)].at(static_cast<std::size_t>(column));
  }

  bool open_ = false;
  long row_ = 0;
  int column_ = 0;
};

}  // namespace tarvik::testing
