// The receive buffer's compaction, through the client's blocking reads.
#include <gtest/gtest.h>

#include <string>

#include "transport/untAsioClient.h"

namespace {

// A client whose link is only pretended, so that the buffer can be filled directly.
struct TBufferedClient : TAsioClient {
  TBufferedClient() { Connected = true; }
  void Fill(int32_t bytes) {
    std::string data(static_cast<size_t>(bytes), '\0');
    for (int32_t i = 0; i < bytes; ++i) data[static_cast<size_t>(i)] = static_cast<char>(i % 251);
    Buffer->Append(data.data(), bytes);
  }
  int64_t WritePos() { return Buffer->RecvStream.Position(); }
};

TEST(TAsioDataBuffer, CompactsOnlyAboveTheThreshold) {
  const struct {
    int32_t writePos;
    int32_t readPos;
    int32_t read;
    int64_t writePosAfter;
    int32_t readPosAfter;
  } cases[] = {
      {600000, 599990, 2, 8, 0},            // the unread tail moves to the front
      {512000, 511990, 2, 512000, 511992},  // at the threshold nothing moves
      {512001, 511990, 2, 9, 0},            // just above it
      {600000, 599998, 2, 0, 0},            // nothing left: an empty stream
  };
  for (const auto& c : cases) {
    TBufferedClient client;
    client.Fill(c.writePos);
    client.Buffer->ReadPos = c.readPos;
    char bytes[2];
    ASSERT_EQ(client.ReadBytes(bytes, c.read), c.read);
    EXPECT_EQ(bytes[0], static_cast<char>(c.readPos % 251));
    EXPECT_EQ(client.WritePos(), c.writePosAfter) << "write position " << c.writePos;
    EXPECT_EQ(client.Buffer->ReadPos, c.readPosAfter) << "write position " << c.writePos;
    EXPECT_EQ(client.AvailableBytes(), c.writePos - c.readPos - c.read);
  }
}

TEST(TAsioDataBuffer, AppendContinuesAfterTheMovedTail) {
  TBufferedClient client;
  client.Fill(600000);
  client.Buffer->ReadPos = 599990;
  char bytes[10];
  ASSERT_EQ(client.ReadBytes(bytes, 2), 2);
  const int64_t capacityKept = client.Buffer->RecvStream.Size();
  client.Buffer->Append("XY", 2);
  EXPECT_EQ(client.WritePos(), 10);
  EXPECT_EQ(client.Buffer->RecvStream.Size(), capacityKept);  // the memory is reused, not shrunk
  ASSERT_EQ(client.ReadBytes(bytes, 10), 10);
  EXPECT_EQ(std::string(bytes + 8, 2), "XY");
  EXPECT_EQ(bytes[0], static_cast<char>(599992 % 251));
}

TEST(TAsioDataBuffer, DataReadyOnceAHeaderIsUnread) {
  TBufferedClient client;
  client.Fill(7);
  EXPECT_FALSE(client.DataReady);
  client.Fill(1);
  EXPECT_TRUE(client.DataReady);
}

TEST(TAsioDataBuffer, SwapsTheSendBuffers) {
  TAsioDataBuffer buffer(nullptr);
  EXPECT_EQ(buffer.FillBuf, &buffer.BufA);
  EXPECT_EQ(buffer.SendBuf, &buffer.BufA);
  buffer.BufA.WriteBuffer("abc", 3);
  buffer.SwapSendBuffers();
  EXPECT_EQ(buffer.FillBuf, &buffer.BufB);
  EXPECT_EQ(buffer.SendBuf, &buffer.BufA);
  EXPECT_EQ(buffer.BufA.Position(), 3);
  buffer.BufB.WriteBuffer("d", 1);
  buffer.SwapSendBuffers();
  EXPECT_EQ(buffer.FillBuf, &buffer.BufA);
  EXPECT_EQ(buffer.BufA.Position(), 0);
}

}  // namespace
