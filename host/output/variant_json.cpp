#include "host/output/variant_json.h"

#include <array>
#include <cstdint>
#include <limits>

#include "platform/error.h"
#include "platform/limits.h"
#include "platform/regional.h"

namespace tarvik::host {
namespace {

struct VtEntry {
  VARTYPE vt;
  const char* name;
  // Conversion used when a script forces this type; nullptr = not forcible.
  Variant (*force)(const Variant&);
};

const std::array<VtEntry, 21> kVtTable = {{
    {VT_EMPTY, "EMPTY", [](const Variant&) { return Variant(); }},
    {VT_NULL, "NULL", [](const Variant&) { return Variant::Null(); }},
    {VT_I2, "I2", [](const Variant& v) { return Variant::Integer(v.ToInteger()); }},
    {VT_I4, "I4", [](const Variant& v) { return Variant::Long(v.ToLong()); }},
    {VT_R4, "R4", [](const Variant& v) { return Variant::Single(v.ToSingle()); }},
    {VT_R8, "R8", [](const Variant& v) { return Variant::Double(v.ToDouble()); }},
    {VT_CY, "CY", nullptr},
    {VT_DATE, "DATE", [](const Variant& v) { return Variant::Date(v.ToDate()); }},
    {VT_BSTR, "BSTR", [](const Variant& v) { return Variant::String(v.ToString()); }},
    {VT_DISPATCH, "DISPATCH", nullptr},
    {VT_ERROR, "ERROR", nullptr},
    {VT_BOOL, "BOOL", [](const Variant& v) { return Variant::Boolean(v.ToBoolean()); }},
    {VT_VARIANT, "VARIANT", nullptr},
    {VT_UNKNOWN, "UNKNOWN", nullptr},
    {VT_I1, "I1", nullptr},
    {VT_UI1, "UI1", [](const Variant& v) { return Variant::Byte(v.ToByte()); }},
    {VT_UI2, "UI2", nullptr},
    {VT_UI4, "UI4", nullptr},
    {VT_I8, "I8", nullptr},
    {VT_UI8, "UI8", nullptr},
    {VT_INT, "INT", nullptr},
}};

const VtEntry* FindVt(VARTYPE vt) {
  for (const auto& e : kVtTable) {
    if (e.vt == vt) return &e;
  }
  return nullptr;
}

Variant PlainFromJson(const nlohmann::json& j) {
  switch (j.type()) {
    case nlohmann::json::value_t::string:
      if (j.get_ref<const std::string&>().size() > kMaxTextBytes) {
        RaiseError(kErrInvalidProcedureCall, "a text value may hold at most " + std::to_string(kMaxTextBytes) +
                                                 " bytes; this one holds " +
                                                 std::to_string(j.get_ref<const std::string&>().size()));
      }
      return Variant::String(j.get<std::string>());
    case nlohmann::json::value_t::boolean:
      return Variant::Boolean(j.get<bool>());
    case nlohmann::json::value_t::null:
      return Variant::Null();
    case nlohmann::json::value_t::number_integer:
    case nlohmann::json::value_t::number_unsigned: {
      // Literals too big for a Long become Doubles, as a scripting language reads them.
      if (j.is_number_integer() && !j.is_number_unsigned()) {
        auto v = j.get<std::int64_t>();
        if (v >= std::numeric_limits<std::int32_t>::min() &&
            v <= std::numeric_limits<std::int32_t>::max()) {
          return Variant::Long(static_cast<std::int32_t>(v));
        }
      } else if (j.get<std::uint64_t>() <=
                 static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
        return Variant::Long(static_cast<std::int32_t>(j.get<std::uint64_t>()));
      }
      return Variant::Double(j.get<double>());
    }
    case nlohmann::json::value_t::number_float:
      return Variant::Double(j.get<double>());
    default:
      RaiseError(kErrInvalidProcedureCall, "no automation value for " + j.dump());
  }
}

}  // namespace

std::string VtName(VARTYPE vt) {
  if (vt & VT_ARRAY) return "ARRAY|" + VtName(static_cast<VARTYPE>(vt & ~VT_ARRAY));
  if (const VtEntry* e = FindVt(vt)) return e->name;
  return std::to_string(vt);
}

Variant ForceType(const Variant& v, std::string_view vt_name) {
  for (const auto& e : kVtTable) {
    if (e.force && vt_name == e.name) return e.force(v);
  }
  RaiseError(kErrInvalidProcedureCall, "unknown or unsupported vt \"" + std::string(vt_name) + "\"");
}

Variant VariantFromJson(const nlohmann::json& j, const ObjectLookup& lookup) {
  if (!j.is_object()) return PlainFromJson(j);
  if (j.contains("ref")) {
    const auto& ref = j["ref"];
    if (ref.is_null()) return Variant::Dispatch(nullptr);  // Nothing
    if (!ref.is_string()) RaiseError(kErrInvalidProcedureCall, "\"ref\" must name an object");
    return Variant::Dispatch(lookup(ref.get<std::string>()));
  }
  if (!j.contains("value") || !j.contains("vt") || !j["vt"].is_string()) {
    RaiseError(kErrInvalidProcedureCall,
               "an object value needs {\"ref\":name} or {\"value\":..,\"vt\":type}: " + j.dump());
  }
  return ForceType(PlainFromJson(j["value"]), j["vt"].get<std::string>());
}

nlohmann::ordered_json VariantToJson(const Variant& v) {
  const VARIANT& r = v.raw();
  if (r.vt & VT_ARRAY) {
    nlohmann::ordered_json items = nlohmann::ordered_json::array();
    LONG lo = 0, hi = -1;
    if (Succeeded(SafeArrayGetLBound(r.parray, 1, &lo)) &&
        Succeeded(SafeArrayGetUBound(r.parray, 1, &hi))) {
      for (LONG i = lo; i <= hi; ++i) {
        VARIANT item;
        VariantInit(&item);
        ThrowIfFailed(SafeArrayGetElement(r.parray, &i, &item));
        items.push_back(VariantToJson(Variant::Adopt(&item)));
      }
    }
    return items;
  }
  switch (r.vt) {
    case VT_I2: return r.iVal;
    case VT_I4: return r.lVal;
    case VT_UI1: return r.bVal;
    case VT_I1: return static_cast<int>(r.cVal);
    case VT_UI2: return r.uiVal;
    case VT_UI4: return r.ulVal;
    case VT_I8: return r.llVal;
    case VT_UI8: return r.ullVal;
    case VT_INT: return r.intVal;
    case VT_UINT: return r.uintVal;
    // A Single is shown with the digits it really has (0.1, not 0.100000001).
    case VT_R4: return std::stod(regional::FormatSingle(r.fltVal));
    case VT_R8: return r.dblVal;
    case VT_CY: return static_cast<double>(r.cyVal.int64) / 10000.0;
    case VT_BOOL: return r.boolVal ? -1 : 0;
    case VT_BSTR: return Utf8(r.bstrVal);
    case VT_DATE: return v.ToString();
    case VT_ERROR: return r.scode;
    default: return nullptr;  // Empty, Null, objects
  }
}

nlohmann::ordered_json ValueToJson(const data::Value& v) {
  return std::visit(
      [](const auto& x) -> nlohmann::ordered_json {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return nullptr;
        } else if constexpr (std::is_same_v<T, data::DateValue>) {
          return regional::FormatIsoDate(x.ole);
        } else {
          return x;
        }
      },
      v);
}

}  // namespace tarvik::host
