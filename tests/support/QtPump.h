// Runs the Qt event loop of the calling thread until a condition holds or time runs out.
#pragma once

#include <QCoreApplication>
#include <chrono>
#include <thread>

namespace test {

template <typename Condition>
bool PumpEventsUntil(Condition condition, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

}  // namespace test
