#include "platform/SysUtils.h"

#include <gtest/gtest.h>

#include "platform/Exceptions.h"

namespace {

TEST(SysUtils, StrToIntDefFollowsThePlatformRules) {
  const struct {
    const char* text;
    int32_t expected;
  } cases[] = {
      {"211", 211},
      {"  8080", 8080},
      {"+12", 12},
      {"-12", -12},
      {"007", 7},
      {"$1F", 31},
      {"0x1f", 31},
      {"0X10", 16},
      {"-$10", -16},
      {"$FFFFFFFF", -1},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      // Everything below falls back to the default.
      {"", -99},
      {"   ", -99},
      {"80a", -99},
      {"8080 ", -99},
      {"abc", -99},
      {"+", -99},
      {"$", -99},
      {"0x", -99},
      {"$1G", -99},
      {"2147483648", -99},
      {"-2147483649", -99},
      {"$100000000", -99},
      {"\t5", -99},
      {"1 2", -99},
      {"1.5", -99},
  };
  for (const auto& c : cases) EXPECT_EQ(StrToIntDef(c.text, -99), c.expected) << "text: '" << c.text << "'";
}

TEST(SysUtils, StrToIntNamesTheTextItRefuses) {
  EXPECT_EQ(StrToInt(" -5"), -5);
  try {
    StrToInt("abc");
    FAIL() << "accepted abc";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message, "'abc' is not a valid integer value");
  }
}

TEST(SysUtils, TrimAndSameText) {
  EXPECT_EQ(Trim("  db01 \t\r\n"), "db01");
  EXPECT_EQ(Trim("\x01 a b \x1f"), "a b");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim("中文 "), "中文");
  EXPECT_TRUE(SameText("ServerConfig", "SERVERconfig"));
  EXPECT_FALSE(SameText("Port", "Ports"));
  EXPECT_EQ(IntToStr(INT64_MIN), "-9223372036854775808");
}

}  // namespace
