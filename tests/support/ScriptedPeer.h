// A scripted database service for tests: listens on 127.0.0.1, answers the handshake, gathers
// request frames by their lengths, records every byte and frame, and answers each frame with
// what the test's script returns. Links are served one at a time on the peer's own thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace test {

struct TFrame {
  int32_t Command = 0;
  std::string Text;     // the text field (commands 1, 6, 22)
  std::string Payload;  // the payload (command 6)
  std::string Raw;      // every byte of the frame, header included
};

class TScriptedPeer {
 public:
  // Answers a frame with bytes to send ("" for none); set drop to close the link afterwards.
  using TScript = std::function<std::string(const TFrame& frame, bool& drop)>;

  TScriptedPeer();
  ~TScriptedPeer();

  uint16_t Port() const { return FPort; }
  void SetScript(TScript script);
  std::atomic<int32_t> HandshakeAnswer{1001};

  std::vector<TFrame> Frames();
  std::string Received();
  int Links() const { return FLinks; }
  bool WaitForFrames(size_t count, int timeoutMs = 5000);
  bool WaitForLinkClosed(int timeoutMs = 5000);
  // Closes the link being served; the peer goes on accepting.
  void DropLink();

  static std::string Int(int32_t value);
  static std::string Error(const std::string& message);
  // A result reply: the status, then the plain bytes as a compressed payload.
  static std::string Result(int32_t status, const std::string& plain);

 private:
  void Serve();
  bool ServeLink(int fd);
  bool ReadExactly(int fd, std::string& bytes, size_t count);

  int FListener = -1;
  uint16_t FPort = 0;
  std::atomic<bool> FStopping{false};
  std::atomic<int> FLinks{0};
  std::atomic<int> FOpenLink{-1};
  std::atomic<int> FClosedLinks{0};
  std::mutex FLock;  // guards the three below
  TScript FScript;
  std::vector<TFrame> FFrames;
  std::string FReceived;
  std::thread FThread;
};

}  // namespace test
