// The connection over the real transport against a scripted service: bytes on the wire, the
// handshake, errors, lost links and reconnects, and the two routes of a result.
#include <unistd.h>

#include <filesystem>

#include "LoopbackPeer.h"
#include "RemoteFixture.h"

namespace {

using namespace std::string_literals;
using test::TFrame;
using test::TScriptedPeer;

class RmoClient : public test::RemoteTest {};

TEST_F(RmoClient, WritesTheProtocolsBytes) {
  Peer.SetScript([](const TFrame& frame, bool&) -> std::string {
    if (frame.Command == proto::CmdExecSQL) return TScriptedPeer::Int(5);
    if (frame.Command == proto::CmdOpenSQL) return TScriptedPeer::Int(1) + TScriptedPeer::Int(0);
    return {};
  });
  Connect();
  EXPECT_TRUE(Client->Ready);
  EXPECT_FALSE(Client->Closed);
  EXPECT_TRUE(Client->Timer->Enabled());
  EXPECT_EQ(Peer.Received(), "\x00\x00\x00\x01\x00\x00\x1C\xB7"s);

  TADOQuery query;
  EXPECT_TRUE(Client->OpenSQL("select 1", query));  // status 1, payload length 0: nothing loaded
  EXPECT_FALSE(query.Active());
  EXPECT_EQ(Client->ExecSQL(""), 5);
  Client->KeepAlive();
  EXPECT_EQ(Client->ExecSQL("中"), 5);
  ASSERT_TRUE(Peer.WaitForFrames(4));
  const auto frames = Peer.Frames();
  EXPECT_EQ(frames[0].Raw, "\x00\x00\x00\x10\x00\x00\x00\x10\x00\x00\x00\x16\x00\x00\x00\x08select 1"s);
  EXPECT_EQ(frames[1].Raw, "\x00\x00\x00\x08\x00\x00\x00\x08\x00\x00\x00\x01\x00\x00\x00\x00"s);
  EXPECT_EQ(frames[2].Raw, "\x00\x00\x00\x04\x00\x00\x00\x04\x00\x00\x00\x04"s);
  EXPECT_EQ(frames[3].Raw, "\x00\x00\x00\x0A\x00\x00\x00\x0A\x00\x00\x00\x01\x00\x00\x00\x02\xD6\xD0"s);
  EXPECT_EQ(Client->OpenCount, 1);
}

TEST_F(RmoClient, ARefusedHandshakeClosesTheLink) {
  Peer.HandshakeAnswer = 1000;
  EXPECT_FALSE(Client->ConnectTo("127.0.0.1", Peer.Port()));
  EXPECT_FALSE(Client->Ready);
  EXPECT_TRUE(Client->Closed);
  EXPECT_FALSE(Client->Timer->Enabled());
  EXPECT_TRUE(Peer.WaitForLinkClosed());
  EXPECT_FALSE(Client->ConnectTo("127.0.0.1", test::UnusedPort()));
}

TEST_F(RmoClient, TheSameTargetIsANoOpAndAnotherClosesTheOldLinkFirst) {
  Connect();
  Client->Ready = false;
  const std::string before = Peer.Received();
  EXPECT_TRUE(Client->ConnectTo("127.0.0.1", Peer.Port()));
  EXPECT_FALSE(Client->Ready);  // nothing changed
  EXPECT_EQ(Peer.Received(), before);
  EXPECT_EQ(Peer.Links(), 1);
  EXPECT_FALSE(Client->ConnectAddress("localhost", -1));  // not a dotted address

  test::TScriptedPeer other;
  EXPECT_TRUE(Client->ConnectAddress("127.0.0.1", other.Port()));
  EXPECT_TRUE(Peer.WaitForLinkClosed());
  EXPECT_EQ(Client->Port, other.Port());
  EXPECT_TRUE(Client->Ready);
}

TEST_F(RmoClient, AnErrorReplyLeavesTheLinkUsable) {
  Peer.SetScript([](const TFrame& frame, bool&) -> std::string {
    if (frame.Text == "bad") return TScriptedPeer::Error("abc");
    if (frame.Text == "\xD6\xD0\xCE\xC4") return TScriptedPeer::Error("\xB4\xED\xCE\xF3");  // 中文 → 错误, in GBK
    return TScriptedPeer::Int(0);
  });
  Connect();
  TADOQuery query;
  try {
    Client->OpenSQL("bad", query);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "abc");
  }
  EXPECT_EQ(Client->SelectItems(query), nullptr);  // no record after an error status
  EXPECT_FALSE(query.BeforePost);
  try {
    Client->ExecSQL("中文");
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "错误");
  }
  EXPECT_EQ(Client->ExecSQL("fine"), 0);
  EXPECT_EQ(Client->OpenCount, 1);
  EXPECT_THROW(Client->ExecSQL("😀"), EConvertError);  // refused before anything is sent
  EXPECT_EQ(Peer.Frames().size(), 3u);
}

