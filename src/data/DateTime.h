// Date-time values as the platform keeps them: days since 1899-12-30 in a double, the fraction
// being the time of day. Conversions round to the nearest millisecond.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "data/FieldTypes.h"

struct TDateTimeParts {
  int Year = 1899, Month = 12, Day = 30;
  int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

double EncodeDateTime(const TDateTimeParts& parts);
TDateTimeParts DecodeDateTime(double value);
bool IsValidDate(int year, int month, int day);

// Display and SQL text forms: "YYYY-MM-DD", "HH:MM:SS", "YYYY-MM-DD HH:MM:SS".
std::string DateToText(double value);
std::string TimeToText(double value);
std::string DateTimeToText(double value);
enum class TIsoForm { Date, Time, DateTime };
// The form of a field type: ftDate, ftTime, anything else as a date-time.
TIsoForm IsoFormOf(TFieldType type);
// "YYYY-MM-DD", "hh:mm:ss" or "YYYY-MM-DDThh:mm:ss", with ".fff" when the milliseconds are not
// zero, or always when alwaysMilliseconds is set.
std::string IsoDateTimeText(double value, TIsoForm form, bool alwaysMilliseconds);
// Accepts "YYYY-MM-DD", "YYYY-MM-DD[T| ]hh:mm[:ss[.f...]]" with an optional zone (dropped) and
// "hh:mm[:ss[.f...]]"; fractions are rounded to milliseconds. Nothing else.
std::optional<double> ParseDateTimeText(std::string_view text);
