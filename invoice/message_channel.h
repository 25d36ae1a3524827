// Where the invoice's messages go: a message box, or, when the host turned
// boxes off, the text the host reads from InfoMsg.
#pragma once

#include <string>

#include "automation/component_ui.h"
#include "platform/error.h"
#include "automation/text_property.h"

namespace tarvik::invoice {

// The component shows its boxes through the services the host installed.
using automation::Ui;

struct MessageChannel {
  bool show_message_box = true;
  automation::TextProperty info_msg;

  // A box with text, style and title, or info_text left in InfoMsg.
  void Report(const std::string& text, int style, const std::string& title,
              const std::string& info_text);
  // An error's description, in an OK box with the given icon and the
  // application title, or in InfoMsg.
  void ReportError(const AutomationError& error, int icon);
};

}  // namespace tarvik::invoice
