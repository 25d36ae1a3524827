#include "invoice/message_channel.h"

#include "platform/ui_services.h"

namespace tarvik::invoice {

void MessageChannel::Report(const std::string& text, int style, const std::string& title,
                            const std::string& info_text) {
  if (show_message_box) {
    Ui().MessageBox(text, style, title);
  } else {
    info_msg.set_utf8(info_text);
  }
}

void MessageChannel::ReportError(const AutomationError& error, int icon) {
  Report(error.description(), kMbOk | icon, Ui().AppTitle(), error.description());
}

}  // namespace tarvik::invoice
