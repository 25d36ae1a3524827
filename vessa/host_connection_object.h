// Vessa.HostConnection: the suite's database connection as a creatable
// automation object, so any client (a script, an early-bound program) can
// open the books and hand them to Invoice.Connect / BackOrder.Connect.
//
// Late-bound members: Open(ConnectionText), Close, BeginTrans, CommitTrans,
// Rollback, Execute(SQL) -> Boolean, DatabaseName, RecordsAffected, IsOpen.
// Through IID_HostConnection it is the same C++ contract as every
// connection; used before Open it raises "The connection is not open".
#pragma once

#include "data/host_connection.h"
#include "platform/com.h"

namespace tarvik::vessa {

inline constexpr CLSID CLSID_VessaHostConnection = {
    0xbf963ef0, 0x0bf0, 0x4eb5, {0xa3, 0xbe, 0x33, 0x3f, 0xa0, 0x1c, 0xa9, 0x6a}};
inline constexpr const char* kProgIdHostConnection = "Vessa.HostConnection";

// A new, not yet open connection object.
ComPtr<data::HostConnection> NewHostConnectionObject();

// Objects alive plus server locks, for DllCanUnloadNow.
bool ObjectsAlive();
void NoteLock(bool lock);

}  // namespace tarvik::vessa
