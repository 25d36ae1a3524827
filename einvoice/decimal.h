// Exact decimal amounts for e-invoices: a whole number of units at a fixed
// number of decimals, so sums and comparisons are exact and every amount
// prints with the decimals it was rounded to ("12.50", never "12.5").
#pragma once

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarvik::einvoice {

class Decimal {
 public:
  constexpr Decimal() = default;
  // 12345 at scale 2 is 123.45.
  static constexpr Decimal FromUnits(std::int64_t units, int scale) { return Decimal(units, scale); }
  // Rounded half away from zero to scale decimals.
  static Decimal FromDouble(double value, int scale);
  // "123.45", "-0.5", "7": digits with an optional sign and point; nullopt otherwise
  // or when it does not fit.
  static std::optional<Decimal> Parse(std::string_view text);

  std::int64_t units() const { return units_; }
  int scale() const { return scale_; }
  bool IsZero() const { return units_ == 0; }
  bool IsNegative() const { return units_ < 0; }

  // The same value at another scale, rounded half away from zero.
  Decimal Rescaled(int scale) const;
  // Always scale decimals after a point ("0.00"); no point at scale 0.
  std::string ToString() const;
  double ToDouble() const;

  // Sums keep the larger scale, products add the scales.
  friend Decimal operator+(Decimal a, Decimal b);
  friend Decimal operator-(Decimal a, Decimal b);
  friend Decimal operator*(Decimal a, Decimal b);
  Decimal operator-() const { return Decimal(-units_, scale_); }
  Decimal& operator+=(Decimal b) { return *this = *this + b; }
  Decimal& operator-=(Decimal b) { return *this = *this - b; }
  // Compares values, whatever the scales.
  friend std::strong_ordering operator<=>(Decimal a, Decimal b);
  friend bool operator==(Decimal a, Decimal b) { return (a <=> b) == 0; }

 private:
  constexpr Decimal(std::int64_t units, int scale) : units_(units), scale_(scale) {}
  std::int64_t units_ = 0;
  int scale_ = 2;
};

}  // namespace tarvik::einvoice
