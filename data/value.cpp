#include "data/value.h"

#include "platform/regional.h"

namespace tarvik::data {

std::string ValueToText(const Value& v) {
  if (auto* s = std::get_if<std::string>(&v)) return *s;
  if (auto* i = std::get_if<std::int64_t>(&v)) return std::to_string(*i);
  if (auto* d = std::get_if<double>(&v)) return regional::FormatDouble(*d);
  if (auto* t = std::get_if<DateValue>(&v)) return regional::FormatDate(t->ole);
  return {};
}

}  // namespace tarvik::data
