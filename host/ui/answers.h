// Answer queues for scripted runs: a JSON list where a number answers a
// message box with that button, a text answers an input box, and null
// cancels an input box. Used by the script op "answers" and by --answers;
// the forms are the runtime's own (platform/ui_answers.h), so the host and
// unattended runs chosen by the environment read and write the same lines.
#pragma once

#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/ui_services.h"

namespace tarvik::host {

// Throws AutomationError 5 naming the offending entry when the list is not
// an array of integers, texts and nulls.
std::vector<ScriptedUi::Answer> ParseAnswers(const nlohmann::json& queue);
// The same from JSON text (the command-line form).
std::vector<ScriptedUi::Answer> ParseAnswersText(std::string_view json_text);

// The event line of a box shown:
//   {"event":"msgbox","text":..,"style":..,"title":..,"answer":..}
//   {"event":"inputbox","prompt":..,"title":..,"default":..,"answer":text|null}
nlohmann::ordered_json EventJson(const UiEvent& e);

}  // namespace tarvik::host
