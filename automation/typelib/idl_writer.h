// Writes the IDL of the TarvikInvoice type library from its description
// (automation/type_library.h): enumerations, the two dual interfaces with
// every member in vtable order, and the two classes.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tarvik::automation {

// Fails (returns the faults, writes nothing) when a member table does not
// follow its C++ interface slot for slot.
std::vector<std::string> WriteIdl(std::ostream& out);

}  // namespace tarvik::automation
