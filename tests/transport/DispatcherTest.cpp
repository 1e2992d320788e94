// The dispatcher: its callbacks with fabricated links under a test clock, and the accept path
// over the real library with plain sockets as peers.
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <sys/socket.h>
#include <vector>

#include "LoopbackPeer.h"
#include "transport/Svr_intf.h"
#include "transport/untASIOSvr.h"

namespace {

using namespace std::string_literals;

std::atomic<uint32_t> gNow{1000000};
uint32_t TestClock() { return gNow; }

class Dispatcher : public ::testing::Test {
 protected:
  void SetUp() override {
    AsioSvr.reset();  // one dispatcher at a time: ours
    Port = test::UnusedPort();
    Server = std::make_unique<TAsioSvr>(1);
  }

  void UseTestClock() {
    gNow = 1000000;
    Server->Tick = &TestClock;
  }

  // Starts listening and answers a plain socket connected to the dispatcher.
  int StartAndConnect() {
    Server->Start(Port);
    int fd = -1;
    test::WaitUntil([&] { return (fd = test::ConnectTo(Port)) >= 0; });
    return fd;
  }

  TAsioClient* WaitForRegistration() {
    TAsioClient* connection = nullptr;
    test::WaitUntil([&] {
      auto clients = Server->RegisteredClients();
      if (!clients.empty()) connection = clients.front();
      return connection != nullptr;
    });
    return connection;
  }

  // Lets the next reaper call run at the current test time.
  void AllowReap() { Server->LastReapTick = gNow - TAsioSvr::kReapInterval - 1; }

