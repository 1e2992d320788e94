#include "transport/untAsioClient.h"

#include <algorithm>

#include <arpa/inet.h>
#include <cstring>

#include "platform/Ticks.h"
#include "transport/Svr_intf.h"
#include "transport/untASIOSvr.h"

// ---- TAsioDataBuffer ----

TAsioDataBuffer::TAsioDataBuffer(TAsioClient* owner) : Owner(owner), FillBuf(&BufA), SendBuf(&BufA) {}

void TAsioDataBuffer::Append(const void* data, int32_t count) {
  std::lock_guard lock(RecvLock);
  if (count > 0) {
    RecvStream.WriteBuffer(data, count);
    TotalAppended += count;
  }
  if (RecvStream.Position() - ReadPos >= HeaderSize) Owner->DataReady = true;
}

int32_t TAsioDataBuffer::UnreadCount() {
  std::lock_guard lock(RecvLock);
  return static_cast<int32_t>(RecvStream.Position() - ReadPos);
}

bool TAsioDataBuffer::Take(void* destination, int32_t count) {
  std::lock_guard lock(RecvLock);
  if (RecvStream.Position() - ReadPos < count) return false;
  if (count > 0) std::memcpy(destination, RecvStream.Memory() + ReadPos, static_cast<size_t>(count));
  ReadPos += count;
  TotalTaken += count;
  CompactLocked();
  return true;
}

void TAsioDataBuffer::Compact() {
  std::lock_guard lock(RecvLock);
  CompactLocked();
}

void TAsioDataBuffer::CompactLocked() {
  const int64_t writePos = RecvStream.Position();
  if (writePos <= kCompactThreshold) return;
  const int64_t tail = ReadPos < writePos ? writePos - ReadPos : 0;
  if (tail > 0) std::memmove(RecvStream.Memory(), RecvStream.Memory() + ReadPos, static_cast<size_t>(tail));
  RecvStream.SetPosition(tail);
  ReadPos = 0;
}

void TAsioDataBuffer::Reset() {
  std::lock_guard lock(RecvLock);
  RecvStream.SetPosition(0);
  ReadPos = 0;
}

void TAsioDataBuffer::SwapSendBuffers() {
  if (FillBuf == &BufA) {
    FillBuf = &BufB;
    SendBuf = &BufA;
  } else {
    FillBuf = &BufA;
    SendBuf = &BufB;
  }
  FillBuf->SetPosition(0);
}

TMemPools::~TMemPools() {
  while (!Items.empty()) Items.pop_back();
}

// ---- TAsioClient ----

TAsioClient::TAsioClient() : Buffer(std::make_unique<TAsioDataBuffer>(this)) {}

TAsioClient::~TAsioClient() {
  if (Kind == kKindOpened && FLastHandle > 0) Asio_Client_DisConn(FLastHandle);
}

bool TAsioClient::EnsureDispatcher() {
  EnsureProcessDispatcher();
  int32_t handle = 0;
  Asio_Client_init(&handle);
  Handle = handle;
  if (handle != 0) FLastHandle = handle;
  return Handle != 0;
}

bool TAsioClient::Connect(const std::string& host, uint16_t port) {
  if (Handle == 0) EnsureDispatcher();
  Buffer->Reset();
  if (Asio_Client_conntosvr(Handle, host.c_str(), port, this) > 0) {
    Connected = true;
    return true;
  }
  return false;
}

bool TAsioClient::Disconnect() {
  const int32_t handle = Handle;
  if (handle <= 0) return false;
  const bool closed = Asio_Client_DisConn(handle) == 1;
  Handle = 0;
  return closed;
}

int32_t TAsioClient::AvailableBytes() { return Connected ? Buffer->UnreadCount() : -1; }

bool TAsioClient::WaitForBytes(int32_t count) {
  while (AvailableBytes() < count) {
    if (!Connected) return false;
    Sleep(1);
  }
  return true;
}

int32_t TAsioClient::ReadBytes(void* destination, int32_t count) {
  if (count < 0) return -1;
  // What has arrived is copied out while the rest is still arriving: a large read then costs
  // little more than the transfer, and the receive buffer stays small. A link that goes down
  // fails the read, as it fails every read after it.
  auto* out = static_cast<uint8_t*>(destination);
  int32_t done = 0;
  for (;;) {
    const int32_t available = AvailableBytes();
    if (available < 0) return -1;
    const int32_t piece = std::min(available, count - done);
    if (piece > 0 && !Buffer->Take(out + done, piece)) return -1;
    done += piece;
    if (done == count) return count;
    if (piece == 0) Sleep(1);
  }
}

int32_t TAsioClient::ReadInt(bool networkOrder) {
  uint32_t value = 0;
  if (ReadBytes(&value, 4) < 0) return -1;
  return static_cast<int32_t>(networkOrder ? ntohl(value) : value);
}

void TAsioClient::ReadString(int32_t count, std::string& text) {
  if (count < 0 || !WaitForBytes(count)) {
    text.clear();
    return;
  }
  text.resize(static_cast<size_t>(count));
  if (!Buffer->Take(text.data(), count)) text.clear();
}

int32_t TAsioClient::Send(const void* data, int32_t count) {
  const int32_t answer = Asio_Client_senddata(Handle, data, count);
  if (answer == 0) {
    Connected = false;
    return -1;
  }
  return answer;
}

int32_t TAsioClient::SendString(std::string_view text) { return Send(text.data(), static_cast<int32_t>(text.size())); }

int32_t TAsioClient::SendInt(int32_t value, bool networkOrder) {
  const uint32_t bits = networkOrder ? htonl(static_cast<uint32_t>(value)) : static_cast<uint32_t>(value);
  return Send(&bits, 4) < 0 ? -1 : 4;
}

int32_t TAsioClient::SendBuffer(const void* data, int32_t count) { return Send(data, count); }

void TAsioClient::FlushSendBuffer() {
  Buffer->SwapSendBuffers();
  TMemoryStream* sending = Buffer->SendBuf;
  Asio_senddata(sending, Handle, sending->Memory(), static_cast<int32_t>(sending->Position()));
  ++PendingSends;
}
