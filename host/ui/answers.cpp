#include "host/ui/answers.h"

#include <string>

#include "platform/ui_answers.h"

namespace tarvik::host {

std::vector<ScriptedUi::Answer> ParseAnswers(const nlohmann::json& queue) {
  return ParseUiAnswers(queue.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

std::vector<ScriptedUi::Answer> ParseAnswersText(std::string_view json_text) {
  return ParseUiAnswers(json_text);
}

nlohmann::ordered_json EventJson(const UiEvent& e) {
  return nlohmann::ordered_json::parse(UiEventLine(e));
}

}  // namespace tarvik::host
