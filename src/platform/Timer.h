// TTimer: the platform's timer on the Qt event loop of the thread that creates it, so its
// ticks arrive there (the GUI thread in the client). Enabled and Tag may be set from any
// thread; the interval is set on the owner's thread. Without a Qt application object the
// timer never ticks.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

class QThread;
class QTimer;

class TTimer {
 public:
  TTimer();
  ~TTimer();
  TTimer(const TTimer&) = delete;
  TTimer& operator=(const TTimer&) = delete;

  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool enabled);
  uint32_t Interval() const { return FInterval; }
  void SetInterval(uint32_t milliseconds);

  std::function<void(TTimer&)> OnTimer;
  std::atomic<int32_t> Tag{0};

 private:
  bool OnOwnerThread() const;

  std::unique_ptr<QTimer> FTimer;
  QThread* FOwner = nullptr;
  std::atomic<bool> FEnabled{false};
  std::atomic<uint32_t> FInterval{1000};
};
