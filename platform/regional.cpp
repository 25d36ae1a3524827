#include "platform/regional.h"

#include <charconv>
#include <cmath>
#include <ctime>
#include <vector>

namespace tarvik::regional {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view Trim(std::string_view t) {
  while (!t.empty() && IsBlank(t.front())) t.remove_prefix(1);
  while (!t.empty() && IsBlank(t.back())) t.remove_suffix(1);
  return t;
}

bool StartsWithNoCase(std::string_view t, std::string_view prefix) {
  if (t.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (Lower(t[i]) != prefix[i]) return false;
  }
  return true;
}

// &H / &O literals: up to 4 digits they are Integer, up to 8 Long, so
// &HFFFF is -1 as the platform reads it.
std::optional<double> ParseRadix(std::string_view t) {
  int radix = 0;
  if (StartsWithNoCase(t, "&h")) radix = 16;
  else if (StartsWithNoCase(t, "&o")) radix = 8;
  else return std::nullopt;
  t.remove_prefix(2);
  if (t.empty()) return std::nullopt;
  std::uint64_t v = 0;
  auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v, radix);
  if (ec != std::errc() || end != t.data() + t.size()) return std::nullopt;
  const std::size_t digits = t.size();
  if (radix == 16) {
    if (digits <= 4) return static_cast<double>(static_cast<std::int16_t>(v));
    if (digits <= 8) return static_cast<double>(static_cast<std::int32_t>(v));
  } else {
    if (v <= 0xFFFF && digits <= 6) return static_cast<double>(static_cast<std::int16_t>(v));
    if (v <= 0xFFFFFFFFu && digits <= 11) return static_cast<double>(static_cast<std::int32_t>(v));
  }
  return std::nullopt;
}

}  // namespace

std::optional<double> ParseNumber(std::string_view text) {
  std::string_view t = Trim(text);
  if (t.empty()) return std::nullopt;
  if (t.front() == '&') return ParseRadix(t);

  bool negative = false;
  bool signed_already = false;
  if (t.front() == '(' && t.back() == ')') {
    negative = signed_already = true;
    t = Trim(t.substr(1, t.size() - 2));
  } else if (t.front() == '+' || t.front() == '-') {
    negative = t.front() == '-';
    signed_already = true;
    t = Trim(t.substr(1));
  } else if (t.back() == '+' || t.back() == '-') {
    negative = t.back() == '-';
    signed_already = true;
    t = Trim(t.substr(0, t.size() - 1));
  }
  if (!t.empty() && t.front() == '$') t = Trim(t.substr(1));
  if (!signed_already && !t.empty() && (t.front() == '+' || t.front() == '-')) {
    negative = t.front() == '-';
    t = Trim(t.substr(1));
  }
  if (t.empty()) return std::nullopt;

  // Rebuild the plain form digits[.digits][e[+-]digits] for from_chars.
  std::string plain;
  plain.reserve(t.size());
  std::size_t i = 0;
  bool digits = false;
  while (i < t.size() && (IsDigit(t[i]) || t[i] == ',')) {
    if (t[i] == ',') {
      // Grouping commas stand between digits.
      if (!digits || i + 1 >= t.size() || !IsDigit(t[i + 1])) return std::nullopt;
    } else {
      plain += t[i];
      digits = true;
    }
    ++i;
  }
  if (i < t.size() && t[i] == '.') {
    plain += '.';
    ++i;
    while (i < t.size() && IsDigit(t[i])) {
      plain += t[i++];
      digits = true;
    }
  }
  if (!digits) return std::nullopt;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    plain += 'e';
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) plain += t[i++];
    bool exp_digits = false;
    while (i < t.size() && IsDigit(t[i])) {
      plain += t[i++];
      exp_digits = true;
    }
    if (!exp_digits) return std::nullopt;
  }
  if (i != t.size()) return std::nullopt;

  double v = 0;
  auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), v);
  if (ec == std::errc::result_out_of_range) {
    // Too large is an overflow for the caller to raise; too small is zero.
    const auto e = plain.find('e');
    const bool tiny = e != std::string::npos && plain[e + 1] == '-';
    v = tiny ? 0.0 : HUGE_VAL;
  } else if (ec != std::errc() || end != plain.data() + plain.size()) {
    return std::nullopt;
  }
  return negative ? -v : v;
}

