// Databases made by earlier builds are brought up to this build's schema
// and stored queries when a host opens them for writing; nothing else ever
// changes a schema after it was created.
#pragma once

#include "data/host_connection.h"

namespace tarvik::db {

// 0 for a database that holds no schema of this program; 1 for one made
// before versions were kept; otherwise its version.
int SchemaVersion(data::HostConnection& connection);

// Adds what later versions added (tables, columns, parameter types) and
// stores the shipped query texts, in one transaction that waits for other
// writers; no row is lost. True when it changed anything. A database newer
// than this build is refused with an error naming both versions; one that
// holds no schema of this program is left alone (false).
bool UpgradeDatabase(data::HostConnection& connection);

}  // namespace tarvik::db
