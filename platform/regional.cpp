#include "platform/regional.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <vector>

namespace tarvik::regional {

namespace {

bool IsDigit(char32_t c) { return c >= '0' && c <= '9'; }
bool IsAlpha(char32_t c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char Lower(char32_t c) {
  return static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
}

// What the platform's iswspace calls a blank: the Unicode White_Space
// characters (tab to carriage return, space, NEL, no-break space, the
// typographic spaces, line and paragraph separators, ideographic space).
bool IsBlank(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
         c == 0x205F || c == 0x3000;
}

constexpr char32_t kBadUtf8 = 0xFFFFFFFF;

// The code point at t[*i] (UTF-8), advancing *i; kBadUtf8 for a malformed one.
char32_t NextCodePoint(std::string_view t, std::size_t* i) {
  const auto b0 = static_cast<unsigned char>(t[(*i)++]);
  if (b0 < 0x80) return b0;
  int extra = 0;
  char32_t cp = 0;
  if ((b0 & 0xE0) == 0xC0) {
    extra = 1;
    cp = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2;
    cp = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3;
    cp = b0 & 0x07;
  } else {
    return kBadUtf8;
  }
  for (int k = 0; k < extra; ++k) {
    if (*i >= t.size()) return kBadUtf8;
    const auto b = static_cast<unsigned char>(t[*i]);
    if ((b & 0xC0) != 0x80) return kBadUtf8;
    cp = (cp << 6) | (b & 0x3F);
    ++*i;
  }
  return cp;
}

// The text without the blanks around it.
std::string_view TrimBlanks(std::string_view t) {
  std::size_t begin = 0;
  while (begin < t.size()) {
    std::size_t next = begin;
    if (!IsBlank(NextCodePoint(t, &next))) break;
    begin = next;
  }
  std::size_t end = begin;
  for (std::size_t i = begin; i < t.size();) {
    if (!IsBlank(NextCodePoint(t, &i))) end = i;
  }
  return t.substr(begin, end - begin);
}

bool StartsWithNoCase(std::string_view t, std::string_view prefix) {
  if (t.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (Lower(static_cast<unsigned char>(t[i])) != prefix[i]) return false;
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

// A reader over the code points of a text.
class Cursor {
 public:
  explicit Cursor(std::string_view t) : t_(t) {}
  bool done() const { return pos_ >= t_.size(); }
  char32_t peek() const {
    std::size_t i = pos_;
    return done() ? 0 : NextCodePoint(t_, &i);
  }
  void next() { NextCodePoint(t_, &pos_); }
  void SkipBlanks() {
    while (!done() && IsBlank(peek())) next();
  }

 private:
  std::string_view t_;
  std::size_t pos_ = 0;
};

// Exponent of the first significant digit of int_digits.frac_digits e exp,
// saturated; only used to tell a too large value from a too small one.
long long LeadingExponent(const std::string& int_digits, const std::string& frac_digits,
                          const std::string& exp_digits, bool exp_negative) {
  long long e = 0;
  for (char c : exp_digits) e = std::min<long long>(e * 10 + (c - '0'), 1LL << 40);
  if (exp_negative) e = -e;
  const std::size_t first = int_digits.find_first_not_of('0');
  if (first != std::string::npos) return e + static_cast<long long>(int_digits.size() - first) - 1;
  const std::size_t lead = frac_digits.find_first_not_of('0');
  return e - static_cast<long long>(lead == std::string::npos ? 0 : lead) - 1;
}

}  // namespace

// The platform's VarParseNumFromStr with every NUMPRS_ flag, United States
// characters: before the digits any of blanks, one '+', one '-', one '$'
// and one '(' in any order, or a leading point; then digits with ','
// grouping anywhere after the first digit (not checked for position), one
// '.', an exponent (e, optional sign, digits; no blank before it, none in a
// currency amount); after them blanks, ',' grouping, a '+' or '-' when none
// led, the ')' closing the '(' and any number of '$'. Nothing else may be
// left over.
std::optional<double> ParseNumber(std::string_view text) {
  // Plain digits, the invoice numbers and keys that pass through here all
  // the time: up to 15 of them are exact as a double, as the long way
  // reads them too.
  if (!text.empty() && text.size() <= 15 &&
      std::all_of(text.begin(), text.end(), [](char ch) { return ch >= '0' && ch <= '9'; })) {
    std::uint64_t n = 0;
    for (const char ch : text) n = n * 10 + static_cast<std::uint64_t>(ch - '0');
    return static_cast<double>(n);
  }
  const std::string_view trimmed = TrimBlanks(text);
  if (!trimmed.empty() && trimmed.front() == '&') return ParseRadix(trimmed);

  Cursor c(text);
  bool plus = false, minus = false, currency = false, parens = false, negative = false;
  bool point = false;
  for (;;) {
    const char32_t ch = c.peek();
    if (c.done()) break;
    if (IsBlank(ch)) {
      c.SkipBlanks();
      continue;
    }
    if (ch == ',') return std::nullopt;  // grouping before the first digit
    if (ch == '+' && !plus) {
      plus = true;
    } else if (ch == '-' && !minus) {
      minus = negative = true;
    } else if (ch == '$' && !currency) {
      currency = true;
    } else if (ch == '(' && !parens) {
      parens = true;
    } else if (ch == '.') {
      point = true;
      c.next();
      break;
    } else {
      break;
    }
    c.next();
  }

  std::string int_digits, frac_digits, exp_digits;
  bool exponent = false, exp_negative = false;
  while (!c.done()) {
    const char32_t ch = c.peek();
    if (IsDigit(ch)) {
      (point ? frac_digits : int_digits) += static_cast<char>(ch);
    } else if (ch == ',' && !point) {
      // grouping: the first digit came before (a leading ',' failed above)
    } else if (ch == '.' && !point) {
      point = true;
    } else if ((ch == 'e' || ch == 'E') && !exponent && !currency) {  // "$2e3" is no number
      exponent = true;
      c.next();
      if (c.peek() == '+' || c.peek() == '-') {
        exp_negative = c.peek() == '-';
        c.next();
      }
      while (!c.done() && IsDigit(c.peek())) {
        exp_digits += static_cast<char>(c.peek());
        c.next();
      }
      if (exp_digits.empty()) return std::nullopt;
      break;
    } else {
      break;
    }
    c.next();
  }

  bool trailing_plus = false, trailing_minus = false, closed = false;
  while (!c.done()) {
    const char32_t ch = c.peek();
    if (ch == ',' || IsBlank(ch) || ch == '$') {
      // grouping, blanks and currency signs may follow the number
    } else if (ch == '+' && !plus && !trailing_plus) {
      trailing_plus = true;
    } else if (ch == '-' && !minus && !trailing_minus) {
      trailing_minus = negative = true;
    } else if (ch == ')' && parens && !closed) {
      closed = negative = true;
    } else {
      return std::nullopt;
    }
    c.next();
  }
  if (parens && !closed) return std::nullopt;
  if (int_digits.empty() && frac_digits.empty()) return std::nullopt;

  std::string plain = (int_digits.empty() ? "0" : int_digits) + "." + frac_digits + "0";
  if (exponent) plain += (exp_negative ? "e-" : "e") + exp_digits;
  double v = 0;
  auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), v);
  if (ec == std::errc::result_out_of_range) {
    // Too large is an overflow for the caller to raise; too small is zero.
    v = LeadingExponent(int_digits, frac_digits, exp_digits, exp_negative) < 0 ? 0.0 : HUGE_VAL;
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

// One number or month name of a date text.
struct Item {
  bool month_name = false;
  std::uint32_t value = 0;  // the number, or the month of a name
  bool time_sep_after = false;  // followed by ':' or '.'
  int ampm = 0;  // 1 AM, 2 PM: the hour it follows
};

constexpr std::size_t kMaxItems = 6;
constexpr std::uint32_t kSaturated = 1000000000;

// Splits a date text into its items. Separators: ':' and '.' join the parts
// of a time (in the United States the point is no date separator); '/' and
// '-' (at most two) and blanks separate the parts of a date; ',' and weekday
// names are ignored; AM/PM (also A/P) marks the number before it.
bool Tokenize(std::string_view t, std::vector<Item>* items) {
  enum class Pending { kNone, kTime, kDate } pending = Pending::kNone;
  int date_seps = 0;
  char date_sep = 0;
  bool ampm_seen = false;
  Cursor c(t);
  while (!c.done()) {
    const char32_t ch = c.peek();
    if (IsBlank(ch) || ch == ',') {
      if (ch == ',' && pending != Pending::kNone) return false;
      c.next();
      continue;
    }
    if (IsDigit(ch)) {
      Item it;
      while (!c.done() && IsDigit(c.peek())) {
        const std::uint64_t v = std::uint64_t{it.value} * 10 + (c.peek() - '0');
        it.value = static_cast<std::uint32_t>(std::min<std::uint64_t>(v, kSaturated));
        c.next();
      }
      if (items->size() == kMaxItems) return false;
      items->push_back(it);
      pending = Pending::kNone;
      continue;
    }
    if (IsAlpha(ch)) {
      std::string word;
      while (!c.done() && IsAlpha(c.peek())) {
        word += Lower(c.peek());
        c.next();
      }
      if (word == "am" || word == "a" || word == "pm" || word == "p") {
        // After a number that no separator follows; once.
        if (ampm_seen || pending != Pending::kNone || items->empty() ||
            items->back().month_name) {
          return false;
        }
        ampm_seen = true;
        items->back().ampm = word[0] == 'a' ? 1 : 2;
        continue;
      }
      if (const int m = MatchName(word, kMonths, 12)) {
        if (pending == Pending::kTime || items->size() == kMaxItems) return false;
        Item it;
        it.month_name = true;
        it.value = static_cast<std::uint32_t>(m);
        items->push_back(it);
        pending = Pending::kNone;
        continue;
      }
      if (MatchName(word, kWeekdays, 7) && pending == Pending::kNone) continue;
      return false;
    }
    if (ch == ':' || ch == '.') {
      if (pending != Pending::kNone || items->empty() || items->back().month_name ||
          items->back().ampm) {
        return false;
      }
      items->back().time_sep_after = true;
      pending = Pending::kTime;
    } else if (ch == '/' || ch == '-') {
      if (pending != Pending::kNone || items->empty() || ++date_seps > 2) return false;
      if (date_sep && date_sep != static_cast<char>(ch)) return false;  // 3/15-2001
      date_sep = static_cast<char>(ch);
      pending = Pending::kDate;
    } else {
      return false;
    }
    c.next();
  }
  return pending == Pending::kNone;
}

bool ValidMonthDay(std::uint32_t day, std::uint32_t month, std::uint32_t year) {
  if (day == 0 || month == 0 || month > 12) return false;
  // A two-digit year is a leap year exactly when its full year is.
  return day <= static_cast<std::uint32_t>(DaysInMonth(static_cast<int>(year), static_cast<int>(month)));
}

// Two-digit years: 00-49 are 20xx, 50-99 19xx (the platform's window since
// Windows 10 1903); other values are the year itself.
int FullYear(std::uint32_t v) {
  if (v <= 49) return 2000 + static_cast<int>(v);
  if (v <= 99) return 1900 + static_cast<int>(v);
  return v > 99999 ? 99999 : static_cast<int>(v);
}

struct YearMonthDay {
  int year, month, day;
};

// The date of two or three date items. The platform tries the orders its
// settings allow in a fixed priority, first month/day/year; a month name
// fixes the month's place. Two numbers take this year; when they are no
// month and day they are month and year (or year and month) of its 1st.
std::optional<YearMonthDay> MakeDate(const std::vector<const Item*>& d, int current_year) {
  enum Order { kMDY, kYMD, kMYD, kYDM, kDMY };
  const std::uint32_t v1 = d[0]->value, v2 = d[1]->value;
  const std::uint32_t v3 = d.size() == 3 ? d[2]->value : static_cast<std::uint32_t>(current_year);
  std::vector<Order> orders;
  if (d[0]->month_name) {
    orders = {kMDY};
  } else if (d[1]->month_name) {
    // "15-Mar-01" is the 15th: day/month/year before year/month/day.
    orders = {kDMY};
    if (d.size() == 3) orders.push_back(kYMD);
  } else if (d.size() == 3 && d[2]->month_name) {
    orders = {kYDM};
  } else if (d.size() == 3) {
    orders = {kMDY, kYMD, kYDM, kDMY};
  } else {
    orders = {kMDY, kDMY};
  }
  auto attempt = [](Order o, std::uint32_t a, std::uint32_t b,
                    std::uint32_t c) -> std::optional<YearMonthDay> {
    std::uint32_t y = 0, m = 0, dd = 0;
    switch (o) {
      case kMDY: m = a; dd = b; y = c; break;
      case kYMD: y = a; m = b; dd = c; break;
      case kMYD: m = a; y = b; dd = c; break;
      case kYDM: y = a; dd = b; m = c; break;
      case kDMY: dd = a; m = b; y = c; break;
    }
    if (!ValidMonthDay(dd, m, y)) return std::nullopt;
    return YearMonthDay{FullYear(y), static_cast<int>(m), static_cast<int>(dd)};
  };
  for (Order o : orders) {
    if (auto r = attempt(o, v1, v2, v3)) return r;
  }
  if (d.size() == 2) {
    for (Order o : {kYMD, kMYD}) {
      if (auto r = attempt(o, v1, v2, 1)) return r;
    }
  }
  return std::nullopt;
}

}  // namespace

// The platform's VarDateFromStr under United States settings. Up to six
// items; a time is two or three numbers joined by ':' or '.' (h:m, h:m:s),
// or one number with AM/PM, and stands before or after the date; the date is
// two or three items (none when there is a time). AM/PM goes with the last
// number of the time; it is ignored above 12.
std::optional<double> ParseDate(std::string_view text, int current_year) {
  std::vector<Item> items;
  if (!text.empty() && text.back() == ',') return std::nullopt;  // a comma may not end it
  if (!Tokenize(TrimBlanks(text), &items) || items.empty()) return std::nullopt;
  int months = 0;
  for (const Item& it : items) months += it.month_name;
  if (months > 1) return std::nullopt;

  // Find the time: a run of items joined by time separators, or else the
  // one number with AM/PM.
  const std::size_t n = items.size();
  std::size_t time_begin = n, time_end = n;  // [begin, end)
  for (std::size_t i = 0; i < n;) {
    std::size_t j = i;
    while (j + 1 < n && items[j].time_sep_after) ++j;
    if (j > i) {
      if (time_begin != n) return std::nullopt;  // a second time
      time_begin = i;
      time_end = j + 1;
    }
    i = j + 1;
  }
  if (time_begin == n) {
    for (std::size_t i = 0; i < n; ++i) {
      if (items[i].ampm) {
        time_begin = i;
        time_end = i + 1;
      }
    }
  }
  const bool has_time = time_begin != n;
  if (has_time) {
    if (time_end - time_begin > 3) return std::nullopt;
    if (time_begin != 0 && time_end != n) return std::nullopt;  // between date parts
  }
  int ampm = 0;
  std::vector<const Item*> date;
  for (std::size_t i = 0; i < n; ++i) {
    const bool in_time = has_time && i >= time_begin && i < time_end;
    if (items[i].ampm) {
      if (!in_time || i + 1 != time_end) return std::nullopt;
      ampm = items[i].ampm;
    }
    if (!in_time) date.push_back(&items[i]);
  }
  if (!(date.size() == 2 || date.size() == 3 || (date.empty() && has_time))) return std::nullopt;

  DateTimeParts p;  // 12/30/1899 when there is no date
  if (has_time) {
    const std::uint32_t h = items[time_begin].value;
    const std::uint32_t m = time_end - time_begin > 1 ? items[time_begin + 1].value : 0;
    const std::uint32_t s = time_end - time_begin > 2 ? items[time_begin + 2].value : 0;
    if (h > 23 || m > 59 || s > 59) return std::nullopt;
    p.hour = static_cast<int>(h);
    p.minute = static_cast<int>(m);
    p.second = static_cast<int>(s);
    if (ampm == 2 && p.hour < 12) p.hour += 12;
    if (ampm == 1 && p.hour == 12) p.hour = 0;
  }
  if (!date.empty()) {
    const std::optional<YearMonthDay> ymd = MakeDate(date, current_year);
    if (!ymd) return std::nullopt;
    p.year = ymd->year;
    p.month = ymd->month;
    p.day = ymd->day;
  }
  return ToOleDate(p);
}

namespace {

int CurrentYear() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local.tm_year + 1900;
}

std::string Pad2(int v) {
  std::string out = std::to_string(v);
  if (v < 10) out.insert(out.begin(), '0');
  return out;
}

std::string Pad4(int v) {
  std::string s = std::to_string(v);
  return std::string(s.size() < 4 ? 4 - s.size() : 0, '0') + s;
}

}  // namespace

std::optional<double> ParseDate(std::string_view text) { return ParseDate(text, CurrentYear()); }

// VarBstrFromDate: only the time when the whole part is 0, only the date
// when there is no fraction, else both; the year as it is (1/1/100).
std::string FormatDate(double date) {
  const double whole = std::trunc(date);
  const bool time_only = whole == 0;
  const bool date_only = !time_only && std::fabs(date - whole) < 1e-12;
  const DateTimeParts p = FromOleDate(date);
  std::string out;
  if (!time_only) {
    out = std::to_string(p.month) + "/" + std::to_string(p.day) + "/" + std::to_string(p.year);
    if (date_only) return out;
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
    out.append(" ").append(Pad2(p.hour)).append(":").append(Pad2(p.minute)).append(":").append(Pad2(p.second));
  }
  return out;
}

std::optional<double> ParseIsoDate(std::string_view text) {
  std::string_view t = TrimBlanks(text);
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

// VarBstrFromR4 / VarBstrFromR8: the value rounded to `precision`
// significant digits from its exact binary value, a tie rounding away from
// zero (a Single holding 654322.25 shows 654322.3), trailing zeros dropped.
// Exponent form (1E+15, 5.6789E-12, two exponent digits at least) when the
// number is at least 10^precision, or when it is below 1 and its digits
// would not all fit in `precision` decimal places.
std::string FormatReal(double v, int precision) {
  if (v == 0) return "0";  // also -0
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v < 0 ? "-1.#INF" : "1.#INF";
  const bool negative = v < 0;
  // Digits and decimal exponent of a text in scientific form.
  auto split = [](const char* begin, const char* end, std::string& digits, int& exponent) {
    const std::string_view sci(begin, static_cast<std::size_t>(end - begin));
    const std::size_t e_pos = sci.find('e');
    std::from_chars(sci.data() + e_pos + (sci[e_pos + 1] == '+' ? 2 : 1), end, exponent);
    for (char ch : sci.substr(0, e_pos)) {
      if (ch != '.') digits += ch;
    }
  };
  std::string digits;
  int exponent = 0;
  // Most values are short decimals (2, 3.5, 0.1). When the shortest text
  // that reads back as this double has at most `precision` digits, those
  // are its rounded digits: the double lies within half a unit of its own
  // last bit of that decimal, far inside half a unit of the decimal's last
  // digit (precision is 15 at most), so no tie or carry can differ.
  char shortest[40];
  auto [s_end, s_ec] = std::to_chars(shortest, shortest + sizeof shortest, std::fabs(v),
                                     std::chars_format::scientific);
  if (s_ec == std::errc()) split(shortest, s_end, digits, exponent);
  if (s_ec != std::errc() || static_cast<int>(digits.size()) > precision) {
    digits.clear();
    // Every digit of the binary value: a double has at most 767 significant.
    char buf[800];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, std::fabs(v),
                                   std::chars_format::scientific, 770);
    if (ec != std::errc()) return "0";
    split(buf, end, digits, exponent);
  }
  const bool round_up = static_cast<int>(digits.size()) > precision &&
                        digits[static_cast<std::size_t>(precision)] >= '5';
  if (static_cast<int>(digits.size()) > precision) digits.resize(static_cast<std::size_t>(precision));
  if (round_up) {
    std::size_t k = digits.size();
    while (k > 0 && digits[k - 1] == '9') digits[--k] = '0';
    if (k == 0) {
      digits.insert(digits.begin(), '1');
      digits.pop_back();
      ++exponent;
    } else {
      ++digits[k - 1];
    }
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  const int n = static_cast<int>(digits.size());

  std::string out = negative ? "-" : "";
  if (exponent >= precision || (exponent < 0 && n - 1 - exponent > precision)) {
    out += digits[0];
    if (n > 1) out.append(".").append(digits, 1);
    const int mag = exponent < 0 ? -exponent : exponent;
    out += exponent < 0 ? "E-" : "E+";
    if (mag < 10) out += '0';
    out += std::to_string(mag);
  } else if (exponent < 0) {
    out += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
  } else {
    const auto whole = static_cast<std::size_t>(exponent + 1);
    if (digits.size() <= whole) {
      out += digits + std::string(whole - digits.size(), '0');
    } else {
      out += digits.substr(0, whole) + "." + digits.substr(whole);
    }
  }
  return out;
}

}  // namespace

std::string FormatSingle(float v) { return FormatReal(v, 7); }
std::string FormatDouble(double v) { return FormatReal(v, 15); }

double Today() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return *ToOleDate({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, 0, 0, 0});
}

}  // namespace tarvik::regional
