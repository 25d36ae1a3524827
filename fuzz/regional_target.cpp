#include <cfloat>
#include <cmath>
#include <string>

#include "fuzz/fuzz_targets.h"
#include "platform/regional.h"

namespace tarvik::fuzz {
namespace {

namespace rg = tarvik::regional;

// Fixed so that a year-less date gives the same value on every run.
constexpr int kYear = 2026;

[[noreturn]] void Broken(const std::string& what, std::string_view input) {
  throw InvariantBroken(what + "\n  input: [" + std::string(input) + "]");
}

void CheckNumber(std::string_view input) {
  const std::optional<double> v = rg::ParseNumber(input);
  if (!v) return;
  if (std::isnan(*v)) Broken("parsed to NaN", input);
  if (std::isinf(*v)) return;  // too large: the caller raises the overflow

  // Double: 15 digits survive a round trip through the text form.
  const std::string text = rg::FormatDouble(*v);
  const std::optional<double> again = rg::ParseNumber(text);
  if (!again) Broken("formatted double " + text + " does not parse", input);
  if (rg::FormatDouble(*again) != text) {
    Broken("double " + text + " formats as " + rg::FormatDouble(*again) + " after parsing", input);
  }
  if (*v == std::trunc(*v) && std::fabs(*v) < 1e15 && *again != *v) {
    Broken("whole number changed by its text form " + text, input);
  }

  // Single: the text keeps 7 digits, so the value comes back within that.
  if (std::fabs(*v) <= FLT_MAX) {
    const float f = static_cast<float>(*v);
    const std::string single = rg::FormatSingle(f);
    const std::optional<double> back = rg::ParseNumber(single);
    if (!back) Broken("formatted single " + single + " does not parse", input);
    if (std::fabs(*back - f) > 6e-7 * std::fabs(f)) {
      Broken("single " + single + " is too far from its value", input);
    }
  }

  // Banker's rounding: a whole number, at most half away, halves to even.
  const double r = rg::BankersRound(*v);
  const double gap = std::fabs(r - *v);
  if (r != std::trunc(r) || gap > 0.5 || (gap == 0.5 && std::fmod(r, 2.0) != 0)) {
    Broken("BankersRound gave " + rg::FormatDouble(r) + " for " + text, input);
  }
}

void CheckDate(std::string_view input) {
  const std::optional<double> d = rg::ParseDate(input, kYear);
  if (!d) return;
  if (!std::isfinite(*d)) Broken("date is not finite", input);
  const std::string text = rg::FormatDate(*d);
  const std::optional<double> again = rg::ParseDate(text, kYear);
  if (!again) Broken("formatted date " + text + " does not parse", input);
  if (*again != *d) Broken("date " + text + " parses to another value", input);

  const std::string iso = rg::FormatIsoDate(*d);
  const std::optional<double> from_iso = rg::ParseIsoDate(iso);
  if (!from_iso || *from_iso != *d) Broken("ISO date " + iso + " does not give the value back", input);
}

}  // namespace

void RegionalTarget(std::string_view input) {
  CheckNumber(input);
  CheckDate(input);
}

}  // namespace tarvik::fuzz
