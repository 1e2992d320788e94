// The client endpoint over the real library, against a plain socket peer on loopback.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LoopbackPeer.h"
#include "transport/UntsocketDxBaseClient.h"

namespace {

using namespace std::string_literals;

std::vector<std::string> gLifecycle;

class TTestClient : public TSocketClient {
 protected:
  void DoCreate() override { gLifecycle.push_back("create"); }
  void DoDestroy() override { gLifecycle.push_back(IsConnected() ? "destroy connected" : "destroy"); }
  friend class TSocketClient;
};

class SocketClient : public ::testing::Test {
 protected:
  // Opens the client on the peer and accepts the link on the peer's side.
  void OpenOnPeer() {
    ASSERT_TRUE(Client->Open("127.0.0.1", Peer.Port()));
    ASSERT_TRUE(Peer.Accept());
  }

  test::TLoopbackPeer Peer;
  bool LifecycleCleared = (gLifecycle.clear(), true);
  TSocketClient::Ptr<TTestClient> Client = TSocketClient::Create<TTestClient>();
};

TEST_F(SocketClient, SendsTheFramingPrimitivesByteForByte) {
  OpenOnPeer();
  EXPECT_EQ(Client->Host, "127.0.0.1");
  EXPECT_EQ(Client->Port, Peer.Port());
  Client->SendFrameHeader(300);
  EXPECT_EQ(Peer.Receive(8), "\x00\x00\x01\x2C\x00\x00\x01\x2C"s);
  EXPECT_EQ(Client->SendIntBE(-2), 4);
  EXPECT_EQ(Peer.Receive(4), "\xFF\xFF\xFF\xFE"s);
  EXPECT_EQ(Client->SendInt(1, false), 4);
  EXPECT_EQ(Peer.Receive(4), "\x01\x00\x00\x00"s);
  EXPECT_GT(Client->SendString("select 1"), 0);
  EXPECT_EQ(Peer.Receive(8), "select 1");
  EXPECT_GT(Client->SendString(""), 0);  // the library is called with length 0

  TMemoryStream empty;
  EXPECT_GT(Client->SendStream(empty), 0);
  EXPECT_EQ(Peer.Receive(4), "\x00\x00\x00\x00"s);
  TMemoryStream stream;
  stream.WriteBuffer("xyz", 3);  // position at the end: the whole stream goes all the same
  EXPECT_GT(Client->SendStream(stream), 0);
  EXPECT_EQ(Peer.Receive(7), "\x00\x00\x00\x03xyz"s);
}

TEST_F(SocketClient, ReadsIntegersTextsAndBytes) {
  OpenOnPeer();
  Peer.Send("\x00\x00\x00\x01\x00\x00\x00\x01"s + "abc" + "\x01\x02"s);
  EXPECT_EQ(Client->ReadInt(true), 1);
  EXPECT_EQ(Client->ReadInt(false), 16777216);
  std::string text;
  Client->ReadString(3, text);
  EXPECT_EQ(text, "abc");
  char bytes[2];
  EXPECT_EQ(Client->ReadBytes(bytes, 0), 0);
  EXPECT_EQ(Client->ReadBytes(bytes, 2), 2);
  EXPECT_EQ(std::string(bytes, 2), "\x01\x02"s);
  EXPECT_EQ(Client->AvailableBytes(), 0);
  EXPECT_EQ(Client->ReadBytes(bytes, -1), -1);

  // A read waits for bytes that arrive in pieces.
  std::thread late([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    Peer.Send("\x00\x00"s);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    Peer.Send("\x30\x39");
  });
  EXPECT_EQ(Client->ReadInt(true), 12345);
  late.join();
}

TEST_F(SocketClient, APeerClosingEndsEveryRead) {
  OpenOnPeer();
  const int32_t firstHandle = Client->Handle;
  Peer.Send("12345");
  ASSERT_TRUE(test::WaitUntil([&] { return Client->AvailableBytes() == 5; }));
  Peer.CloseLink();
  ASSERT_TRUE(test::WaitUntil([&] { return !Client->IsConnected(); }));
  EXPECT_EQ(Client->Handle, 0);
  EXPECT_EQ(Client->AvailableBytes(), -1);  // although five bytes are buffered
  char bytes[8];
  EXPECT_EQ(Client->ReadBytes(bytes, 1), -1);
  EXPECT_EQ(Client->ReadBytes(bytes, 0), -1);
  EXPECT_EQ(Client->ReadInt(true), -1);
  std::string text = "stale";
  Client->ReadString(2, text);
  EXPECT_EQ(text, "");
  EXPECT_EQ(Client->SendIntBE(1), -1);

  // The next Connect takes a new handle and starts with an empty buffer.
  ASSERT_TRUE(Client->Connect("127.0.0.1", Peer.Port()));
  ASSERT_TRUE(Peer.Accept());
  EXPECT_NE(Client->Handle, 0);
  EXPECT_NE(Client->Handle, firstHandle);
  EXPECT_EQ(Client->AvailableBytes(), 0);
}

TEST_F(SocketClient, AFailedSendKeepsTheHandleForTheNextConnect) {
  ASSERT_TRUE(Client->EnsureDispatcher());
  const int32_t handle = Client->Handle;
  EXPECT_FALSE(Client->Connect("127.0.0.1", test::UnusedPort()));
  EXPECT_FALSE(Client->IsConnected());
  EXPECT_EQ(Client->Handle, handle);
  EXPECT_EQ(Client->SendIntBE(7), -1);
  EXPECT_EQ(Client->SendString("x"), -1);
  EXPECT_FALSE(Client->IsConnected());
  EXPECT_EQ(Client->Handle, handle);
  OpenOnPeer();
  EXPECT_EQ(Client->Handle, handle);
  EXPECT_EQ(Client->SendIntBE(7), 4);
  EXPECT_EQ(Peer.Receive(4), "\x00\x00\x00\x07"s);
}

TEST_F(SocketClient, ConnectDropsBytesOfTheEarlierLink) {
  OpenOnPeer();
  Peer.Send("left over");
  ASSERT_TRUE(test::WaitUntil([&] { return Client->AvailableBytes() == 9; }));
  EXPECT_TRUE(Client->Disconnect());
  EXPECT_EQ(Client->Handle, 0);
  EXPECT_FALSE(Client->Disconnect());  // no handle any more
  EXPECT_TRUE(Peer.WaitForClose());
  OpenOnPeer();
  EXPECT_EQ(Client->AvailableBytes(), 0);
  Peer.Send("new");
  std::string text;
  Client->ReadString(3, text);
  EXPECT_EQ(text, "new");
}

TEST_F(SocketClient, OpensByNameAndRefusesPortZero) {
  EXPECT_TRUE(Client->Open("localhost", Peer.Port()));
  ASSERT_TRUE(Peer.Accept());
  EXPECT_TRUE(Client->Disconnect());
  EXPECT_FALSE(Client->Open("127.0.0.1", 0));
}

TEST_F(SocketClient, CreateAndDestroyRunTheHooksAroundTheLink) {
  OpenOnPeer();
  Client.reset();
  EXPECT_EQ(gLifecycle, (std::vector<std::string>{"create", "destroy connected"}));
  EXPECT_TRUE(Peer.WaitForClose());  // the link was closed after DoDestroy
}

}  // namespace
