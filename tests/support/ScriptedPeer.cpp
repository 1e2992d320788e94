#include "ScriptedPeer.h"

#include <poll.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>

#include "common/PayloadCodec.h"

namespace test {

namespace {

int32_t GetInt(const std::string& bytes, size_t at) {
  uint32_t value;
  std::memcpy(&value, bytes.data() + at, 4);
  return static_cast<int32_t>(ntohl(value));
}

template <typename Condition>
bool Poll(Condition condition, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace

TScriptedPeer::TScriptedPeer() {
  FListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(FListener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(FListener, 8) != 0)
    throw std::runtime_error("scripted peer cannot listen");
  socklen_t size = sizeof address;
  ::getsockname(FListener, reinterpret_cast<sockaddr*>(&address), &size);
  FPort = ntohs(address.sin_port);
  FThread = std::thread([this] { Serve(); });
}

TScriptedPeer::~TScriptedPeer() {
  FStopping = true;
  DropLink();
  FThread.join();
  ::close(FListener);
}

void TScriptedPeer::SetScript(TScript script) {
  std::lock_guard lock(FLock);
  FScript = std::move(script);
}

std::vector<TFrame> TScriptedPeer::Frames() {
  std::lock_guard lock(FLock);
  return FFrames;
}

std::string TScriptedPeer::Received() {
  std::lock_guard lock(FLock);
  return FReceived;
}

bool TScriptedPeer::WaitForFrames(size_t count, int timeoutMs) {
  return Poll([&] { return Frames().size() >= count; }, timeoutMs);
}

bool TScriptedPeer::WaitForLinkClosed(int timeoutMs) {
  const int closed = FClosedLinks;
  return Poll([&] { return FClosedLinks > closed || (FOpenLink < 0 && FLinks > 0); }, timeoutMs);
}

void TScriptedPeer::DropLink() {
  const int fd = FOpenLink;
  if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
}

std::string TScriptedPeer::Int(int32_t value) {
  const uint32_t bits = htonl(static_cast<uint32_t>(value));
  return std::string(reinterpret_cast<const char*>(&bits), 4);
}

std::string TScriptedPeer::Error(const std::string& message) {
  return Int(-1) + Int(static_cast<int32_t>(message.size())) + message;
}

std::string TScriptedPeer::Result(int32_t status, const std::string& plain) {
  TMemoryStream stream;
  stream.WriteBuffer(plain.data(), static_cast<int64_t>(plain.size()));
  CompressStream(stream);
  const std::string payload(reinterpret_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
  return Int(status) + Int(static_cast<int32_t>(payload.size())) + payload;
}

bool TScriptedPeer::ReadExactly(int fd, std::string& bytes, size_t count) {
  bytes.clear();
  while (bytes.size() < count) {
    char chunk[65536];
    const ssize_t n = ::recv(fd, chunk, std::min(sizeof chunk, count - bytes.size()), 0);
    if (n <= 0) return false;
    bytes.append(chunk, static_cast<size_t>(n));
  }
  std::lock_guard lock(FLock);
  FReceived += bytes;
  return true;
}

void TScriptedPeer::Serve() {
  while (!FStopping) {
    pollfd waiting{FListener, POLLIN, 0};
    if (::poll(&waiting, 1, 20) != 1) continue;
    const int fd = ::accept4(FListener, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++FLinks;
    FOpenLink = fd;
    ServeLink(fd);
    FOpenLink = -1;
    ::close(fd);
    ++FClosedLinks;
  }
}

bool TScriptedPeer::ServeLink(int fd) {
  std::string bytes;
  if (!ReadExactly(fd, bytes, 8)) return false;
  const int32_t answer = HandshakeAnswer;
  const std::string reply = Int(answer);
  ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
  if (answer != 1001) {
    // A refused client closes the link; wait for that.
    char byte;
    while (::recv(fd, &byte, 1, 0) > 0) {
    }
    return false;
  }
  while (!FStopping) {
    std::string header, body;
    if (!ReadExactly(fd, header, 8)) return false;
    const int32_t length = GetInt(header, 0);
    if (length != GetInt(header, 4) || length < 4 || !ReadExactly(fd, body, static_cast<size_t>(length))) return false;
    TFrame frame;
    frame.Raw = header + body;
    frame.Command = GetInt(body, 0);
    if (frame.Command == 1 || frame.Command == 6 || frame.Command == 22) {
      const auto n = static_cast<size_t>(GetInt(body, 4));
      frame.Text = body.substr(8, n);
      if (frame.Command == 6) frame.Payload = body.substr(12 + n, static_cast<size_t>(GetInt(body, 8 + n)));
    }
    TScript script;
    {
      std::lock_guard lock(FLock);
      FFrames.push_back(frame);
      script = FScript;
    }
    bool drop = false;
    const std::string answerBytes = script ? script(frame, drop) : std::string();
    if (!answerBytes.empty()) ::send(fd, answerBytes.data(), answerBytes.size(), MSG_NOSIGNAL);
    if (drop) return true;
  }
  return true;
}

}  // namespace test
