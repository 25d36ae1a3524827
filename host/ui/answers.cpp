#include "host/ui/answers.h"

#include <limits>
#include <string>

#include "platform/error.h"

namespace tarvik::host {

std::vector<ScriptedUi::Answer> ParseAnswers(const nlohmann::json& queue) {
  if (!queue.is_array()) {
    RaiseError(kErrInvalidProcedureCall, "answers must be a JSON list, got " + queue.dump());
  }
  std::vector<ScriptedUi::Answer> answers;
  answers.reserve(queue.size());
  for (std::size_t i = 0; i < queue.size(); ++i) {
    const auto& entry = queue[i];
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
      RaiseError(kErrInvalidProcedureCall,
                 "answer " + std::to_string(i + 1) + " must be a button number, a text or null, got " +
                     entry.dump());
    }
    answers.push_back(std::move(a));
  }
  return answers;
}

std::vector<ScriptedUi::Answer> ParseAnswersText(std::string_view json_text) {
  nlohmann::json queue = nlohmann::json::parse(json_text, nullptr, /*allow_exceptions=*/false);
  if (queue.is_discarded()) {
    RaiseError(kErrInvalidProcedureCall, "answers are not valid JSON: " + std::string(json_text));
  }
  return ParseAnswers(queue);
}

nlohmann::ordered_json EventJson(const UiEvent& e) {
  nlohmann::ordered_json line;
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
    line["answer"] = e.input ? nlohmann::ordered_json(*e.input) : nlohmann::ordered_json();
  }
  return line;
}

}  // namespace tarvik::host
