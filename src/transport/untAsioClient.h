// One TCP link through the transport library, and the buffer its received bytes wait in.
//
// TAsioDataBuffer: bytes are appended on a library thread (the receive callback) under
// RecvLock and consumed on the thread that owns the link, also under RecvLock. The send
// buffers serve the dispatcher's send-complete callback, under SendLock.
//
// TAsioClient: a link this system opens (Kind 0) or one the dispatcher accepted (Kind 9).
// Its operations take no lock of their own: one thread owns a client and calls them. The
// library's threads write Connected, Handle and the counters, hence the atomics. Failures are
// results (-1, false, an empty text), never exceptions.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Streams.h"

class TAsioClient;
class TAsioSvr;

class TAsioDataBuffer {
 public:
  static constexpr int32_t kCompactThreshold = 512000;

  explicit TAsioDataBuffer(TAsioClient* owner);

  // Library thread: stores the bytes and marks the owner's data ready once HeaderSize bytes
  // are unread.
  void Append(const void* data, int32_t count);
  int32_t UnreadCount();
  // Copies count unread bytes out and consumes them, then compacts. False (nothing taken)
  // when fewer are unread.
  bool Take(void* destination, int32_t count);
  // Moves the unread tail to the front once the write position passes kCompactThreshold.
  void Compact();
  // Forgets every byte, read or not (a new link starts empty).
  void Reset();
  void SwapSendBuffers();

  int32_t ReadPos = 0;  // guarded by RecvLock
  std::mutex RecvLock;
  std::mutex SendLock;
  TAsioClient* const Owner;
  TMemoryStream RecvStream;  // guarded by RecvLock; its position is the write position
  const int32_t HeaderSize = 8;
  TMemoryStream* FillBuf;  // guarded by SendLock
  TMemoryStream* SendBuf;  // guarded by SendLock
  TMemoryStream BufA;
  TMemoryStream BufB;
  // Bytes appended and taken since construction: the worker tells by them whether a packet
  // hook consumed anything and whether new bytes came.
  std::atomic<int64_t> TotalAppended{0};
  std::atomic<int64_t> TotalTaken{0};

 private:
  void CompactLocked();
};

// Owned objects of a link, freed from the last to the first. Nothing in the client adds any.
class TMemPools {
 public:
  ~TMemPools();
  std::vector<std::pair<std::string, std::unique_ptr<TMemoryStream>>> Items;
};

class TAsioClient {
 public:
  static constexpr int32_t kKindOpened = 0;
  static constexpr int32_t kKindAccepted = 9;

  TAsioClient();
  // A link this system opened is closed, and its callbacks have ended, before the object goes.
  virtual ~TAsioClient();
  TAsioClient(const TAsioClient&) = delete;
  TAsioClient& operator=(const TAsioClient&) = delete;

  // Creates the process's dispatcher on first use, then obtains a client handle.
  bool EnsureDispatcher();
  // Opens the link; unread bytes of an earlier link are dropped first.
  bool Connect(const std::string& host, uint16_t port);
  // Closes the link through the library; Connected follows with the library's close report.
  bool Disconnect();
  bool IsConnected() const { return Connected; }
  // The unread count while connected, otherwise -1 (buffered bytes included).
  int32_t AvailableBytes();

  // Blocking reads: poll every millisecond, without a time limit, until count bytes are
  // unread; -1 (or an empty text) once the link is down.
  int32_t ReadBytes(void* destination, int32_t count);
  int32_t ReadInt(bool networkOrder);
  void ReadString(int32_t count, std::string& text);

  // Sends: -1 when the library refuses, which also clears Connected.
  int32_t SendString(std::string_view text);
  int32_t SendInt(int32_t value, bool networkOrder);
  int32_t SendBuffer(const void* data, int32_t count);
  // Dispatcher only, with SendLock held: sends the filled buffer asynchronously.
  void FlushSendBuffer();

  std::atomic<int32_t> Kind{kKindOpened};
  std::atomic<bool> Connected{false};
  TAsioSvr* Server = nullptr;
  std::string Key;
  std::atomic<int32_t> Handle{0};
  std::string PeerIP;
  uint16_t PeerPort = 0;
  std::atomic<uint32_t> ConnectTick{0};
  std::atomic<uint32_t> LastActiveTick{0};
  std::atomic<uint32_t> BytesReceived{0};
  std::atomic<uint32_t> BytesSent{0};
  std::unique_ptr<TAsioDataBuffer> Buffer;
  std::atomic<bool> Busy{false};
  std::atomic<bool> DataReady{false};
  std::atomic<int32_t> PendingSends{0};  // changed under Buffer->SendLock
  std::atomic<uint32_t> ClosedTick{0};
  TMemPools Pools;
  std::atomic<uint32_t> LastProcessedTick{0};
  // Worker only: TotalAppended when the packet hook last consumed nothing; -1 when it did.
  int64_t StalledAt = -1;

 private:
  // The last handle this object obtained: destruction waits on it until no callback can
  // reach the object any more.
  int32_t FLastHandle = 0;

  // Waits until count bytes are unread; false once the link is down.
  bool WaitForBytes(int32_t count);
  int32_t Send(const void* data, int32_t count);
};
