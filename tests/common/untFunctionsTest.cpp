#include "common/untFunctions.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/Dialogs.h"
#include "platform/Exceptions.h"

namespace {

TEST(untFunctions, IsIPv4Address) {
  const struct {
    const char* text;
    bool expected;
  } cases[] = {
      {"192.168.0.1", true},
      {"255.255.255.255", true},
      {"0.0.0.0", true},
      {"010.001.000.255", true},
      {"256.1.1.1", false},
      {"1.2.3", false},
      {"1.2.3.4.5", false},
      {"1.2.3.4 ", false},
      {" 1.2.3.4", false},
      {"a.b.c.d", false},
      {"", false},
      {"1..2.3", false},
      {".1.2.3", false},
      {"1.2.3.", false},
      {"...", false},
      {"1.2.3.99999999999", false},
      {"1.2.3.-4", false},
      {"1.2.3.4\n", false},
      {"１.2.3.4", false},
      {"localhost", false},
      {"0000000000001.2.3.4", true},
  };
  for (const auto& c : cases) EXPECT_EQ(IsIPv4Address(c.text), c.expected) << "'" << c.text << "'";
}

TEST(untFunctions, SplitString) {
  const struct {
    std::string text;
    std::vector<std::string> pieces;
  } cases[] = {
      {"select * from T", {"select", "*", "from", "T"}},
      {"a  b", {"a", "", "b"}},
      {" a", {"", "a"}},
      {"a b ", {"a", "b"}},
      {"a \t", {"a"}},
      {"", {}},
      {"   ", {"", "", ""}},
      {"a \x01", {"a"}},
      {"a  \xe4\xb8\xad", {"a", "", "\xe4\xb8\xad"}},
      {"x\ty", {"x\ty"}},
  };
  TStringList list;
  for (const auto& c : cases) {
    list.Add("left over");
    SplitString(c.text, list, " ");
    EXPECT_EQ(list.Items(), c.pieces) << "'" << c.text << "'";
  }
  SplitString("a, b,c", list, ", ");
  EXPECT_EQ(list.Items(), (std::vector<std::string>{"a", "b,c"}));
  SplitString("a b", list, "");
  EXPECT_EQ(list.Items(), (std::vector<std::string>{"a b"}));
}

TEST(untFunctions, Stamps) {
  std::tm midnight{};
  midnight.tm_year = 2026 - 1900;
  midnight.tm_mon = 2;
  midnight.tm_mday = 5;
  EXPECT_EQ(TimeStamp(midnight), "000000");
  EXPECT_EQ(DateStamp(midnight), "20260305");
  std::tm evening = midnight;
  evening.tm_hour = 19, evening.tm_min = 5, evening.tm_sec = 9;
  EXPECT_EQ(TimeStamp(evening), "190509");
  EXPECT_EQ(DateStamp().size(), 8u);
  EXPECT_EQ(TimeStamp().size(), 6u);
}

TEST(untFunctions, AppFolderIsTheExecutablesFolder) {
  const std::string folder = AppFolder(true);
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_EQ(folder, AppFolder(true));
  EXPECT_TRUE(std::filesystem::exists(folder + "common_tests"));
}

TEST(untFunctions, MessageBoxesGoThroughTheHook) {
  std::vector<std::string> shown;
  SetMessageBoxHook([&](TMsgDlgType type, std::string_view caption, std::string_view text) {
    shown.push_back(std::to_string(static_cast<int>(type)) + "|" + std::string(caption) + "|" + std::string(text));
  });
  ShowError("连接失败");
  EXPECT_THROW(ShowInfoAndAbort("bad SQL"), EAbort);
  SetMessageBoxHook(nullptr);
  EXPECT_EQ(shown, (std::vector<std::string>{
                       std::to_string(static_cast<int>(TMsgDlgType::mtError)) + "|Error|连接失败",
                       std::to_string(static_cast<int>(TMsgDlgType::mtInformation)) + "|Information|bad SQL"}));
  EXPECT_EQ(IfThenInt(true, 1, 2), 1);
  EXPECT_EQ(IfThenStr(false, "a", "b"), "b");
}

}  // namespace