double BankersRound(double v) {
  const double f = std::floor(v);
  const double diff = v - f;
  if (diff == 0.5) return std::fmod(f, 2.0) == 0 ? f : f + 1;
  return diff < 0.5 ? f : f + 1;
}

// ---- dates ----

namespace {

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Days from 1/1/1970 of a proleptic Gregorian date (H. Hinnant's algorithm).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int* y, int* m, int* d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t yy = static_cast<std::int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *y = static_cast<int>(yy + (*m <= 2));
}

const std::int64_t kOleEpoch = DaysFromCivil(1899, 12, 30);

}  // namespace

std::optional<double> ToOleDate(const DateTimeParts& p) {
  if (p.year < 100 || p.year > 9999 || p.month < 1 || p.month > 12) return std::nullopt;
  if (p.day < 1 || p.day > DaysInMonth(p.year, p.month)) return std::nullopt;
  if (p.hour < 0 || p.hour > 23 || p.minute < 0 || p.minute > 59 || p.second < 0 ||
      p.second > 59) {
    return std::nullopt;
  }
  const double days = static_cast<double>(
      DaysFromCivil(p.year, static_cast<unsigned>(p.month), static_cast<unsigned>(p.day)) -
      kOleEpoch);
  const double time = (p.hour * 3600 + p.minute * 60 + p.second) / 86400.0;
  // Before the epoch the day counts down but the time still counts up.
  return days < 0 ? days - time : days + time;
}

bool InOleCalendar(double date) { return date > -657435.0 && date < 2958466.0; }

DateTimeParts FromOleDate(double date) {
  // Callers check the calendar's range; beyond it the parts are those of
  // its ends (1/1/100 or 12/31/9999, 11:59:59 PM) rather than undefined.
  if (!InOleCalendar(date)) date = date > 0 ? 2958465.0 + 86399.0 / 86400 : -657434.0 - 86399.0 / 86400;
  double whole = std::trunc(date);
  std::int64_t seconds = std::llround(std::fabs(date - whole) * 86400.0);
  std::int64_t days = static_cast<std::int64_t>(whole);
  if (seconds >= 86400) {
    seconds -= 86400;
    days = date < 0 ? days - 1 : days + 1;
  }
  DateTimeParts p;
  CivilFromDays(days + kOleEpoch, &p.year, &p.month, &p.day);
  p.hour = static_cast<int>(seconds / 3600);
  p.minute = static_cast<int>(seconds / 60 % 60);
  p.second = static_cast<int>(seconds % 60);
  return p;
}

