#include "platform/ui_answers.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/error.h"
#include "platform/json_nesting.h"
#include "platform/limits.h"

namespace tarvik {

namespace {

using nlohmann::json;
using ojson = nlohmann::ordered_json;

ScriptedUi::Answer ParseEntry(const json& entry, std::size_t index) {
  ScriptedUi::Answer a;
  if (entry.is_number_integer() && entry.get<std::int64_t>() >= 0 &&
      entry.get<std::int64_t>() <= std::numeric_limits<int>::max()) {
    a.is_button = true;
    a.button = entry.get<int>();
  } else if (entry.is_string()) {
    a.is_button = false;
    a.text = entry.get<std::string>();
  } else if (entry.is_null()) {
    a.is_button = false;
    a.text = std::nullopt;
  } else {
    RaiseError(kErrInvalidProcedureCall, "answer " + std::to_string(index + 1) +
                                             " must be a button number, a text or null, got " +
                                             entry.dump(-1, ' ', false, json::error_handler_t::replace));
  }
  return a;
}

}  // namespace

std::vector<ScriptedUi::Answer> ParseUiAnswers(std::string_view json_text) {
  if (NestedDeeperThan(json_text, kMaxJsonDepth)) {
    RaiseError(kErrInvalidProcedureCall,
               "answers nest lists and objects more than " + std::to_string(kMaxJsonDepth) + " deep");
  }
  const json queue = json::parse(json_text, nullptr, /*allow_exceptions=*/false);
  if (queue.is_discarded()) {
    RaiseError(kErrInvalidProcedureCall, "answers are not valid JSON: " + std::string(json_text));
  }
  if (!queue.is_array()) {
    RaiseError(kErrInvalidProcedureCall,
               "answers must be a JSON list, got " +
                   queue.dump(-1, ' ', false, json::error_handler_t::replace));
  }
  std::vector<ScriptedUi::Answer> answers;
  answers.reserve(queue.size());
  for (std::size_t i = 0; i < queue.size(); ++i) answers.push_back(ParseEntry(queue[i], i));
  return answers;
}

std::string UiEventLine(const UiEvent& e) {
  ojson line;
  if (e.kind == UiEvent::kMessageBox) {
    line["event"] = "msgbox";
    line["text"] = e.text;
    line["style"] = e.style;
    line["title"] = e.title;
    line["answer"] = e.answer;
  } else {
    line["event"] = "inputbox";
    line["prompt"] = e.text;
    line["title"] = e.title;
    line["default"] = e.default_text;
    line["answer"] = e.input ? ojson(*e.input) : ojson();
  }
  return line.dump(-1, ' ', false, ojson::error_handler_t::replace);
}

}  // namespace tarvik
