// Text forms of values: the locale-independent forms of the XML rowset format (parsed with
// the C locale's rules whatever the process's locale) and the shared helpers for decimals,
// floats and hexadecimal bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Optional sign and decimal digits, XML white space around them trimmed; within [min, max].
std::optional<int64_t> ParseXmlInteger(std::string_view text, int64_t min, int64_t max);
// As above for unsigned 64-bit values ("ui8").
std::optional<uint64_t> ParseXmlUnsigned(std::string_view text);
// [+-]? (digits [. digits?] | . digits) ([eE][+-]?digits)?, or INF, -INF, NaN in any case.
std::optional<double> ParseXmlFloat(std::string_view text);
// A plain or exponent decimal rounded half away from zero to scale fraction digits, written
// back plainly ("-12.50" for scale 2); nullopt when it is no decimal.
std::optional<std::string> NormalizeDecimal(std::string_view text, int scale);
// True, False (any case), 1, 0, -1.
std::optional<bool> ParseXmlBoolean(std::string_view text);
std::optional<std::string> ParseHex(std::string_view text);
std::optional<std::string> ParseBase64(std::string_view text);

// The shortest text that reads back to the same double, with '.' and an upper-case 'E'.
std::string FloatToText(double value);
// A currency value (scaled by 10 000) as a plain decimal without trailing fraction zeros.
std::string CurrencyToText(int64_t scaled);
// Bytes as lower-case hexadecimal digits.
std::string HexOf(std::string_view bytes);
// The number of UTF-16 code units of a UTF-8 text.
size_t Utf16Length(std::string_view utf8);