namespace {

struct Token {
  enum Kind { kNumber, kWord, kSep } kind;
  std::string text;  // digits, lower-case word, or the separator
  int value = 0;
  bool blank_before = false;
};

bool Tokenize(std::string_view t, std::vector<Token>* out) {
  bool blank = false;
  for (std::size_t i = 0; i < t.size();) {
    const char c = t[i];
    if (IsBlank(c)) {
      blank = true;
      ++i;
      continue;
    }
    Token tok{Token::kSep, {}, 0, blank};
    blank = false;
    if (IsDigit(c)) {
      tok.kind = Token::kNumber;
      while (i < t.size() && IsDigit(t[i])) tok.text += t[i++];
      if (tok.text.size() > 4) return false;
      tok.value = std::stoi(tok.text);
    } else if (IsAlpha(c)) {
      tok.kind = Token::kWord;
      while (i < t.size() && IsAlpha(t[i])) tok.text += Lower(t[i++]);
    } else if (c == '/' || c == '-' || c == ',' || c == ':' || c == '.') {
      tok.text = std::string(1, c);
      ++i;
    } else {
      return false;
    }
    out->push_back(std::move(tok));
  }
  return true;
}

constexpr const char* kMonths[] = {"january", "february", "march",     "april",
                                   "may",     "june",     "july",      "august",
                                   "september", "october", "november", "december"};
constexpr const char* kWeekdays[] = {"sunday",   "monday", "tuesday", "wednesday",
                                     "thursday", "friday", "saturday"};

// Full name or any prefix of at least three letters ("Sep", "Sept").
int MatchName(const std::string& w, const char* const* names, int count) {
  if (w.size() < 3) return 0;
  for (int i = 0; i < count; ++i) {
    std::string_view name = names[i];
    if (w.size() <= name.size() && name.substr(0, w.size()) == w) return i + 1;
  }
  return 0;
}

bool IsSep(const Token& t, char c) { return t.kind == Token::kSep && t.text[0] == c; }

struct Time {
  int hour = 0, minute = 0, second = 0;
};

// Finds and removes the time of day: h:mm[:ss], h.mm, or h alone, each with
// an optional AM/PM. Fails on a malformed or second time.
bool ExtractTime(std::vector<Token>& toks, std::optional<Time>* time) {
  for (std::size_t i = 0; i < toks.size(); ++i) {
    if (toks[i].kind != Token::kNumber) continue;
    auto is_num = [&](std::size_t k) { return k < toks.size() && toks[k].kind == Token::kNumber; };
    auto is_sep = [&](std::size_t k, char c) { return k < toks.size() && IsSep(toks[k], c); };
    std::size_t end = i + 1;  // one past the time's tokens
    Time t;
    t.hour = toks[i].value;
    if (is_sep(i + 1, ':') && is_num(i + 2)) {
      t.minute = toks[i + 2].value;
      end = i + 3;
      if (is_sep(end, ':') && is_num(end + 1)) {
        t.second = toks[end + 1].value;
        end += 2;
      }
    } else if (is_sep(i + 1, '.') && is_num(i + 2) && !is_sep(i + 3, '.') &&
               !(i > 0 && IsSep(toks[i - 1], '.'))) {
      // 2.5 is 2:05, not a decimal fraction.
      t.minute = toks[i + 2].value;
      end = i + 3;
    }
    bool has_ampm = false, pm = false;
    if (end < toks.size() && toks[end].kind == Token::kWord) {
      const std::string& w = toks[end].text;
      if (w == "am" || w == "a" || w == "pm" || w == "p") {
        has_ampm = true;
        pm = w[0] == 'p';
      }
    }
    if (end == i + 1 && !has_ampm) continue;  // a plain number, part of the date
    if (time->has_value()) return false;
    if (has_ampm) {
      if (t.hour < 0 || t.hour > 12) return false;
      if (t.hour == 12) t.hour = 0;
      if (pm) t.hour += 12;
      ++end;
    }
    if (t.hour > 23 || t.minute > 59 || t.second > 59) return false;
    *time = t;
    toks.erase(toks.begin() + static_cast<std::ptrdiff_t>(i),
               toks.begin() + static_cast<std::ptrdiff_t>(end));
    --i;
  }
  return true;
}

int ExpandYear(const Token& t) {
  if (t.text.size() <= 2) return t.value < 50 ? 2000 + t.value : 1900 + t.value;
  return t.value;
}

struct Item {
  bool is_month;
  int value;         // month number or the number
  const Token* tok;  // the number's token
  char sep_before;   // '/', '-', ',' or 0 for blank/none
};

std::optional<double> Build(int y, int m, int d, const Time& t) {
  return ToOleDate({y, m, d, t.hour, t.minute, t.second});
}

// Month/day first; day/month when that is the only valid reading (13/1/2001).
std::optional<double> MonthDay(int a, int b, int y, const Time& t) {
  if (auto r = Build(y, a, b, t)) return r;
  return Build(y, b, a, t);
}

std::optional<double> ParseDateItems(const std::vector<Item>& items, const Time& t,
                                     int current_year) {
  int months = 0;
  for (const Item& it : items) months += it.is_month;
  if (months > 1) return std::nullopt;
  if (months == 0) {
    // Numeric forms: separators must be one of / - between every pair.
    for (std::size_t k = 1; k < items.size(); ++k) {
      if (items[k].sep_before != '/' && items[k].sep_before != '-') return std::nullopt;
    }
    if (items.size() == 3) {
      if (items[1].sep_before != items[2].sep_before) return std::nullopt;
      if (items[0].tok->text.size() >= 3) {  // yyyy-m-d
        return Build(items[0].value, items[1].value, items[2].value, t);
      }
      return MonthDay(items[0].value, items[1].value, ExpandYear(*items[2].tok), t);
    }
    if (items.size() == 2) {
      if (items[1].tok->text.size() >= 3) {  // m/yyyy is the first of the month
        return Build(ExpandYear(*items[1].tok), items[0].value, 1, t);
      }
      return MonthDay(items[0].value, items[1].value, current_year, t);
    }
    return std::nullopt;
  }
  // With a month name: d Mon [y], Mon d [y], y Mon d, Mon yyyy.
  for (std::size_t k = 1; k < items.size(); ++k) {
    if (items[k].sep_before == ':' || items[k].sep_before == '.') return std::nullopt;
  }
  std::vector<const Item*> nums;
  int month = 0;
  std::size_t month_pos = 0;
  for (std::size_t k = 0; k < items.size(); ++k) {
    if (items[k].is_month) {
      month = items[k].value;
      month_pos = k;
    } else {
      nums.push_back(&items[k]);
    }
  }
  if (nums.size() == 1) {
    const Token& n = *nums[0]->tok;
    if (n.text.size() >= 3) return Build(n.value, month, 1, t);
    return Build(current_year, month, n.value, t);
  }
  if (nums.size() == 2) {
    const Token& a = *nums[0]->tok;
    const Token& b = *nums[1]->tok;
    if (month_pos == 1 && a.text.size() >= 3) return Build(a.value, month, b.value, t);
    return Build(ExpandYear(b), month, a.value, t);
  }
  return std::nullopt;
}

}  // namespace

