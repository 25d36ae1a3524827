// The program ids a host names in CreateObject.
#pragma once

namespace tarvik {

inline constexpr const char* kProgIdInvoice = "TarvikInvoice.Invoice";
inline constexpr const char* kProgIdBackOrder = "TarvikInvoice.BackOrder";

}  // namespace tarvik
