// JSON <-> Variant as the script driver maps them.
//   string -> String, integer -> Long (Double beyond the Long range),
//   other number -> Double, true/false -> Boolean, null -> Null,
//   {"ref":"name"} -> the named object, {"value":..,"vt":"UI1"} -> value
//   converted to that type ("UI1","I2","I4","R4","R8","BOOL","BSTR","DATE",
//   "EMPTY","NULL").
// Back to JSON: numbers as numbers, Boolean -1/0, dates as US text, objects
// and Empty/Null as null; the type travels separately as its VT name.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "data/value.h"
#include "platform/com.h"
#include "platform/variant.h"

namespace tarvik::host {

// Resolves an object name; throws AutomationError when there is none.
using ObjectLookup = std::function<IDispatch*(const std::string& name)>;

// Throws AutomationError 5 for a JSON value that has no Variant form or a
// text longer than kMaxTextBytes,
// 13 or 6 when a forced type cannot hold the value.
Variant VariantFromJson(const nlohmann::json& j, const ObjectLookup& lookup);

// Converts v to the type named as in the "vt" field; 5 for an unknown name.
Variant ForceType(const Variant& v, std::string_view vt_name);

// "BOOL", "BSTR", "I4", ...; arrays as "ARRAY|VARIANT"; unknown codes as a number.
std::string VtName(VARTYPE vt);

nlohmann::ordered_json VariantToJson(const Variant& v);

// A database value as JSON: Null as null, dates as ISO text.
nlohmann::ordered_json ValueToJson(const data::Value& v);

}  // namespace tarvik::host
