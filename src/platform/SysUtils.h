// Text and number conversions after the desktop class library, for UTF-8 strings whose
// "characters" in these rules are bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The platform's integer rules: optional leading blanks, an optional sign, then decimal digits,
// or "$" / "0x" / "0X" followed by hexadecimal digits. Nothing may follow the digits. Decimal
// values must fit a signed 32-bit integer; hexadecimal ones may use all 32 bits ("$FFFFFFFF"
// is -1).
std::optional<int32_t> TryStrToInt(std::string_view text);
// Raises EConvertError "'%s' is not a valid integer value".
int32_t StrToInt(std::string_view text);
int32_t StrToIntDef(std::string_view text, int32_t defaultValue);
std::string IntToStr(int64_t value);

// Removes leading and trailing blanks and control characters (bytes 0 to 32).
std::string Trim(std::string_view text);
// ASCII case-insensitive comparison, as section and key names are compared.
bool SameText(std::string_view a, std::string_view b);
