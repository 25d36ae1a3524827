// Record sets that forward to the default implementation and record every
// call as text ("rs1.OpenRecordset: SELECT ...", "rs1.ReadString(0)"), in
// one log shared by every record set created while the recording is in
// scope. rs<n> counts the record sets in creation order.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace tarvik::testing {

class RecordsetRecording {
 public:
  // Installs the recording factory; the destructor restores the default.
  RecordsetRecording();
  ~RecordsetRecording();
  RecordsetRecording(const RecordsetRecording&) = delete;
  RecordsetRecording& operator=(const RecordsetRecording&) = delete;

  const std::vector<std::string>& log() const { return *log_; }
  void ClearLog() { log_->clear(); }
  // Calls of one record set, without its "rs<n>." prefix.
  std::vector<std::string> CallsOf(int recordset) const;

 private:
  std::shared_ptr<std::vector<std::string>> log_;
};

}  // namespace tarvik::testing
