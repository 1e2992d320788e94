// A plain blocking TCP peer on 127.0.0.1 for tests: listens on a free port, accepts links,
// and sends and receives exact byte strings, so that tests see the wire as it is.
#pragma once

#include <cstdint>
#include <string>

namespace test {

class TLoopbackPeer {
 public:
  TLoopbackPeer();  // listens on a free port
  ~TLoopbackPeer();
  TLoopbackPeer(const TLoopbackPeer&) = delete;
  TLoopbackPeer& operator=(const TLoopbackPeer&) = delete;

  uint16_t Port() const { return FPort; }
  // Waits up to timeoutMs for the next link; closes the previous one. False on time-out.
  bool Accept(int timeoutMs = 5000);
  void Send(const std::string& bytes);
  // Exactly count bytes, or what came before the link closed or timeoutMs passed.
  std::string Receive(size_t count, int timeoutMs = 5000);
  // True when the link delivers end of file within timeoutMs.
  bool WaitForClose(int timeoutMs = 5000);
  void CloseLink();
  void StopListening();

 private:
  int FListener = -1;
  int FLink = -1;
  uint16_t FPort = 0;
};

// A port on 127.0.0.1 that nothing listens on at the moment of the call.
uint16_t UnusedPort();

// Polls condition every millisecond for up to timeoutMs; answers its last value.
template <typename Condition>
bool WaitUntil(Condition condition, int timeoutMs = 5000);

// A blocking client socket connected to 127.0.0.1:port, or -1.
int ConnectTo(uint16_t port);

}  // namespace test

#include <chrono>
#include <thread>

template <typename Condition>
bool test::WaitUntil(Condition condition, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return condition();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}