  uint16_t Port = 0;
  std::unique_ptr<TAsioSvr> Server;
};

TEST_F(Dispatcher, AnAcceptUnderAKnownKeyRevivesTheSameObject) {
  UseTestClock();
  int connects = 0;
  Server->OnConnect = [&](TAsioClient*) { ++connects; };
  void* context = nullptr;
  int32_t value = 0;
  AcceptCallback(77, "10.1.2.3", 4000, &context, &value);
  auto* first = static_cast<TAsioClient*>(context);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(value, 8);
  EXPECT_EQ(first->Kind, TAsioClient::kKindAccepted);
  EXPECT_EQ(first->Key, "10.1.2.3:4000");
  EXPECT_EQ(first->PeerIP, "10.1.2.3");
  EXPECT_EQ(first->PeerPort, 4000);
  EXPECT_EQ(first->Handle, 77);
  EXPECT_EQ(first->Server, Server.get());
  EXPECT_EQ(Server->FindClient("10.1.2.3:4000"), first);

  first->BytesReceived = 10;
  first->BytesSent = 20;
  gNow += 500;
  value = 0;
  void* again = nullptr;
  AcceptCallback(78, "10.1.2.3", 4000, &again, &value);
  EXPECT_EQ(again, first);
  EXPECT_EQ(value, 8);
  EXPECT_EQ(first->ConnectTick, gNow);
  EXPECT_EQ(first->LastActiveTick, gNow);
  EXPECT_EQ(first->BytesReceived, 0u);
  EXPECT_EQ(first->BytesSent, 0u);
  EXPECT_EQ(first->Handle, 77);  // unchanged
  EXPECT_EQ(connects, 2);
  EXPECT_EQ(Server->RegisteredClients().size(), 1u);
}

TEST_F(Dispatcher, DisconnectReportsByKindOfLink) {
  UseTestClock();
  std::vector<TAsioClient*> disconnected;
  Server->OnDisconnect = [&](TAsioClient* c) { disconnected.push_back(c); };

  TAsioClient opened;  // a link this system opened: only its state changes
  opened.Handle = 5;
  opened.Connected = true;
  DisconnectCallback(&opened);
  EXPECT_EQ(opened.Handle, 0);
  EXPECT_FALSE(opened.Connected);
  EXPECT_EQ(disconnected, std::vector<TAsioClient*>{&opened});
  EXPECT_TRUE(Server->ClosedClientList().empty());

  void* context = nullptr;
  int32_t value;
  AcceptCallback(9, "10.0.0.9", 1, &context, &value);
  auto* accepted = static_cast<TAsioClient*>(context);
  DisconnectCallback(accepted);
  EXPECT_EQ(accepted->ClosedTick, gNow);
  EXPECT_EQ(Server->FindClient("10.0.0.9:1"), nullptr);
  EXPECT_EQ(Server->ClosedClientList(), std::vector<TAsioClient*>{accepted});

  // A second report only clears the state again.
  accepted->Handle = 3;
  DisconnectCallback(accepted);
  EXPECT_EQ(accepted->Handle, 0);
  EXPECT_EQ(disconnected.size(), 2u);
  EXPECT_EQ(Server->ClosedClientList().size(), 1u);
  DisconnectCallback(nullptr);  // ignored
}

TEST_F(Dispatcher, ReaperClosesIdleLinksAfterMoreThanTheTimeout) {
  UseTestClock();
  void* context = nullptr;
  int32_t value;
  AcceptCallback(1234567, "10.0.0.1", 2, &context, &value);
  auto* idle = static_cast<TAsioClient*>(context);
  const uint32_t active = idle->LastActiveTick;

  gNow = active + TAsioSvr::kDefaultIdleTimeout;  // exactly 50000 ms: left alone
  AllowReap();
  Server->ReapConnections();
  EXPECT_EQ(idle->Handle, 1234567);

  gNow = active + TAsioSvr::kDefaultIdleTimeout + 1;  // 50001 ms, but the reaper ran just now
  Server->LastReapTick = gNow - TAsioSvr::kReapInterval;
  Server->ReapConnections();
  EXPECT_EQ(idle->Handle, 1234567);

  AllowReap();  // 5001 ms after the last run: closes it, once
  Server->ReapConnections();
  EXPECT_EQ(idle->Handle, 0);
  EXPECT_EQ(Server->FindClient("10.0.0.1:2"), idle);  // waits for the close report
}

TEST_F(Dispatcher, AClosedLinkIsFreedWhenNoSendIsPending) {
  UseTestClock();
  void* context = nullptr;
  int32_t value;
  AcceptCallback(11, "10.0.0.2", 3, &context, &value);
  auto* link = static_cast<TAsioClient*>(context);
  link->PendingSends = 1;
  DisconnectCallback(link);
  const uint32_t closed = link->ClosedTick;

  gNow = closed + 100000;  // however old the close, a pending send holds it
  AllowReap();
  Server->ReapConnections();
  ASSERT_EQ(Server->ClosedClientList().size(), 1u);

  SendCompleteCallback(link, &link->Buffer->BufA);  // the completion arrives
  EXPECT_EQ(link->PendingSends, 0);
  gNow = closed + TAsioSvr::kFreeDelay;  // exactly 3000 ms after the close: not yet
  AllowReap();
  Server->ReapConnections();
  ASSERT_EQ(Server->ClosedClientList().size(), 1u);
  gNow = closed + TAsioSvr::kFreeDelay + 1;
  AllowReap();
  Server->ReapConnections();
  EXPECT_TRUE(Server->ClosedClientList().empty());
}

TEST_F(Dispatcher, PacketHookConsumesHeadersAsTheyArrive) {
  std::mutex seenLock;
  std::vector<std::string> seen;
  Server->OnPacket = [&](TAsioClient* c, int32_t headerSize) {
    std::string packet;
    c->ReadString(headerSize, packet);
    std::lock_guard lock(seenLock);
    seen.push_back(packet);
  };
  const int fd = StartAndConnect();
  ASSERT_GE(fd, 0);
  TAsioClient* connection = WaitForRegistration();
  ASSERT_NE(connection, nullptr);
  EXPECT_EQ(connection->Kind, TAsioClient::kKindAccepted);
  EXPECT_EQ(connection->PeerIP, "127.0.0.1");

  ASSERT_EQ(::send(fd, "AAAAAAAABBBBBBBBccc", 19, 0), 19);
  ASSERT_TRUE(test::WaitUntil([&] {
    std::lock_guard lock(seenLock);
    return seen.size() == 2;
  }));
  EXPECT_EQ(connection->Buffer->UnreadCount(), 3);  // less than a header: not handed over
  ASSERT_EQ(::send(fd, "ccccc", 5, 0), 5);
  ASSERT_TRUE(test::WaitUntil([&] {
    std::lock_guard lock(seenLock);
    return seen.size() == 3;
  }));
  std::lock_guard lock(seenLock);
  EXPECT_EQ(seen, (std::vector<std::string>{"AAAAAAAA", "BBBBBBBB", "cccccccc"}));
  EXPECT_EQ(connection->BytesReceived, 24u);
  ::close(fd);
}

TEST_F(Dispatcher, AHookThatConsumesNothingWaitsForNewBytes) {
  std::atomic<int> calls{0};
  Server->OnPacket = [&](TAsioClient*, int32_t) { ++calls; };
  const int fd = StartAndConnect();
  ASSERT_NE(WaitForRegistration(), nullptr);
  ASSERT_EQ(::send(fd, "12345678", 8, 0), 8);
  ASSERT_TRUE(test::WaitUntil([&] { return calls == 1; }));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // ten passes
  EXPECT_EQ(calls, 1);
  ASSERT_EQ(::send(fd, "9", 1, 0), 1);
  ASSERT_TRUE(test::WaitUntil([&] { return calls == 2; }));
  ::close(fd);
}

TEST_F(Dispatcher, SendsThroughTheSendBuffersAndReapsIdleLinksForReal) {
  UseTestClock();
  std::atomic<int32_t> sentCount{-1};
  Server->OnSendDone = [&](TAsioClient*, const void*, int32_t count) { sentCount = count; };
  const int fd = StartAndConnect();
  TAsioClient* connection = WaitForRegistration();
  ASSERT_NE(connection, nullptr);

  {
    std::lock_guard lock(connection->Buffer->SendLock);
    connection->Buffer->FillBuf->WriteBuffer("reply", 5);
    connection->FlushSendBuffer();
  }
  char reply[5];
  ASSERT_EQ(::recv(fd, reply, 5, MSG_WAITALL), 5);
  EXPECT_EQ(std::string(reply, 5), "reply");
  ASSERT_TRUE(test::WaitUntil([&] { return sentCount == 5; }));
  EXPECT_EQ(connection->PendingSends, 0);
  EXPECT_EQ(connection->BytesSent, 5u);

  // Idle past the timeout: the reaper closes the socket, the close report moves the link,
  // and a later run frees it.
  gNow += TAsioSvr::kDefaultIdleTimeout + TAsioSvr::kReapInterval + 2;
  ASSERT_TRUE(test::WaitUntil([&] { return Server->ClosedClientList().size() == 1; }));
  char byte;
  EXPECT_EQ(::recv(fd, &byte, 1, 0), 0);  // the peer sees the close
  gNow += TAsioSvr::kReapInterval + 1;
  ASSERT_TRUE(test::WaitUntil([&] { return Server->ClosedClientList().empty(); }));
  ::close(fd);
}

TEST_F(Dispatcher, UninitClosesClientLinksAndCanBeCalledTwice) {
  Server->Start(Port);
  test::TLoopbackPeer peer;
  TAsioClient client;
  ASSERT_TRUE(client.Connect("127.0.0.1", peer.Port()));
  ASSERT_TRUE(peer.Accept());
  Server.reset();  // uninitialises the library
  EXPECT_FALSE(client.IsConnected());
  EXPECT_EQ(client.Handle, 0);
  EXPECT_EQ(Asio_Uninit(), 1);
  EXPECT_EQ(Asio_Uninit(), 1);
  EXPECT_TRUE(peer.WaitForClose());
  EXPECT_EQ(CurrentAsioSvr.load(), nullptr);
}

}  // namespace
