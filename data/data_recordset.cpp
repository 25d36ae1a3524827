// The default record set: a position over a ResultSet of the connection,
// plus the typed readers with their implicit column position.
#include "data/data_recordset.h"

#include <cctype>
#include <cmath>
#include <limits>

#include "data/sql_text.h"
#include "platform/com_object.h"
#include "platform/error.h"
#include "platform/regional.h"

namespace tarvik::data {

const IID IID_DataRecordset = {0x6d1f3a21, 0x41b7, 0x4c2e, {0x9a, 0x51, 0x0b, 0x7e, 0x33, 0x10, 0x2c, 0x02}};

namespace {

DataRecordsetFactory& Factory() {
  static DataRecordsetFactory factory;
  return factory;
}

// "column = 123" or "column = 'text'".
void ParseCriteria(const std::string& criteria, std::string* column, Value* value) {
  auto eq = criteria.find('=');
  if (eq == std::string::npos) RaiseError(kErrInvalidProcedureCall, "Unsupported search criteria: " + criteria);
  *column = TrimBlanks(std::string_view(criteria).substr(0, eq));
  std::string rhs = TrimBlanks(std::string_view(criteria).substr(eq + 1));
  bool ident = !column->empty();
  for (char c : *column) ident = ident && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
  if (!ident) RaiseError(kErrInvalidProcedureCall, "Unsupported search criteria: " + criteria);
  if (rhs.size() >= 2 && rhs.front() == '\'' && rhs.back() == '\'') {
    std::string text;
    for (std::size_t i = 1; i + 1 < rhs.size(); ++i) {
      text += rhs[i];
      if (rhs[i] == '\'' && i + 2 < rhs.size() && rhs[i + 1] == '\'') ++i;
    }
    *value = text;
    return;
  }
  auto n = regional::ParseNumber(rhs);
  if (!n) RaiseError(kErrInvalidProcedureCall, "Unsupported search criteria: " + criteria);
  *value = *n;
}

double AsDouble(const Value& v) {
  if (auto* i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
  if (auto* d = std::get_if<double>(&v)) return *d;
  if (auto* t = std::get_if<DateValue>(&v)) return t->ole;
  if (auto* s = std::get_if<std::string>(&v)) {
    if (auto n = regional::ParseNumber(*s)) return *n;
    RaiseError(kErrTypeMismatch, "Type mismatch: '" + *s + "' is not a number.");
  }
  return 0;
}

std::int64_t AsWhole(const Value& v, std::int64_t lo, std::int64_t hi) {
  if (IsNull(v)) return 0;
  double d = std::holds_alternative<std::int64_t>(v) ? 0 : regional::BankersRound(AsDouble(v));
  std::int64_t n = std::holds_alternative<std::int64_t>(v) ? std::get<std::int64_t>(v) : 0;
  if (!std::holds_alternative<std::int64_t>(v)) {
    if (!(d >= static_cast<double>(lo) && d <= static_cast<double>(hi))) RaiseError(kErrOverflow);
    n = static_cast<std::int64_t>(d);
  }
  if (n < lo || n > hi) RaiseError(kErrOverflow);
  return n;
}

class DefaultRecordset : public OpaqueDispatchObject<DefaultRecordset, DataRecordset> {
 public:
  void* QueryInterfaceExtra(REFIID riid) {
    if (riid == IID_DataRecordset || riid == IID_IDispatch) return static_cast<DataRecordset*>(this);
    return nullptr;
  }
  void SetParameters(ComPtr<Collection> values) override { params_ = std::move(values); }
  std::int32_t RecordCount() override {
    return result_ ? static_cast<std::int32_t>(result_->RowCount()) : 0;
  }
  // A result belongs to the connection that opened it and must go before it.
  void SetConnection(ComPtr<HostConnection> connection) override {
    if (connection.get() != connection_.get()) CloseRecordset();
    connection_ = std::move(connection);
  }
  bool MoveFirst() override { return MoveTo(0); }
  bool MoveLast() override { return result_ ? MoveTo(result_->RowCount() - 1) : false; }
  bool MovePrevious() override { return MoveTo(Row() - 1); }
  bool MoveNext() override { return MoveTo(Row() + 1); }
  void CloseRecordset() override {
    result_.reset();
    row_ = -1;
    on_row_ = false;
  }
  bool OpenRecordset(const std::string& sql, int, int, int) override {
    if (!connection_) RaiseError(kErrObjectVariableNotSet, "The record set has no connection.");
    CloseRecordset();
    if (!sql.empty()) {
      result_ = connection_->OpenQuery(sql);
    } else {
      std::vector<Variant> values;
      if (params_) {
        for (std::int32_t i = 1; i <= params_->Count(); ++i) values.push_back(params_->Item(Variant::Long(i)));
      }
      result_ = connection_->OpenStoredQuery(query_name_, values);
    }
    return MoveTo(0);
  }
  void SetQueryDefName(const std::string& name) override { query_name_ = name; }
  bool FindFirst(const Variant& criteria) override {
    if (!result_) return false;
    std::string column;
    Value value;
    ParseCriteria(criteria.ToString(), &column, &value);
    // A miss leaves the position as it was.
    if (!result_->SeekFirst(column, value)) return false;
    row_ = kRowNotCounted;
    on_row_ = true;
    next_column_ = 0;
    return true;
  }
  std::int32_t ReadLong(std::optional<int> index) override {
    return static_cast<std::int32_t>(AsWhole(Next(index), std::numeric_limits<std::int32_t>::min(),
                                             std::numeric_limits<std::int32_t>::max()));
  }
  std::string ReadString(std::optional<int> index) override {
    return ValueToText(Next(index));
  }
  double ReadDate(std::optional<int> index) override {
    const Value& v = Next(index);
    if (IsNull(v)) return 0;
    if (auto* s = std::get_if<std::string>(&v)) {
      if (auto d = regional::ParseIsoDate(*s)) return *d;
      if (auto d = regional::ParseDate(*s)) return *d;
      RaiseError(kErrTypeMismatch, "Type mismatch: '" + *s + "' is not a date.");
    }
    return AsDouble(v);
  }
  double ReadDouble(std::optional<int> index) override {
    const Value& v = Next(index);
    return IsNull(v) ? 0 : AsDouble(v);
  }
  float ReadSingle(std::optional<int> index) override {
    const Value& v = Next(index);
    if (IsNull(v)) return 0;
    double d = AsDouble(v);
    if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max()) RaiseError(kErrOverflow);
    return static_cast<float>(d);
  }
  std::int16_t ReadInteger(std::optional<int> index) override {
    return static_cast<std::int16_t>(AsWhole(Next(index), -32768, 32767));
  }
  bool ReadBoolean(std::optional<int> index) override {
    const Value& v = Next(index);
    if (IsNull(v)) return false;
    if (auto* s = std::get_if<std::string>(&v)) {
      if (*s == "True" || *s == "true") return true;
      if (*s == "False" || *s == "false") return false;
    }
    return AsDouble(v) != 0;
  }

 private:
  // After a keyed FindFirst the position is counted only when a step needs it.
  static constexpr std::int64_t kRowNotCounted = -2;
  std::int64_t Row() {
    if (row_ == kRowNotCounted) row_ = result_->SoughtRow();
    return row_;
  }
  bool MoveTo(std::int64_t row) {
    next_column_ = 0;
    if (!result_ || row < 0 || !result_->Seek(row)) {
      // Off either end: the position stays just outside the rows.
      if (result_) row_ = row < 0 ? -1 : std::max<std::int64_t>(result_->RowCount(), 0);
      on_row_ = false;
      return false;
    }
    row_ = row;
    on_row_ = true;
    return true;
  }
  const Value& Next(std::optional<int> index) {
    // Off a row (empty or closed result, or past either end) every reader
    // answers its Null value: a browse that found nothing still loads.
    static const Value kNull;
    int col = index ? *index : next_column_;
    if (!on_row_) {
      next_column_ = col + 1;
      return kNull;
    }
    if (col < 0 || col >= result_->ColumnCount()) {
      RaiseError(kErrItemNotFound, "Item not found in this collection: column " + std::to_string(col));
    }
    next_column_ = col + 1;
    return result_->Column(col);
  }

  ComPtr<HostConnection> connection_;
  ComPtr<Collection> params_;
  std::string query_name_;
  std::unique_ptr<ResultSet> result_;
  std::int64_t row_ = -1;
  bool on_row_ = false;
  int next_column_ = 0;
};

}  // namespace

ComPtr<DataRecordset> NewDefaultDataRecordset() {
  return ComPtr<DataRecordset>(MakeCom<DefaultRecordset>().get());
}

ComPtr<DataRecordset> NewDataRecordset() {
  return Factory() ? Factory()() : NewDefaultDataRecordset();
}

void SetDataRecordsetFactory(DataRecordsetFactory factory) { Factory() = std::move(factory); }

}  // namespace tarvik::data
