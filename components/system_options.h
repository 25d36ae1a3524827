// The suite's reader of named options in the System table.
#pragma once

#include <string>

#include "data/host_connection.h"
#include "platform/com.h"
#include "platform/variant.h"

namespace tarvik::components {

struct SystemOptions : IUnknown {
  virtual void SetConnection(ComPtr<data::HostConnection> connection) = 0;  // first
  // Makes the options readable; false when the System table cannot be read.
  virtual bool Open() = 0;
  // True when an option of that name (compared exactly) exists; it becomes current.
  virtual bool FindOption(const Variant& name) = 0;
  // Value of the current option, empty text when none is current.
  virtual std::string OptionValue() = 0;

 protected:
  ~SystemOptions() = default;
};

ComPtr<SystemOptions> NewSystemOptions();

}  // namespace tarvik::components
