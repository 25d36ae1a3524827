// The rest of what the host tells an invoice: what Save does, who deletes,
// and two values only held for the host.
#pragma once

#include "platform/com.h"
#include "tarvik/interfaces.h"
#include "automation/text_property.h"

namespace tarvik::invoice {

struct OperationSettings {
  TransMode transaction_mode = tmCancel;
  // Recorded in the deletion log.
  automation::TextProperty user_id;
  // Held for the host; no operation reads them.
  BYTE line_status = 0;
  bool pack_verify = false;
};

}  // namespace tarvik::invoice
