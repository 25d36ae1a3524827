// Where the invoice's messages go: a message box, or, when the host turned
// boxes off, the text the host reads from InfoMsg.
#pragma once

#include <string>

#include "platform/error.h"
#include "server/text_property.h"

namespace tarvik::invoice {

struct MessageChannel {
  bool show_message_box = true;
  server::TextProperty info_msg;

  // A box with text, style and title, or info_text left in InfoMsg.
  void Report(const std::string& text, int style, const std::string& title,
              const std::string& info_text);
  // An error's description, in an OK box with the given icon and the
  // application title, or in InfoMsg.
  void ReportError(const AutomationError& error, int icon);
};

}  // namespace tarvik::invoice
