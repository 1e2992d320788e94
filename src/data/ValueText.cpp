#include "data/ValueText.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace {

std::string_view TrimXmlSpace(std::string_view text) {
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  while (!text.empty() && space(text.front())) text.remove_prefix(1);
  while (!text.empty() && space(text.back())) text.remove_suffix(1);
  return text;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<uint64_t> ParseXmlUnsigned(std::string_view text) {
  text = TrimXmlSpace(text);
  if (text.starts_with('+')) text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  uint64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const uint64_t digit = static_cast<uint64_t>(c - '0');
    if (value > (std::numeric_limits<uint64_t>::max() - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

std::optional<int64_t> ParseXmlInteger(std::string_view text, int64_t min, int64_t max) {
  text = TrimXmlSpace(text);
  const bool negative = text.starts_with('-');
  if (negative)
    text.remove_prefix(1);
  else if (text.starts_with('+'))
    text.remove_prefix(1);
  if (text.empty() || text.front() == '+' || text.front() == '-') return std::nullopt;
  const auto magnitude = ParseXmlUnsigned(text);
  if (!magnitude) return std::nullopt;
  if (negative) {
    if (*magnitude > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) + 1) return std::nullopt;
    const int64_t value = static_cast<int64_t>(0 - *magnitude);
    return value < min ? std::nullopt : std::optional<int64_t>(value);
  }
  if (*magnitude > static_cast<uint64_t>(max)) return std::nullopt;
  return static_cast<int64_t>(*magnitude);
}

std::optional<double> ParseXmlFloat(std::string_view text) {
  text = TrimXmlSpace(text);
  if (EqualsIgnoringCase(text, "INF") || EqualsIgnoringCase(text, "+INF"))
    return std::numeric_limits<double>::infinity();
  if (EqualsIgnoringCase(text, "-INF")) return -std::numeric_limits<double>::infinity();
  if (EqualsIgnoringCase(text, "NaN")) return std::numeric_limits<double>::quiet_NaN();
  if (text.starts_with('+')) text.remove_prefix(1);
  // Only the grammar above: from_chars alone would also take "inf", "nan" and hex forms.
  size_t i = text.starts_with('-') ? 1 : 0;
  size_t digits = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t exponentDigits = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++exponentDigits;
    if (exponentDigits == 0) return std::nullopt;
  }
  if (i != text.size()) return std::nullopt;
  double value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    // Overflow gives infinity, underflow zero, as a C parser would.
    return text.find_first_of("eE") != std::string_view::npos && text[text.find_first_of("eE") + 1] == '-'
               ? 0.0
               : (text.starts_with('-') ? -std::numeric_limits<double>::infinity()
                                        : std::numeric_limits<double>::infinity());
  }
  if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<std::string> NormalizeDecimal(std::string_view text, int scale) {
  text = TrimXmlSpace(text);
  bool negative = false;
  if (text.starts_with('-') || text.starts_with('+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  std::string digits;
  int pointAt = -1;
  size_t i = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9')
      digits += c;
    else if (c == '.' && pointAt < 0)
      pointAt = static_cast<int>(digits.size());
    else
      break;
  }
  if (digits.empty()) return std::nullopt;
  int exponent = 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    const auto parsed = ParseXmlInteger(text.substr(i + 1), -400, 400);
    if (!parsed) return std::nullopt;
    exponent = static_cast<int>(*parsed);
    i = text.size();
  }
  if (i != text.size()) return std::nullopt;
  // digits hold the value times 10^(fraction digits); position the point at scale.
  int fractionDigits = (pointAt < 0 ? 0 : static_cast<int>(digits.size()) - pointAt) - exponent;
  if (fractionDigits < scale) {
    digits.append(static_cast<size_t>(scale - fractionDigits), '0');
  } else if (fractionDigits > scale) {
    const size_t keep = digits.size() > static_cast<size_t>(fractionDigits - scale)
                            ? digits.size() - static_cast<size_t>(fractionDigits - scale)
                            : 0;
    const bool roundUp = keep < digits.size() && digits[keep] >= '5';
    digits.resize(keep);
    if (roundUp) {
      size_t k = digits.size();
      while (k > 0 && digits[k - 1] == '9') digits[--k] = '0';
      if (k == 0)
        digits.insert(digits.begin(), '1');
      else
        ++digits[k - 1];
    }
  }
  while (digits.size() < static_cast<size_t>(scale) + 1) digits.insert(digits.begin(), '0');
  const size_t integerDigits = digits.size() - static_cast<size_t>(scale);
  size_t firstNonZero = 0;
  while (firstNonZero + 1 < integerDigits && digits[firstNonZero] == '0') ++firstNonZero;
  std::string result = digits.substr(firstNonZero, integerDigits - firstNonZero);
  if (scale > 0) result += "." + digits.substr(integerDigits);
  const bool zero = result.find_first_not_of("0.") == std::string::npos;
  return negative && !zero ? "-" + result : result;
}

std::optional<bool> ParseXmlBoolean(std::string_view text) {
  text = TrimXmlSpace(text);
  if (EqualsIgnoringCase(text, "true") || text == "1" || text == "-1") return true;
  if (EqualsIgnoringCase(text, "false") || text == "0") return false;
  return std::nullopt;
}

std::optional<std::string> ParseHex(std::string_view text) {
  if (text.size() % 2 != 0) return std::nullopt;
  std::string bytes(text.size() / 2, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) {
    const int high = HexValue(text[2 * i]), low = HexValue(text[2 * i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes[i] = static_cast<char>(high << 4 | low);
  }
  return bytes;
}

std::optional<std::string> ParseBase64(std::string_view text) {
  std::string bytes;
  uint32_t bits = 0;
  int count = 0, padding = 0;
  for (const char c : text) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
    int value;
    if (c >= 'A' && c <= 'Z')
      value = c - 'A';
    else if (c >= 'a' && c <= 'z')
      value = c - 'a' + 26;
    else if (c >= '0' && c <= '9')
      value = c - '0' + 52;
    else if (c == '+')
      value = 62;
    else if (c == '/')
      value = 63;
    else if (c == '=') {
      ++padding;
      continue;
    } else
      return std::nullopt;
    if (padding > 0) return std::nullopt;
    bits = bits << 6 | static_cast<uint32_t>(value);
    if (++count == 4) {
      bytes += static_cast<char>(bits >> 16);
      bytes += static_cast<char>(bits >> 8);
      bytes += static_cast<char>(bits);
      bits = 0;
      count = 0;
    }
  }
  if (count == 1 || padding > 2) return std::nullopt;
  if (count == 2) bytes += static_cast<char>(bits >> 4);
  if (count == 3) {
    bytes += static_cast<char>(bits >> 10);
    bytes += static_cast<char>(bits >> 2);
  }
  return bytes;
}

std::string FloatToText(double value) {
  char text[32];
  const auto result = std::to_chars(text, text + sizeof text, value);
  std::string out(text, result.ptr);
  for (char& c : out)
    if (c == 'e') c = 'E';
  return out;
}

std::string CurrencyToText(int64_t scaled) {
  const bool negative = scaled < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(scaled) : static_cast<uint64_t>(scaled);
  std::string out = (negative ? "-" : "") + std::to_string(magnitude / 10000);
  uint64_t fraction = magnitude % 10000;
  if (fraction != 0) {
    std::string digits = std::to_string(fraction);
    digits.insert(0, 4 - digits.size(), '0');
    while (digits.back() == '0') digits.pop_back();
    out += "." + digits;
  }
  return out;
}

std::string HexOf(std::string_view bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out(bytes.size() * 2, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto b = static_cast<uint8_t>(bytes[i]);
    out[2 * i] = digits[b >> 4];
    out[2 * i + 1] = digits[b & 15];
  }
  return out;
}

size_t Utf16Length(std::string_view utf8) {
  size_t units = 0;
  for (const char c : utf8) {
    const auto b = static_cast<uint8_t>(c);
    if ((b & 0xC0) != 0x80) units += b >= 0xF0 ? 2 : 1;  // a four-byte character is a surrogate pair
  }
  return units;
}