TEST_F(RmoClient, ALinkLostInAReplyFailsTheRequestAndReconnects) {
  Peer.SetScript([](const TFrame& frame, bool& drop) -> std::string {
    if (frame.Text == "lose it") {
      drop = true;
      return TScriptedPeer::Int(1) + TScriptedPeer::Int(1000);  // a payload that never comes
    }
    return TScriptedPeer::Int(7);
  });
  Connect();
  TADOQuery query;
  try {
    Client->OpenSQL("lose it", query);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "");
  }
  EXPECT_EQ(Client->OpenCount, 1);
  const auto started = std::chrono::steady_clock::now();
  ASSERT_TRUE(test::PumpEventsUntil([&] { return Peer.Links() == 2 && Client->Ready && Client->IsConnected(); }, 8000));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(6500));
  test::PumpEventsUntil([&] { return Client->Timer->Tag == 0; }, 2000);
  EXPECT_EQ(Client->ExecSQL("after"), 7);
}

TEST_F(RmoClient, NoReconnectWhileClosed) {
  Connect();
  Client->CloseSession();
  EXPECT_TRUE(Client->Closed);
  EXPECT_TRUE(Peer.WaitForLinkClosed());
  test::PumpEventsUntil([] { return false; }, 3500);
  EXPECT_EQ(Peer.Links(), 1);
}

TEST_F(RmoClient, RefusesAPayloadLengthOutOfStep) {
  for (const int32_t length : {-5, int32_t{(1 << 30) + 1}}) {
    Peer.SetScript([length](const TFrame&, bool&) { return TScriptedPeer::Int(1) + TScriptedPeer::Int(length); });
    ASSERT_TRUE(Client->ConnectTo("127.0.0.1", Peer.Port()));
    TADOQuery query;
    try {
      Client->OpenSQL("select", query);
      FAIL();
    } catch (const Exception& e) {
      EXPECT_NE(e.Message.find("out of step"), std::string::npos) << e.Message;
    }
    EXPECT_TRUE(Peer.WaitForLinkClosed());
  }
}

class ResultRoutes : public test::RemoteTest {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(Folder);
    Client->ResultFolder = Folder.string() + "/";
  }
  void TearDown() override { std::filesystem::remove_all(Folder); }

  size_t FilesLeft() {
    return static_cast<size_t>(
        std::distance(std::filesystem::directory_iterator(Folder), std::filesystem::directory_iterator()));
  }

  std::filesystem::path Folder = std::filesystem::temp_directory_path() / ("zz_results_" + std::to_string(::getpid()));
};

TEST_F(ResultRoutes, LoadsFromMemoryAndThroughAFileThatIsThenGone) {
  const std::string xml = test::ResultXml({{"ID", ftInteger}, {"NAME", ftWideString, 20}},
                                          {{TCellValue{int64_t{1}}, TCellValue{std::string("报表")}},
                                           {TCellValue{int64_t{2}}, TCellValue{std::string("b")}}});
  Peer.SetScript([&](const TFrame& frame, bool&) {
    if (frame.Text == "garbage") return TScriptedPeer::Result(2, "<xml><not closed");
    return TScriptedPeer::Result(frame.Text == "file" ? 2 : 1, xml);
  });
  Connect();
  TADOQuery memory, file;
  Client->OpenSQL("memory", memory);
  Client->OpenSQL("file", file);
  for (TADOQuery* query : {&memory, &file}) {
    ASSERT_TRUE(query->Active());
    EXPECT_EQ(query->RecordCount(), 2);
    EXPECT_EQ(query->FieldByName("NAME").AsString(), "报表");
    EXPECT_TRUE(query->BeforePost);
  }
  EXPECT_EQ(Client->SelectItems(file)->SelectText, "file");
  EXPECT_EQ(FilesLeft(), 0u);

  // A file that does not load stays behind; two of them have different names.
  EXPECT_THROW(Client->OpenSQL("garbage", file), ERowsetError);
  EXPECT_THROW(Client->OpenSQL("garbage", file), ERowsetError);
  EXPECT_EQ(FilesLeft(), 2u);
  EXPECT_FALSE(file.Active());
  EXPECT_EQ(Client->OpenCount, 4);
}

TEST_F(ResultRoutes, AnUnloadableResultFailsWithTheLoadersMessageAndClosesTheDataset) {
  Peer.SetScript([](const TFrame& frame, bool&) {
    if (frame.Text == "good")
      return TScriptedPeer::Result(1, test::ResultXml({{"ID", ftInteger}}, {{TCellValue{int64_t{1}}}}));
    return TScriptedPeer::Result(1, "<xml>truncated");
  });
  Connect();
  TADOQuery query;
  Client->OpenSQL("good", query);
  ASSERT_TRUE(query.Active());
  try {
    Client->OpenSQL("bad", query);
    FAIL();
  } catch (const ERowsetError& e) {
    EXPECT_NE(e.Message.find("Malformed XML"), std::string::npos) << e.Message;
  }
  EXPECT_FALSE(query.Active());
  EXPECT_EQ(Client->SelectItems(query)->SelectText, "bad");
}

}  // namespace
