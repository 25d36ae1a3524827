#include "host/output/amounts.h"

#include <cmath>
#include <cstdio>

namespace tarvik::host {

std::string FormatAmount(double amount, bool grouped) {
  const double cents = std::round(amount * 100.0);
  const bool negative = cents < 0;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.2f", std::fabs(cents) / 100.0);
  std::string digits(buffer);
  const std::size_t point = digits.find('.');
  std::string whole = digits.substr(0, point);
  if (grouped) {
    for (std::size_t i = whole.size(); i > 3; i -= 3) whole.insert(i - 3, 1, ',');
  }
  if (negative) whole.insert(whole.begin(), '-');
  return whole.append(digits, point);
}

std::string FormatQuantity(double quantity) {
  char buffer[64];
  if (std::fabs(quantity - std::round(quantity)) < 1e-9) {
    std::snprintf(buffer, sizeof buffer, "%.0f", std::round(quantity));
  } else {
    std::snprintf(buffer, sizeof buffer, "%.4f", quantity);
    std::string text(buffer);
    while (text.back() == '0') text.pop_back();
    return text;
  }
  std::string text(buffer);
  return text == "-0" ? "0" : text;
}

}  // namespace tarvik::host
