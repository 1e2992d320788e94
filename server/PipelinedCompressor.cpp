#include "PipelinedCompressor.h"

namespace server {

TPipelinedCompressor::TPipelinedCompressor(TStream& destination, int level)
    : FCompressor(destination, level), FThread([this] { Run(); }) {}

TPipelinedCompressor::~TPipelinedCompressor() { Stop(); }

void TPipelinedCompressor::Write(std::string& piece) {
  std::unique_lock lock(FLock);
  FChanged.wait(lock, [this] { return FPending.size() < kInFlight || FFailure; });
  if (FFailure) std::rethrow_exception(FFailure);
  FPending.push_back(std::move(piece));
  piece = std::string();
  if (!FSpare.empty()) {
    piece.swap(FSpare.back());
    FSpare.pop_back();
  }
  FChanged.notify_all();
}

void TPipelinedCompressor::Finish() {
  Stop();
  RethrowFailure();
  FCompressor.Finish();
}

void TPipelinedCompressor::Stop() {
  {
    std::lock_guard lock(FLock);
    FEnding = true;
  }
  FChanged.notify_all();
  if (FThread.joinable()) FThread.join();
}

void TPipelinedCompressor::RethrowFailure() {
  std::lock_guard lock(FLock);
  if (FFailure) std::rethrow_exception(FFailure);
}

void TPipelinedCompressor::Run() {
  std::unique_lock lock(FLock);
  for (;;) {
    FChanged.wait(lock, [this] { return !FPending.empty() || FEnding; });
    if (FPending.empty()) return;  // ending, and everything is compressed
    std::string piece = std::move(FPending.front());
    FPending.pop_front();
    FChanged.notify_all();
    lock.unlock();
    try {
      FCompressor.Write(piece.data(), static_cast<int64_t>(piece.size()));
    } catch (...) {
      lock.lock();
      FFailure = std::current_exception();
      FPending.clear();
      FChanged.notify_all();
      return;
    }
    piece.clear();
    lock.lock();
    FSpare.push_back(std::move(piece));
  }
}

}  // namespace server
