// One Invoice object of the server library on a connection the host opened
// itself, driven late-bound by member name as any suite program drives it.
// The object is released before the connection it was handed.
#pragma once

#include <string>
#include <string_view>

#include "data/host_connection.h"
#include "host/server_library.h"
#include "platform/com.h"
#include "platform/variant.h"

namespace tarvik::host {

// Commands that only read open the database read-only; the others open it
// for writing, which first completes what an interrupted run left.
enum class Access { kRead, kWrite };

class InvoiceSession {
 public:
  // Opens the database as database_open.h describes (a missing SQLite file
  // is refused, never created), makes sure the server is registered, creates
  // the class (every class of the server library takes its connection
  // through Connect) and sets its Connect. Throws AutomationError with the
  // reason, NotOurDatabase or NoWriteAccess.
  InvoiceSession(const std::string& database, Access access,
                 const std::string& progid = kProgIdInvoice);
  InvoiceSession(const InvoiceSession&) = delete;
  InvoiceSession& operator=(const InvoiceSession&) = delete;

  Variant Get(std::string_view member);
  std::string GetText(std::string_view member);
  void Let(std::string_view member, Variant value);
  // Property Set: an object reference (ReportFormula takes a Collection).
  void Set(std::string_view member, Variant object);
  // A function without arguments.
  Variant Call(std::string_view member);
  // A function answering a Boolean.
  bool Succeeds(std::string_view member);

  data::HostConnection& connection() { return *connection_; }

 private:
  ComPtr<data::HostConnection> connection_;
  ComPtr<IDispatch> invoice_;  // declared last: released first
};

}  // namespace tarvik::host
