// The platform's Format over a typed argument list: "%" [index ":"] ["-"] [width] ["." prec]
// type, where index, width and precision may be "*" (taken from the next argument).
// Types: d (decimal), u (unsigned), x (upper-case hex), e (scientific), f (fixed), g (general),
// n (fixed with thousands separators), s (text), and "%%" for one "%". A directive whose
// argument is missing or of another kind raises EConvertError
// "Format '<format>' invalid or incompatible with argument".
#pragma once

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

// One typed value of a Format argument list.
class TVarRec {
 public:
  enum class TKind { Integer, Int64, Extended, String, Boolean };

  TVarRec(bool value) : Kind(TKind::Boolean), IntegerValue(value) {}
  template <std::integral T>
  requires(!std::same_as<T, bool>) TVarRec(T value)
      : Kind(FitsInteger(value) ? TKind::Integer : TKind::Int64), IntegerValue(static_cast<int64_t>(value)) {}
  template <std::floating_point T>
  TVarRec(T value) : Kind(TKind::Extended), FloatValue(static_cast<double>(value)) {}
  TVarRec(const char* value) : Kind(TKind::String), StringValue(value) {}
  TVarRec(std::string_view value) : Kind(TKind::String), StringValue(value) {}
  TVarRec(const std::string& value) : Kind(TKind::String), StringValue(value) {}

  TKind Kind;
  int64_t IntegerValue = 0;
  double FloatValue = 0;
  std::string StringValue;

 private:
  template <typename T>
  static constexpr bool FitsInteger(T value) {
    if constexpr (std::is_signed_v<T>)
      return value >= INT32_MIN && value <= INT32_MAX;
    else
      return value <= static_cast<uint64_t>(INT32_MAX);
  }
};

std::string Format(std::string_view format, std::span<const TVarRec> args);
inline std::string Format(std::string_view format, std::initializer_list<TVarRec> args) {
  return Format(format, std::span<const TVarRec>(args.begin(), args.size()));
}
