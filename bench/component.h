// The component as a host drives it: an Invoice created and connected,
// every property and call by name through its dispatch interface.
#pragma once

#include <string>
#include <vector>

#include "data/host_connection.h"
#include "platform/com.h"
#include "platform/variant.h"

namespace tarvik::bench {

class ComponentHost {
 public:
  explicit ComponentHost(const std::string& path);
  void Let(const std::string& member, Variant value);
  Variant Call(const std::string& member, std::vector<Variant> args = {});
  bool Succeeds(const std::string& member, std::vector<Variant> args = {});
  // One invoice of one order under the next free number; throws when Save
  // answers False.
  void SaveOneOrder(const std::string& order);
  data::HostConnection& connection() { return *connection_; }

 private:
  ComPtr<data::HostConnection> connection_;
  ComPtr<IDispatch> invoice_;
};

}  // namespace tarvik::bench
