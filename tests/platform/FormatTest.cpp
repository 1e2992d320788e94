#include "platform/Format.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/Exceptions.h"

namespace {

struct FormatCase {
  const char* format;
  std::vector<TVarRec> args;
  const char* expected;
};

TEST(Format, FormatsEachDirective) {
  const std::vector<FormatCase> cases = {
      {"Select * from %s ", {"ReportType"}, "Select * from ReportType "},
      {" where %s=%d", {"ID", 5}, " where ID=5"},
      {"%d", {-42}, "-42"},
      {"%d", {int64_t{1} << 40}, "1099511627776"},
      {"%5d|%-5d|%.3d", {7, 7, 7}, "    7|7    |007"},
      {"%.3d", {-7}, "-007"},
      {"%u", {-1}, "4294967295"},
      {"%x %X", {255, 255}, "FF FF"},
      {"%.4x", {26}, "001A"},
      {"%x", {-1}, "FFFFFFFF"},
      {"%f", {2.5}, "2.50"},
      {"%.1f", {2.26}, "2.3"},
      {"%.0f", {-3.0}, "-3"},
      {"%n", {1234567.891}, "1,234,567.89"},
      {"%e", {1234.5}, "1.23450000000000E+003"},
      {"%.3e", {-0.000123}, "-1.23E-004"},
      {"%g", {0.5}, "0.5"},
      {"%s|%.2s|%6s|%-6s|", {"abc", "abc", "abc", "abc"}, "abc|ab|   abc|abc   |"},
      {"%d.%d.%d.%d", {127, 0, 0, 1}, "127.0.0.1"},
      {"%1:s %0:s %s", {"a", "b"}, "b a b"},
      {"%*d|%-*s|%.*s", {4, 1, 3, "x", 1, "yz"}, "   1|x  |y"},
      {"select 5%%3", {}, "select 5%3"},
      {"100%%", {}, "100%"},
      {"no directives", {}, "no directives"},
      {"%s", {"宋体"}, "宋体"},
      {"%S and %D", {"upper", 3}, "upper and 3"},
  };
  for (const FormatCase& c : cases) {
    EXPECT_EQ(Format(c.format, c.args), c.expected) << "format: " << c.format;
  }
}

TEST(Format, RefusesDirectivesWithoutAMatchingArgument) {
  const std::vector<FormatCase> refused = {
      {"select 5%3", {}, nullptr},    // "%3" without a type and without an argument
      {"%s", {}, nullptr},            // missing argument
      {"%s %s", {"a"}, nullptr},      // second one missing
      {"%d", {"5"}, nullptr},         // text for an integer
      {"%s", {5}, nullptr},           // integer for a text
      {"%f", {5}, nullptr},           // integer for a float
      {"%d", {2.5}, nullptr},         // float for an integer
      {"%d", {true}, nullptr},        // booleans fit no directive
      {"%q", {1}, nullptr},           // unknown type
      {"trailing %", {}, nullptr},    // directive cut off
      {"%5", {1}, nullptr},           // width without a type
      {"%2:s", {"a", "b"}, nullptr},  // index past the arguments
      {"%*d", {"x", 1}, nullptr},     // "*" needs an integer
  };
  for (const FormatCase& c : refused) {
    try {
      Format(c.format, c.args);
      ADD_FAILURE() << "accepted: " << c.format;
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message, std::string("Format '") + c.format + "' invalid or incompatible with argument");
    }
  }
}

}  // namespace
