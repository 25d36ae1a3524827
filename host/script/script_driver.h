// The late-bound script driver behind `tarvik script`: JSON Lines in, one
// JSON reply line per request out, in order. Every box the component shows
// is written as its own event line before the reply of the request that
// caused it. A bad line gets an error reply and the run goes on.
//
// Ops: open, create, set, let, get, call, collection, answers, sql, release,
// dispid (see docs/host.md). Objects are kept under the names scripts give
// them and released in reverse order when the run ends.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "data/host_connection.h"
#include "host/server_library.h"
#include "platform/com.h"
#include "platform/ui_event_log.h"
#include "platform/ui_services.h"
#include "platform/variant.h"

namespace tarvik::host {

class ScriptDriver {
 public:
  // Installs its ScriptedUi as the host's UI services for its lifetime.
  explicit ScriptDriver(std::ostream& out, std::vector<ScriptedUi::Answer> answers = {});
  ~ScriptDriver();
  ScriptDriver(const ScriptDriver&) = delete;
  ScriptDriver& operator=(const ScriptDriver&) = delete;

  // Also appends every box's event line to this file (TARVIK_UI_LOG).
  void LogBoxesTo(const std::string& path);

  // Handles every line until end of input.
  void Run(std::istream& in);
  // Handles one request line (blank lines are ignored).
  void HandleLine(const std::string& line);

 private:
  struct Named {
    std::string name;
    ComPtr<IDispatch> object;
    ComPtr<data::HostConnection> connection;  // set for "open" results
  };
  using Reply = nlohmann::ordered_json;
  using Handler = Reply (ScriptDriver::*)(const nlohmann::json&);
  struct Op {
    const char* name;
    Handler handler;
  };
  static const Op kOps[];

  Reply Open(const nlohmann::json& req);
  Reply Create(const nlohmann::json& req);
  Reply Set(const nlohmann::json& req);
  Reply Let(const nlohmann::json& req);
  Reply Get(const nlohmann::json& req);
  Reply Call(const nlohmann::json& req);
  Reply NewCollectionOp(const nlohmann::json& req);
  Reply Answers(const nlohmann::json& req);
  Reply Sql(const nlohmann::json& req);
  Reply Release(const nlohmann::json& req);
  Reply DispId(const nlohmann::json& req);

  Named& Find(const std::string& name);
  void Keep(const std::string& name, ComPtr<IDispatch> object,
            ComPtr<data::HostConnection> connection = nullptr);
  std::vector<Variant> Args(const nlohmann::json& req);
  Reply ValueReply(const nlohmann::json& req, const Variant& v);
  void Write(const nlohmann::ordered_json& line);
  // The error reply of a line refused before it was parsed (no id known).
  void Refuse(const std::string& why);

  std::ostream& out_;
  ScriptedUi ui_;
  std::optional<UiEventLog> box_log_;
  std::optional<HostUi> host_ui_;  // ui_, handed to the runtime and the server library
  std::vector<Named> objects_;
  bool registered_ = false;
};

}  // namespace tarvik::host
