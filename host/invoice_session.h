// One Invoice object of the server library on a connection the host opened
// itself, driven late-bound by member name as any suite program drives it.
// The object is released before the connection it was handed.
#pragma once

#include <string>
#include <string_view>

#include "data/host_connection.h"
#include "platform/com.h"
#include "platform/variant.h"

namespace tarvik::host {

inline constexpr const char* kBackOrderProgId = "TarvikInvoice.BackOrder";

class InvoiceSession {
 public:
  // Opens the database (a missing SQLite file is refused, never created),
  // makes sure the server is registered, creates "TarvikInvoice.Invoice" and
  // sets its Connect. Throws AutomationError with the reason (std::runtime_error
  // for a missing database file).
  explicit InvoiceSession(const std::string& database);
  // The same for another class of the server library (kBackOrderProgId);
  // every class of it takes its connection through Connect.
  InvoiceSession(const std::string& database, const std::string& progid);
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
