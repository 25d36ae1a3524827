// The text forms of scripted UI answers and of the boxes shown, shared by the
// host's --answers, the script driver and unattended runs chosen by the
// environment (ui_environment.h).
//
// Answers are a JSON list: a number answers a message box with that button,
// a text answers an input box, null cancels an input box.
// A box shown is one JSON object on one line:
//   {"event":"msgbox","text":..,"style":..,"title":..,"answer":..}
//   {"event":"inputbox","prompt":..,"title":..,"default":..,"answer":text|null}
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/ui_services.h"

namespace tarvik {

// Throws AutomationError 5 naming the fault when the text is not JSON, not a
// list, or holds an entry other than a button number, a text or null.
std::vector<ScriptedUi::Answer> ParseUiAnswers(std::string_view json_text);

// The event line of a box, without a line end. Bytes that are not UTF-8 are
// replaced, so any text the component shows can be written.
std::string UiEventLine(const UiEvent& e);

}  // namespace tarvik
