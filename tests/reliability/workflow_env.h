// One workflow run against its own copy of a prepared demo database: the
// connection wrapped in a recorder, an Invoice on it, boxes recorded.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "backorder/backorder.h"
#include "invoice/invoice.h"
#include "platform/ui_services.h"
#include "tests/support/books_invariants.h"
#include "tests/support/recording_connection.h"

namespace tarvik::testing {

class WorkflowEnv {
 public:
  // Copies the template file to a fresh path of its own, or (copy false)
  // works on the given file itself and leaves it in place. On a server the
  // template must not change once copied: the next copy is made ahead.
  explicit WorkflowEnv(const std::string& template_path, bool copy = true);
  ~WorkflowEnv();
  WorkflowEnv(const WorkflowEnv&) = delete;
  WorkflowEnv& operator=(const WorkflowEnv&) = delete;

  void Let(const std::string& name, const std::string& value);
  void LetNumber(const std::string& name, std::int32_t value);
  void LetBool(const std::string& name, bool value);
  std::string Text(const std::string& name);
  bool Call(const std::string& method);
  bool CallBackOrder(const std::string& invoice_no);

  data::HostConnection& real() { return *real_; }
  RecordingConnection& recorder() { return *recorder_; }
  ScriptedUi& ui() { return ui_; }

 private:
  std::string path_;
  bool owned_;
  ComPtr<data::HostConnection> real_;
  ComPtr<RecordingConnection> recorder_;
  ScriptedUi ui_;
  ComPtr<_Invoice> invoice_;
  ComPtr<_BackOrder> backorder_;
};

// Every row of every table a workflow may touch, as text.
std::string DatabaseSnapshot(data::HostConnection& c);
// The demo database every run copies, made once per program.
const std::string& TemplateDatabase();

}  // namespace tarvik::testing
