#include "data/DateTime.h"

#include <cmath>
#include <cstdio>

namespace {

// Days from 1970-01-01 for a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (month <= 2));
}

constexpr int64_t kEpochOffsetDays = 25569;  // 1970-01-01 minus 1899-12-30
constexpr int64_t kMsPerDay = 86400000;

struct TCursor {
  std::string_view Text;
  size_t At = 0;
  bool Done() const { return At == Text.size(); }
  char Peek() const { return At < Text.size() ? Text[At] : '\0'; }
  bool Take(char c) {
    if (Peek() != c) return false;
    ++At;
    return true;
  }
  // Exactly count decimal digits.
  std::optional<int> Digits(int count) {
    int value = 0;
    for (int i = 0; i < count; ++i) {
      const char c = Peek();
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + (c - '0');
      ++At;
    }
    return value;
  }
};

// hh:mm[:ss[.f...]] into milliseconds of the day (24:00:00 not allowed).
std::optional<int64_t> ParseClock(TCursor& c) {
  const auto hour = c.Digits(2);
  if (!hour || !c.Take(':')) return std::nullopt;
  const auto minute = c.Digits(2);
  if (!minute || *hour > 23 || *minute > 59) return std::nullopt;
  int64_t ms = (*hour * 60 + *minute) * 60000;
  if (c.Take(':')) {
    const auto second = c.Digits(2);
    if (!second || *second > 59) return std::nullopt;
    ms += *second * 1000;
    if (c.Take('.')) {
      // Up to 9 fraction digits, rounded half up to the millisecond.
      int64_t nanos = 0;
      int digits = 0;
      while (c.Peek() >= '0' && c.Peek() <= '9') {
        if (++digits > 9) return std::nullopt;
        nanos = nanos * 10 + (c.Text[c.At++] - '0');
      }
      if (digits == 0) return std::nullopt;
      for (int i = digits; i < 9; ++i) nanos *= 10;
      ms += (nanos + 500000) / 1000000;
    }
  }
  // An optional zone designator, dropped without conversion.
  if (c.Take('Z')) return ms;
  if (c.Peek() == '+' || c.Peek() == '-') {
    ++c.At;
    const auto zoneHour = c.Digits(2);
    if (!zoneHour || !c.Take(':') || !c.Digits(2)) return std::nullopt;
  }
  return ms;
}

}  // namespace

bool IsValidDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= days[month - 1] + (month == 2 && leap ? 1 : 0);
}

double EncodeDateTime(const TDateTimeParts& p) {
  const int64_t days =
      DaysFromCivil(p.Year, static_cast<unsigned>(p.Month), static_cast<unsigned>(p.Day)) + kEpochOffsetDays;
  const int64_t ms = ((p.Hour * 60 + p.Minute) * 60 + p.Second) * 1000 + p.Millisecond;
  // Before the epoch the time of day still counts forwards from midnight (the platform's
  // convention): -1.25 is 1899-12-29 06:00.
  const double fraction = static_cast<double>(ms) / kMsPerDay;
  return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}

TDateTimeParts DecodeDateTime(double value) {
  double whole = std::trunc(value);
  int64_t ms = std::llround(std::fabs(value - whole) * kMsPerDay);
  if (ms >= kMsPerDay) {
    ms -= kMsPerDay;
    whole += value >= 0 ? 1 : -1;
  }
  TDateTimeParts p;
  CivilFromDays(static_cast<int64_t>(whole) - kEpochOffsetDays, p.Year, p.Month, p.Day);
  p.Hour = static_cast<int>(ms / 3600000);
  p.Minute = static_cast<int>(ms / 60000 % 60);
  p.Second = static_cast<int>(ms / 1000 % 60);
  p.Millisecond = static_cast<int>(ms % 1000);
  return p;
}

std::string DateToText(double value) {
  const TDateTimeParts p = DecodeDateTime(value);
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", p.Year, p.Month, p.Day);
  return text;
}

std::string TimeToText(double value) {
  const TDateTimeParts p = DecodeDateTime(value);
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", p.Hour, p.Minute, p.Second);
  return text;
}

TIsoForm IsoFormOf(TFieldType type) {
  return type == ftDate ? TIsoForm::Date : type == ftTime ? TIsoForm::Time : TIsoForm::DateTime;
}

std::string IsoDateTimeText(double value, TIsoForm form, bool alwaysMilliseconds) {
  const TDateTimeParts p = DecodeDateTime(value);
  char text[40];
  if (form == TIsoForm::Date) {
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", p.Year, p.Month, p.Day);
    return text;
  }
  int n = form == TIsoForm::Time ? std::snprintf(text, sizeof text, "%02d:%02d:%02d", p.Hour, p.Minute, p.Second)
                                 : std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", p.Year, p.Month,
                                                 p.Day, p.Hour, p.Minute, p.Second);
  if (alwaysMilliseconds || p.Millisecond != 0)
    std::snprintf(text + n, sizeof text - static_cast<size_t>(n), ".%03d", p.Millisecond);
  return text;
}

std::string DateTimeToText(double value) { return DateToText(value) + " " + TimeToText(value); }

std::optional<double> ParseDateTimeText(std::string_view text) {
  TCursor c{text};
  TDateTimeParts parts;
  if (text.size() >= 5 && text[2] == ':') {  // a time alone
    const auto ms = ParseClock(c);
    if (!ms || !c.Done()) return std::nullopt;
    return static_cast<double>(*ms) / kMsPerDay;
  }
  const auto year = c.Digits(4);
  if (!year || !c.Take('-')) return std::nullopt;
  const auto month = c.Digits(2);
  if (!month || !c.Take('-')) return std::nullopt;
  const auto day = c.Digits(2);
  if (!day || !IsValidDate(*year, *month, *day)) return std::nullopt;
  parts.Year = *year, parts.Month = *month, parts.Day = *day;
  int64_t ms = 0;
  if (!c.Done()) {
    if (!c.Take('T') && !c.Take(' ')) return std::nullopt;
    const auto clock = ParseClock(c);
    if (!clock || !c.Done()) return std::nullopt;
    ms = *clock;
  }
  // A fraction may round up into the next day.
  const int64_t extraDays = ms / kMsPerDay;
  ms %= kMsPerDay;
  parts.Hour = static_cast<int>(ms / 3600000);
  parts.Minute = static_cast<int>(ms / 60000 % 60);
  parts.Second = static_cast<int>(ms / 1000 % 60);
  parts.Millisecond = static_cast<int>(ms % 1000);
  double value = EncodeDateTime(parts);
  if (extraDays > 0) value += static_cast<double>(extraDays);
  return value;
}
