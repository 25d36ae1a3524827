// The published description as the member tables give it, in plain standard
// types, for tests that also include <windows.h> (whose macros collide with
// the runtime's names, so the two never meet in one unit).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tarvik::testing::windows {

struct ExpectedFunction {
  std::string name;
  std::int32_t memid;
  int invkind;      // INVOKE_FUNC 1, PROPERTYGET 2, PROPERTYPUT 4, PROPERTYPUTREF 8
  int slot;         // vtable index, IUnknown::QueryInterface being 0
  int param_count;  // the [out, retval] result included
  std::vector<std::string> param_names;
  std::string help;
};

struct ExpectedInterface {
  std::string name;        // "_Invoice"
  std::string class_name;  // "Invoice"
  std::string iid;         // "{...}"
  std::string clsid;
  std::vector<ExpectedFunction> functions;  // in table order
};

struct ExpectedEnum {
  std::string name;
  std::vector<std::pair<std::string, std::int32_t>> values;
};

struct ExpectedLibrary {
  std::string name;
  std::string libid;
  int major;
  int minor;
  std::vector<ExpectedInterface> interfaces;
  std::vector<ExpectedEnum> enums;
};

ExpectedLibrary PublishedDescription();

}  // namespace tarvik::testing::windows
