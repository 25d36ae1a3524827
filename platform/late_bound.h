// Late-bound calls through IDispatch, the way a scripting host makes them.
#pragma once

#include <string_view>
#include <vector>

#include "platform/com.h"
#include "platform/variant.h"

namespace tarvik {

enum class CallKind { kMethod, kGet, kLet, kSet };

// Resolves the name (case-insensitive on the server side); throws
// AutomationError 438 when the object has no such member.
DISPID GetDispId(IDispatch* object, std::string_view member);

// True when the object knows the member's name (GetIDsOfNames).
bool HasMember(IDispatch* object, std::string_view member);

// Invokes member with args (in natural order, not reversed). A failed call
// throws AutomationError carrying the server's number and description.
// kLet/kSet pass the last argument as the property value.
Variant InvokeByName(IDispatch* object, std::string_view member, CallKind kind,
                     std::vector<Variant> args = {});

}  // namespace tarvik
