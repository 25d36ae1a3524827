#include "einvoice/decimal.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace tarvik::einvoice {
namespace {

constexpr int kMaxScale = 12;
// Products and rescales are worked out wider than they are kept.
__extension__ typedef __int128 Wide;

std::int64_t Pow10(int n) {
  std::int64_t p = 1;
  for (int i = 0; i < n; ++i) p *= 10;
  return p;
}

std::int64_t Checked(Wide v) {
  if (v > INT64_MAX || v < INT64_MIN) throw std::overflow_error("amount out of range");
  return static_cast<std::int64_t>(v);
}

// units at scale `from` brought to scale `to`, rounding half away from zero.
std::int64_t Scale(std::int64_t units, int from, int to) {
  if (to >= from) return Checked(static_cast<Wide>(units) * Pow10(to - from));
  std::int64_t div = Pow10(from - to);
  std::int64_t q = units / div, r = units % div;
  if (std::llabs(r) * 2 >= div) q += units < 0 ? -1 : 1;
  return q;
}

}  // namespace

Decimal Decimal::FromDouble(double value, int scale) {
  if (scale < 0 || scale > kMaxScale || !std::isfinite(value)) throw std::invalid_argument("bad decimal");
  // Through the shortest text that reads back as the same double, so 0.285
  // rounds to 0.29 as a person reading it would.
  char buf[400];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
  if (ec != std::errc()) throw std::overflow_error("amount out of range");
  auto d = Parse(std::string_view(buf, static_cast<std::size_t>(end - buf)));
  if (!d) throw std::overflow_error("amount out of range");
  return d->Rescaled(scale);
}

std::optional<Decimal> Decimal::Parse(std::string_view text) {
  bool negative = false;
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  Wide units = 0;
  int scale = 0, digits = 0;
  bool point = false, round_up = false, cut = false;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c == '.' && !point) {
      point = true;
    } else if (c >= '0' && c <= '9') {
      ++digits;
      if (point && scale == kMaxScale) {  // beyond the precision kept: round
        if (!cut) round_up = c >= '5';
        cut = true;
        continue;
      }
      units = units * 10 + (c - '0');
      if (units > INT64_MAX) return std::nullopt;
      if (point) ++scale;
    } else {
      return std::nullopt;
    }
  }
  if (digits == 0) return std::nullopt;
  if (round_up) ++units;
  if (units > INT64_MAX) return std::nullopt;
  return Decimal(static_cast<std::int64_t>(negative ? -units : units), scale);
}

Decimal Decimal::Rescaled(int scale) const {
  if (scale < 0 || scale > kMaxScale) throw std::invalid_argument("bad decimal scale");
  return Decimal(Scale(units_, scale_, scale), scale);
}

std::string Decimal::ToString() const {
  std::uint64_t magnitude = units_ < 0 ? 0 - static_cast<std::uint64_t>(units_) : static_cast<std::uint64_t>(units_);
  std::string digits = std::to_string(magnitude);
  const std::size_t frac = static_cast<std::size_t>(scale_);
  if (digits.size() <= frac) digits = std::string(frac + 1 - digits.size(), '0') + digits;
  std::string text = units_ < 0 ? "-" : "";
  text += std::string_view(digits).substr(0, digits.size() - frac);
  if (frac > 0) {
    text += '.';
    text += std::string_view(digits).substr(digits.size() - frac);
  }
  return text;
}

double Decimal::ToDouble() const { return static_cast<double>(units_) / static_cast<double>(Pow10(scale_)); }

Decimal operator+(Decimal a, Decimal b) {
  int s = a.scale_ > b.scale_ ? a.scale_ : b.scale_;
  return Decimal(Checked(static_cast<Wide>(Scale(a.units_, a.scale_, s)) + Scale(b.units_, b.scale_, s)), s);
}

Decimal operator-(Decimal a, Decimal b) { return a + (-b); }

Decimal operator*(Decimal a, Decimal b) {
  int s = a.scale_ + b.scale_;
  Wide v = static_cast<Wide>(a.units_) * b.units_;
  if (s > kMaxScale) {
    // Round the exact product down to the precision we keep.
    Wide div = Pow10(s - kMaxScale);
    Wide q = v / div, r = v % div;
    if ((r < 0 ? -r : r) * 2 >= div) q += v < 0 ? -1 : 1;
    return Decimal(Checked(q), kMaxScale);
  }
  return Decimal(Checked(v), s);
}

std::strong_ordering operator<=>(Decimal a, Decimal b) {
  int s = a.scale_ > b.scale_ ? a.scale_ : b.scale_;
  return Scale(a.units_, a.scale_, s) <=> Scale(b.units_, b.scale_, s);
}

}  // namespace tarvik::einvoice
