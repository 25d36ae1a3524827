// Amounts for people: two decimals, thousands grouped in tables.
#pragma once

#include <string>

namespace tarvik::host {

// 1129.924 -> "1,129.92" (grouped) or "1129.92"; -0.001 -> "0.00".
std::string FormatAmount(double amount, bool grouped = true);

// A quantity: whole numbers without decimals, others with up to four.
std::string FormatQuantity(double quantity);

}  // namespace tarvik::host
