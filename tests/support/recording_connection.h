// A connection that forwards to a real one and records every call, in
// order, as text; a chosen call can be made to answer False or raise.
// Contract tests compare the recorded log with the expected call order.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "data/host_connection.h"

namespace tarvik::testing {

class RecordingConnection;

// Decides the fate of a call before it is forwarded: return true to make it
// fail (Boolean operations answer False; others raise error 3146). A faked
// False of Execute or ExecuteQueryDef changed nothing, so the
// RecordsAffected that follows answers 0.
using FaultRule = std::function<bool(const std::string& call)>;

ComPtr<RecordingConnection> RecordAround(ComPtr<data::HostConnection> real);

class RecordingConnection : public data::HostConnection {
 public:
  virtual const std::vector<std::string>& log() const = 0;
  virtual void ClearLog() = 0;
  virtual void SetFault(FaultRule rule) = 0;
  // Calls this rule picks raise error 3146, Boolean operations included.
  virtual void SetRaise(FaultRule rule) = 0;
  // Also records (and lets the rules fail) every row move of the results
  // the connection returns, as "Read: <query> row <n>"; off by default.
  virtual void RecordReads(bool on) = 0;

 protected:
  ~RecordingConnection() = default;
};

}  // namespace tarvik::testing
