#include "tests/support/recording_recordset.h"

#include "data/data_recordset.h"
#include "platform/com_object.h"

namespace tarvik::testing {
namespace {

std::string Index(std::optional<int> index) {
  return index ? "(" + std::to_string(*index) + ")" : "()";
}

class Recorder : public OpaqueDispatchObject<Recorder, data::DataRecordset> {
 public:
  Recorder(std::shared_ptr<std::vector<std::string>> log, int number)
      : log_(std::move(log)), prefix_("rs" + std::to_string(number) + "."),
        real_(data::NewDefaultDataRecordset()) {}

  void* QueryInterfaceExtra(REFIID riid) {
    if (riid == data::IID_DataRecordset || riid == IID_IDispatch) {
      return static_cast<data::DataRecordset*>(this);
    }
    return nullptr;
  }

  void SetParameters(ComPtr<Collection> values) override {
    Log("Parameters: " + std::to_string(values ? values->Count() : -1));
    real_->SetParameters(std::move(values));
  }
  std::int32_t RecordCount() override { return Log("RecordCount"), real_->RecordCount(); }
  void SetConnection(ComPtr<data::HostConnection> c) override {
    Log(c ? "Connection" : "Connection: Nothing");
    real_->SetConnection(std::move(c));
  }
  bool MoveFirst() override { return Log("MoveFirst"), real_->MoveFirst(); }
  bool MoveLast() override { return Log("MoveLast"), real_->MoveLast(); }
  bool MovePrevious() override { return Log("MovePrevious"), real_->MovePrevious(); }
  bool MoveNext() override { return Log("MoveNext"), real_->MoveNext(); }
  void CloseRecordset() override { Log("CloseRecordset"), real_->CloseRecordset(); }
  bool OpenRecordset(const std::string& sql, int o1, int o2, int o3) override {
    Log("OpenRecordset: " + sql + " [" + std::to_string(o1) + ", " + std::to_string(o2) + ", " +
        std::to_string(o3) + "]");
    return real_->OpenRecordset(sql, o1, o2, o3);
  }
  void SetQueryDefName(const std::string& name) override {
    Log("QueryDefName: " + name);
    real_->SetQueryDefName(name);
  }
  bool FindFirst(const Variant& criteria) override {
    return Log("FindFirst: " + criteria.ToString()), real_->FindFirst(criteria);
  }
  std::int32_t ReadLong(std::optional<int> i) override {
    return Log("ReadLong" + Index(i)), real_->ReadLong(i);
  }
  std::string ReadString(std::optional<int> i) override {
    return Log("ReadString" + Index(i)), real_->ReadString(i);
  }
  double ReadDate(std::optional<int> i) override {
    return Log("ReadDate" + Index(i)), real_->ReadDate(i);
  }
  double ReadDouble(std::optional<int> i) override {
    return Log("ReadDouble" + Index(i)), real_->ReadDouble(i);
  }
  float ReadSingle(std::optional<int> i) override {
    return Log("ReadSingle" + Index(i)), real_->ReadSingle(i);
  }
  std::int16_t ReadInteger(std::optional<int> i) override {
    return Log("ReadInteger" + Index(i)), real_->ReadInteger(i);
  }
  bool ReadBoolean(std::optional<int> i) override {
    return Log("ReadBoolean" + Index(i)), real_->ReadBoolean(i);
  }

 private:
  int Log(const std::string& call) {
    log_->push_back(prefix_ + call);
    return 0;
  }

  std::shared_ptr<std::vector<std::string>> log_;
  std::string prefix_;
  ComPtr<data::DataRecordset> real_;
};

}  // namespace

RecordsetRecording::RecordsetRecording() : log_(std::make_shared<std::vector<std::string>>()) {
  auto count = std::make_shared<int>(0);
  data::SetDataRecordsetFactory([log = log_, count]() -> ComPtr<data::DataRecordset> {
    return ComPtr<data::DataRecordset>(MakeCom<Recorder>(log, ++*count).get());
  });
}

RecordsetRecording::~RecordsetRecording() { data::SetDataRecordsetFactory(nullptr); }

std::vector<std::string> RecordsetRecording::CallsOf(int recordset) const {
  const std::string prefix = "rs" + std::to_string(recordset) + ".";
  std::vector<std::string> calls;
  for (const std::string& entry : *log_) {
    if (entry.rfind(prefix, 0) == 0) calls.push_back(entry.substr(prefix.size()));
  }
  return calls;
}

}  // namespace tarvik::testing
