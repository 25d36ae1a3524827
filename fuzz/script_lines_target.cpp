#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "fuzz/fuzz_targets.h"
#include "host/script/script_driver.h"

namespace tarvik::fuzz {
namespace {

using nlohmann::json;

[[noreturn]] void Broken(const std::string& what, const std::string& line, const std::string& out) {
  throw InvariantBroken(what + "\n  line:   [" + line + "]\n  output: [" + out + "]");
}

bool Blank(const std::string& line) { return line.find_first_not_of(" \t\r\n") == std::string::npos; }

// "open" and "create" reach the file system and load libraries.
bool Dropped(const json& request) {
  if (!request.is_object()) return false;
  auto op = request.find("op");
  return op != request.end() && op->is_string() &&
         (*op == "open" || *op == "create");
}

void CheckReply(const std::string& line, const json& request, const std::string& out) {
  std::vector<std::string> lines;
  std::istringstream split(out);
  for (std::string l; std::getline(split, l);) lines.push_back(l);
  if (Blank(line)) {
    if (!out.empty()) Broken("a blank line got an answer", line, out);
    return;
  }
  if (lines.empty()) Broken("no reply", line, out);
  for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
    json event = json::parse(lines[i], nullptr, false);
    if (!event.is_object() || !event.contains("event")) Broken("more than one reply", line, out);
  }
  json reply = json::parse(lines.back(), nullptr, false);
  if (!reply.is_object()) Broken("the reply is not a JSON object", line, out);
  auto ok = reply.find("ok");
  if (ok == reply.end() || !ok->is_boolean()) Broken("the reply has no ok", line, out);
  if (request.is_object() && request.contains("id") && reply.value("id", json()) != request["id"]) {
    Broken("the reply lost the request's id", line, out);
  }
  if (!ok->get<bool>()) {
    auto error = reply.find("error");
    if (error == reply.end() || !error->is_object() || !(*error)["number"].is_number_integer() ||
        !(*error)["description"].is_string() || !(*error)["hresult"].is_string()) {
      Broken("a failure without number, description and hresult", line, out);
    }
  }
}

}  // namespace

void ScriptLinesTarget(std::string_view input) {
  std::ostringstream out;
  host::ScriptDriver driver(out);
  std::istringstream lines{std::string(input)};
  for (std::string line; std::getline(lines, line);) {
    const json request = json::parse(line, nullptr, /*allow_exceptions=*/false);
    if (Dropped(request)) continue;
    out.str("");
    driver.HandleLine(line);
    CheckReply(line, request, out.str());
  }
}

}  // namespace tarvik::fuzz
