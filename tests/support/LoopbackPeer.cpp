#include "LoopbackPeer.h"

#include <poll.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <stdexcept>
#include <sys/socket.h>

namespace test {

namespace {

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

bool Readable(int fd, int timeoutMs) {
  pollfd waiting{fd, POLLIN, 0};
  return ::poll(&waiting, 1, timeoutMs) == 1;
}

}  // namespace

TLoopbackPeer::TLoopbackPeer() {
  FListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int on = 1;
  ::setsockopt(FListener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address = Loopback(0);
  if (::bind(FListener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(FListener, 16) != 0)
    throw std::runtime_error("test peer cannot listen");
  socklen_t size = sizeof address;
  ::getsockname(FListener, reinterpret_cast<sockaddr*>(&address), &size);
  FPort = ntohs(address.sin_port);
}

TLoopbackPeer::~TLoopbackPeer() {
  CloseLink();
  StopListening();
}

bool TLoopbackPeer::Accept(int timeoutMs) {
  CloseLink();
  if (!Readable(FListener, timeoutMs)) return false;
  FLink = ::accept4(FListener, nullptr, nullptr, SOCK_CLOEXEC);
  const int on = 1;
  ::setsockopt(FLink, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return FLink >= 0;
}

void TLoopbackPeer::Send(const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(FLink, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) throw std::runtime_error("test peer cannot send");
    sent += static_cast<size_t>(n);
  }
}

std::string TLoopbackPeer::Receive(size_t count, int timeoutMs) {
  std::string bytes;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (bytes.size() < count) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !Readable(FLink, static_cast<int>(left.count()))) break;
    char chunk[65536];
    const ssize_t n = ::recv(FLink, chunk, std::min(sizeof chunk, count - bytes.size()), 0);
    if (n <= 0) break;
    bytes.append(chunk, static_cast<size_t>(n));
  }
  return bytes;
}

bool TLoopbackPeer::WaitForClose(int timeoutMs) {
  char byte;
  return Readable(FLink, timeoutMs) && ::recv(FLink, &byte, 1, MSG_PEEK) == 0;
}

void TLoopbackPeer::CloseLink() {
  if (FLink >= 0) ::close(FLink);
  FLink = -1;
}

void TLoopbackPeer::StopListening() {
  if (FListener >= 0) ::close(FListener);
  FListener = -1;
}

uint16_t UnusedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = Loopback(0);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t size = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  ::close(fd);
  return ntohs(address.sin_port);
}

int ConnectTo(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = Loopback(port);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace test