std::optional<double> ParseDate(std::string_view text, int current_year) {
  std::vector<Token> toks;
  std::string_view t = Trim(text);
  if (t.empty() || !Tokenize(t, &toks)) return std::nullopt;
  std::optional<Time> time;
  if (!ExtractTime(toks, &time)) return std::nullopt;

  std::vector<Item> items;
  char pending_sep = 0;
  bool expect_item = true;  // no separator may lead or double up
  for (const Token& tok : toks) {
    if (tok.kind == Token::kSep) {
      if (expect_item && !(tok.text[0] == ',' && !items.empty())) return std::nullopt;
      if (pending_sep) return std::nullopt;
      pending_sep = tok.text[0];
      expect_item = true;
      continue;
    }
    if (tok.kind == Token::kWord) {
      if (MatchName(tok.text, kWeekdays, 7)) {
        // A weekday name is allowed and ignored, with the comma after it.
        if (!items.empty()) return std::nullopt;
        expect_item = false;
        pending_sep = 0;
        continue;
      }
      int m = MatchName(tok.text, kMonths, 12);
      if (!m) return std::nullopt;
      items.push_back({true, m, nullptr, pending_sep});
    } else {
      items.push_back({false, tok.value, &tok, pending_sep});
    }
    pending_sep = 0;
    expect_item = false;
  }
  if (pending_sep) return std::nullopt;
  const Time tod = time.value_or(Time{});
  if (items.empty()) {
    if (!time) return std::nullopt;
    return Build(1899, 12, 30, tod);
  }
  return ParseDateItems(items, tod, current_year);
}

