#include "platform/Format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "platform/Exceptions.h"

namespace {

class TFormatter {
 public:
  TFormatter(std::string_view format, std::span<const TVarRec> args) : FFormat(format), FArgs(args) {}

  std::string Run() {
    std::string out;
    out.reserve(FFormat.size() + 16 * FArgs.size());
    while (FPos < FFormat.size()) {
      const size_t percent = FFormat.find('%', FPos);
      if (percent == std::string_view::npos) {
        out.append(FFormat.substr(FPos));
        break;
      }
      out.append(FFormat.substr(FPos, percent - FPos));
      FPos = percent + 1;
      Directive(out);
    }
    return out;
  }

 private:
  [[noreturn]] void Fail() const {
    throw EConvertError("Format '" + std::string(FFormat) + "' invalid or incompatible with argument");
  }

  char Peek() const { return FPos < FFormat.size() ? FFormat[FPos] : '\0'; }

  const TVarRec& NextArg() {
    if (FArgIndex >= FArgs.size()) Fail();
    return FArgs[FArgIndex++];
  }

  // A run of digits, or "*" for the next argument's integer value.
  std::optional<int64_t> Number() {
    if (Peek() == '*') {
      ++FPos;
      const TVarRec& arg = NextArg();
      if (arg.Kind != TVarRec::TKind::Integer) Fail();
      return arg.IntegerValue;
    }
    if (Peek() < '0' || Peek() > '9') return std::nullopt;
    int64_t value = 0;
    while (Peek() >= '0' && Peek() <= '9') {
      value = value * 10 + (FFormat[FPos++] - '0');
      if (value > 1'000'000) Fail();
    }
    return value;
  }

  void Directive(std::string& out) {
    if (Peek() == '%') {
      ++FPos;
      out += '%';
      return;
    }
    std::optional<int64_t> number = Number();
    if (number && Peek() == ':') {
      ++FPos;
      if (*number < 0) Fail();
      FArgIndex = static_cast<size_t>(*number);
      number.reset();
    }
    bool leftAlign = false;
    if (!number) {
      if (Peek() == '-') {
        leftAlign = true;
        ++FPos;
      }
      number = Number();
    }
    const int64_t width = number.value_or(0);
    std::optional<int64_t> precision;
    if (Peek() == '.') {
      ++FPos;
      precision = Number().value_or(0);
    }
    if (FPos >= FFormat.size()) Fail();
    const char type = static_cast<char>(FFormat[FPos++] | 0x20);  // directives ignore case

    std::string text = Convert(type, NextArg(), precision);
    if (width > static_cast<int64_t>(text.size())) {
      const std::string padding(static_cast<size_t>(width) - text.size(), ' ');
      text = leftAlign ? text + padding : padding + text;
    }
    out += text;
  }

  std::string Convert(char type, const TVarRec& arg, std::optional<int64_t> precision) {
    const bool integer = arg.Kind == TVarRec::TKind::Integer || arg.Kind == TVarRec::TKind::Int64;
    switch (type) {
      case 'd':
        if (!integer) Fail();
        return Digits(arg.IntegerValue < 0, Magnitude(arg.IntegerValue), 10, precision);
      case 'u':
        if (!integer) Fail();
        return Digits(false, Unsigned(arg), 10, precision);
      case 'x':
        if (!integer) Fail();
        return Digits(false, Unsigned(arg), 16, precision);
      case 'e':
      case 'f':
      case 'g':
      case 'n':
        if (arg.Kind != TVarRec::TKind::Extended) Fail();
        return Float(type, arg.FloatValue, precision);
      case 's':
        if (arg.Kind != TVarRec::TKind::String) Fail();
        if (precision && *precision < static_cast<int64_t>(arg.StringValue.size()))
          return arg.StringValue.substr(0, static_cast<size_t>(*precision));
        return arg.StringValue;
      default: Fail();
    }
  }

  static uint64_t Magnitude(int64_t value) {
    return value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  }

  // A 32-bit argument counts as unsigned 32 bits, a 64-bit one as unsigned 64 bits.
  static uint64_t Unsigned(const TVarRec& arg) {
    if (arg.Kind == TVarRec::TKind::Integer) return static_cast<uint32_t>(arg.IntegerValue);
    return static_cast<uint64_t>(arg.IntegerValue);
  }

  // The precision of an integer directive is its minimum number of digits.
  static std::string Digits(bool negative, uint64_t magnitude, unsigned base, std::optional<int64_t> precision) {
    char buffer[24];
    char* end = buffer + sizeof buffer;
    char* p = end;
    do {
      *--p = "0123456789ABCDEF"[magnitude % base];
      magnitude /= base;
    } while (magnitude != 0);
    std::string digits(p, end);
    if (precision && *precision > static_cast<int64_t>(digits.size()))
      digits.insert(0, static_cast<size_t>(*precision) - digits.size(), '0');
    return negative ? "-" + digits : digits;
  }

  static std::string Float(char type, double value, std::optional<int64_t> precision) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    char buffer[400];
    switch (type) {
      case 'f':
      case 'n': {
        const int digits = static_cast<int>(std::min<int64_t>(precision.value_or(2), 18));
        std::snprintf(buffer, sizeof buffer, "%.*f", digits, value);
        return type == 'n' ? GroupThousands(buffer) : buffer;
      }
      case 'e': {
        // Precision counts significant digits; the exponent has at least three digits.
        const int digits = static_cast<int>(std::clamp<int64_t>(precision.value_or(15), 1, 18));
        std::snprintf(buffer, sizeof buffer, "%.*E", digits - 1, value);
        return WidenExponent(buffer);
      }
      default: {
        const int digits = static_cast<int>(std::clamp<int64_t>(precision.value_or(15), 1, 18));
        std::snprintf(buffer, sizeof buffer, "%.*G", digits, value);
        return buffer;
      }
    }
  }

  static std::string WidenExponent(std::string text) {
    const size_t e = text.find('E');
    if (e == std::string::npos || e + 2 > text.size()) return text;
    const size_t digitsAt = e + 2;
    const size_t count = text.size() - digitsAt;
    if (count < 3) text.insert(digitsAt, 3 - count, '0');
    return text;
  }

  static std::string GroupThousands(std::string_view fixed) {
    const size_t sign = fixed.starts_with('-') ? 1 : 0;
    const size_t point = std::min(fixed.find('.'), fixed.size());
    std::string out(fixed.substr(0, sign));
    for (size_t i = sign; i < point; ++i) {
      out += fixed[i];
      const size_t remaining = point - i - 1;
      if (remaining > 0 && remaining % 3 == 0) out += ',';
    }
    out.append(fixed.substr(point));
    return out;
  }

  std::string_view FFormat;
  std::span<const TVarRec> FArgs;
  size_t FPos = 0;
  size_t FArgIndex = 0;
};

}  // namespace

std::string Format(std::string_view format, std::span<const TVarRec> args) { return TFormatter(format, args).Run(); }
