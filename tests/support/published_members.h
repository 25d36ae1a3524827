// The published members of _Invoice and _BackOrder, written out
// independently of the code: position, name, kind and type of every vtable
// slot. Tests of the tables, the objects and the host all check against this
// one list.
#pragma once

#include <string>
#include <vector>

namespace tarvik::testing::published {

enum Kind { kLet, kGet, kSet, kFunction, kSub };
enum Type { kByte, kString, kLong, kBoolean, kObject, kNone };

struct Slot {
  int position;
  const char* name;
  Kind kind;
  Type type;
};

extern const std::vector<Slot> kInvoiceSlots;
extern const std::vector<Slot> kBackOrderSlots;

// Each member name once, in slot order (a property's Let and Get share it).
std::vector<std::string> Names(const std::vector<Slot>& slots);

}  // namespace tarvik::testing::published