namespace {

int CurrentYear() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local.tm_year + 1900;
}

std::string Pad2(int v) { return (v < 10 ? "0" : "") + std::to_string(v); }

std::string Pad4(int v) {
  std::string s = std::to_string(v);
  return std::string(s.size() < 4 ? 4 - s.size() : 0, '0') + s;
}

}  // namespace

std::optional<double> ParseDate(std::string_view text) { return ParseDate(text, CurrentYear()); }

std::string FormatDate(double date) {
  const DateTimeParts p = FromOleDate(date);
  const bool zero_date = p.year == 1899 && p.month == 12 && p.day == 30;
  const bool midnight = p.hour == 0 && p.minute == 0 && p.second == 0;
  std::string out;
  if (!zero_date) {
    out = std::to_string(p.month) + "/" + std::to_string(p.day) + "/" + Pad4(p.year);
    if (midnight) return out;
    out += ' ';
  }
  const int h12 = p.hour % 12 == 0 ? 12 : p.hour % 12;
  out += std::to_string(h12) + ":" + Pad2(p.minute) + ":" + Pad2(p.second) +
         (p.hour < 12 ? " AM" : " PM");
  return out;
}

std::string FormatIsoDate(double date) {
  const DateTimeParts p = FromOleDate(date);
  std::string out = Pad4(p.year) + "-" + Pad2(p.month) + "-" + Pad2(p.day);
  if (p.hour || p.minute || p.second) {
    out += " " + Pad2(p.hour) + ":" + Pad2(p.minute) + ":" + Pad2(p.second);
  }
  return out;
}

std::optional<double> ParseIsoDate(std::string_view text) {
  std::string_view t = Trim(text);
  auto field = [&](std::size_t pos, std::size_t len, int* out) {
    if (pos + len > t.size()) return false;
    for (std::size_t k = pos; k < pos + len; ++k) {
      if (!IsDigit(t[k])) return false;
    }
    *out = std::stoi(std::string(t.substr(pos, len)));
    return true;
  };
  DateTimeParts p;
  if (!field(0, 4, &p.year) || t.size() < 10 || t[4] != '-' || !field(5, 2, &p.month) ||
      t[7] != '-' || !field(8, 2, &p.day)) {
    return std::nullopt;
  }
  p.hour = p.minute = p.second = 0;
  if (t.size() > 10) {
    if ((t[10] != ' ' && t[10] != 'T') || !field(11, 2, &p.hour) || t.size() < 16 ||
        t[13] != ':' || !field(14, 2, &p.minute)) {
      return std::nullopt;
    }
    std::size_t pos = 16;
    if (pos < t.size() && t[pos] == ':') {
      if (!field(pos + 1, 2, &p.second)) return std::nullopt;
      pos += 3;
      // Fractions of a second, as some servers write them, are dropped.
      if (pos < t.size() && t[pos] == '.') {
        ++pos;
        while (pos < t.size() && IsDigit(t[pos])) ++pos;
      }
    }
    if (pos != t.size()) return std::nullopt;
  }
  return ToOleDate(p);
}

// ---- numbers to text ----

namespace {

// %G with the given precision: exponent form when the exponent is below -4
// or not below the precision, trailing zeros dropped.
template <class T>
std::string FormatGeneral(T v, int precision) {
  if (v == 0) return "0";  // also -0
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v < 0 ? "-1.#INF" : "1.#INF";
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, precision);
  if (ec != std::errc()) return "0";
  std::string s(buf, end);
  for (char& c : s) {
    if (c == 'e') c = 'E';
  }
  return s;
}

}  // namespace

std::string FormatSingle(float v) { return FormatGeneral(v, 7); }
std::string FormatDouble(double v) { return FormatGeneral(v, 15); }

double Today() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return *ToOleDate({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, 0, 0, 0});
}

}  // namespace tarvik::regional
