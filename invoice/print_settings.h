// What printing hands the report component, as the host set it.
#pragma once

#include "platform/com.h"
#include "automation/text_property.h"

namespace tarvik::invoice {

struct PrintSettings {
  automation::TextProperty invoice_report;  // the layout file
  automation::TextProperty report_path;
  LONG parent_handle = 0;
  // True: the report tables are prepared and the component is not run.
  bool generate_only = false;
  // Held for the host; no operation reads it.
  bool print_only = false;
  // Set by the host only; a run without it gets a collection of its own.
  // Any object with the collection's late-bound members: the host's own
  // collection, never assumed to be our runtime's.
  ComPtr<IDispatch> formulas;
};

}  // namespace tarvik::invoice
