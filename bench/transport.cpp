// Receiving a large stream through the client endpoint's blocking reads, against a plain
// blocking TCP socket pair on loopback in the same run; and the round trip of a 4-byte request
// and a 4-byte reply through SendInt and ReadInt.
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <cstring>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>
#include <vector>

#include "transport/untAsioClient.h"

namespace {

constexpr int64_t kStreamBytes = int64_t{256} << 20;
constexpr size_t kSendChunk = 1 << 20;

// A loopback listener that serves every accepted link on a thread of its own.
class TPlainServer {
 public:
  explicit TPlainServer(std::function<void(int fd)> serve) : FServe(std::move(serve)) {
    FListener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(FListener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(FListener, 4);
    socklen_t size = sizeof address;
    ::getsockname(FListener, reinterpret_cast<sockaddr*>(&address), &size);
    FPort = ntohs(address.sin_port);
    FThread = std::thread([this] {
      while (true) {
        const int fd = ::accept(FListener, nullptr, nullptr);
        if (fd < 0) return;
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        FServe(fd);
        ::close(fd);
      }
    });
  }
  ~TPlainServer() {
    ::shutdown(FListener, SHUT_RDWR);
    ::close(FListener);
    FThread.join();
  }
  uint16_t Port() const { return FPort; }

 private:
  std::function<void(int)> FServe;
  int FListener;
  uint16_t FPort;
  std::thread FThread;
};

void SendStream(int fd) {
  static const std::vector<char> chunk(kSendChunk, 'x');
  for (int64_t sent = 0; sent < kStreamBytes;) {
    const ssize_t n = ::send(fd, chunk.data(), std::min<int64_t>(kSendChunk, kStreamBytes - sent), MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += n;
  }
  // Keep the link up until the reader is done: bytes of a closed link cannot be read.
  char byte;
  while (::recv(fd, &byte, 1, 0) > 0) {
  }
}

void Echo4(int fd) {
  char request[4];
  while (::recv(fd, request, 4, MSG_WAITALL) == 4) ::send(fd, request, 4, MSG_NOSIGNAL);
}

int PlainConnect(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return fd;
}

// The whole stream in one ReadBytes, as a payload is received; or in pieces of range(0) bytes.
// One client serves every iteration, as one connection serves every request: its receive
// buffer keeps its memory from link to link.
void BM_ReadBytesStream(benchmark::State& state) {
  TPlainServer server(SendStream);
  const int32_t piece = state.range(0) == 0 ? static_cast<int32_t>(kStreamBytes) : static_cast<int32_t>(state.range(0));
  auto destination = std::make_unique_for_overwrite<char[]>(kStreamBytes);
  std::memset(destination.get(), 0, kStreamBytes);
  TAsioClient client;
  for (auto _ : state) {
    if (!client.Connect("127.0.0.1", server.Port())) state.SkipWithError("no connection");
    for (int64_t got = 0; got < kStreamBytes; got += piece) {
      if (client.ReadBytes(destination.get() + got, piece) != piece) state.SkipWithError("short read");
    }
    client.Disconnect();
  }
  state.SetBytesProcessed(state.iterations() * kStreamBytes);
}

void BM_PlainSocketStream(benchmark::State& state) {
  TPlainServer server(SendStream);
  auto destination = std::make_unique_for_overwrite<char[]>(kStreamBytes);
  std::memset(destination.get(), 0, kStreamBytes);
  for (auto _ : state) {
    const int fd = PlainConnect(server.Port());
    if (::recv(fd, destination.get(), kStreamBytes, MSG_WAITALL) != kStreamBytes) state.SkipWithError("short read");
    ::close(fd);
  }
  state.SetBytesProcessed(state.iterations() * kStreamBytes);
}

void BM_RoundTripSendIntReadInt(benchmark::State& state) {
  TPlainServer server(Echo4);
  TAsioClient client;
  if (!client.Connect("127.0.0.1", server.Port())) state.SkipWithError("no connection");
  int32_t value = 0;
  for (auto _ : state) {
    client.SendInt(++value, true);
    if (client.ReadInt(true) != value) state.SkipWithError("wrong reply");
  }
  client.Disconnect();
}

void BM_RoundTripPlainSocket(benchmark::State& state) {
  TPlainServer server(Echo4);
  const int fd = PlainConnect(server.Port());
  uint32_t value = 0;
  for (auto _ : state) {
    const uint32_t request = htonl(++value);
    uint32_t reply = 0;
    ::send(fd, &request, 4, 0);
    if (::recv(fd, &reply, 4, MSG_WAITALL) != 4 || reply != request) state.SkipWithError("wrong reply");
  }
  ::close(fd);
}

}  // namespace

BENCHMARK(BM_ReadBytesStream)->Arg(0)->Arg(1 << 20)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_PlainSocketStream)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_RoundTripSendIntReadInt)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_RoundTripPlainSocket)->Unit(benchmark::kMicrosecond)->UseRealTime();

BENCHMARK_MAIN();
