#include "common/WireCodePage.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/Exceptions.h"

namespace {

TEST(WireCodePage, ConvertsToAndFromGbk) {
  EXPECT_EQ(ToWireText("中", TWireCodePage::GBK), "\xD6\xD0");
  EXPECT_EQ(ToWireText("报表 ReportType", TWireCodePage::GBK).size(), 4u + 1 + 10);
  EXPECT_EQ(FromWireText("\xD6\xD0", TWireCodePage::GBK), "中");
  EXPECT_EQ(ToWireText("plain ascii", TWireCodePage::GBK), "plain ascii");
  const std::string mixed = "连接数据库服务程序失败，请先启动服务程序! O'Brien";
  EXPECT_EQ(FromWireText(ToWireText(mixed, TWireCodePage::GBK), TWireCodePage::GBK), mixed);
  EXPECT_EQ(ToWireText("", TWireCodePage::GBK), "");
}

TEST(WireCodePage, Utf8IsPassedThroughValidated) {
  EXPECT_EQ(ToWireText("中", TWireCodePage::UTF8), "中");
  EXPECT_EQ(FromWireText("中", TWireCodePage::UTF8), "中");
  EXPECT_THROW(FromWireText("a\xFF", TWireCodePage::UTF8), EConvertError);
}

TEST(WireCodePage, RefusesWhatCannotBeConverted) {
  const struct {
    const char* name;
    std::string text;
    bool toWire;
    TWireCodePage codePage;
    const char* messagePart;
  } cases[] = {
      {"emoji", "ab中\xF0\x9F\x98\x80", true, TWireCodePage::GBK, "U+1F600 at character 4 (byte offset 5)"},
      {"bad UTF-8 to GBK", "a\xC0\xAF", true, TWireCodePage::GBK, "byte 0xC0 at character 2 (byte offset 1)"},
      {"surrogate", "\xED\xA0\x80", true, TWireCodePage::UTF8, "at character 1 (byte offset 0)"},
      {"truncated UTF-8", "中\xE4\xB8", true, TWireCodePage::GBK, "byte 0xE4 at character 2 (byte offset 3)"},
      {"half a GBK character", "ab\xD6", false, TWireCodePage::GBK, "byte 0xD6 at byte offset 2"},
      {"invalid GBK lead", "\xFF\x41", false, TWireCodePage::GBK, "byte 0xFF at byte offset 0"},
  };
  for (const auto& c : cases) {
    try {
      c.toWire ? ToWireText(c.text, c.codePage) : FromWireText(c.text, c.codePage);
      ADD_FAILURE() << c.name << ": accepted";
    } catch (const EConvertError& e) {
      EXPECT_NE(e.Message.find(c.messagePart), std::string::npos) << c.name << ": " << e.Message;
    }
  }
}

TEST(WireCodePage, NamesAndThreads) {
  EXPECT_EQ(WireCodePageFromName("gbk"), TWireCodePage::GBK);
  EXPECT_EQ(WireCodePageFromName("utf8"), TWireCodePage::UTF8);
  EXPECT_EQ(WireCodePageFromName("UTF-8"), TWireCodePage::UTF8);
  EXPECT_FALSE(WireCodePageFromName("latin1"));
  EXPECT_STREQ(WireCodePageName(TWireCodePage::GBK), "GBK");

  // Each thread converts with its own descriptors.
  std::vector<std::thread> threads;
  std::vector<int> ok(4, 0);
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i)
        ok[static_cast<size_t>(t)] +=
            FromWireText(ToWireText("报表类型", TWireCodePage::GBK), TWireCodePage::GBK) == "报表类型";
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(ok, (std::vector<int>{200, 200, 200, 200}));
}

}  // namespace
