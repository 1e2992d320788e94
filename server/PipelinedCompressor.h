// TPipelinedCompressor: compresses a document into the payload layout on a thread of its own
// while the caller writes the next pieces, so that writing and deflating a large result take
// two cores instead of one after the other. Pieces change hands without copying; at most a few
// are in flight, and their buffers are reused. An error of the compressing thread reaches the
// caller at its next Write or at Finish; destroying the object unfinished stops that thread.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/PayloadCodec.h"

namespace server {

class TPipelinedCompressor {
 public:
  TPipelinedCompressor(TStream& destination, int level);
  ~TPipelinedCompressor();
  TPipelinedCompressor(const TPipelinedCompressor&) = delete;
  TPipelinedCompressor& operator=(const TPipelinedCompressor&) = delete;

  // Takes the piece's content; piece is left holding an empty reused buffer.
  void Write(std::string& piece);
  // Waits until everything written is compressed and ends the payload.
  void Finish();

 private:
  static constexpr size_t kInFlight = 3;

  void Run();
  void Stop();
  void RethrowFailure();

  TPayloadCompressor FCompressor;
  std::mutex FLock;
  std::condition_variable FChanged;
  std::deque<std::string> FPending;  // guarded by FLock
  std::vector<std::string> FSpare;   // emptied buffers for the writer; guarded by FLock
  bool FEnding = false;              // guarded by FLock
  std::exception_ptr FFailure;       // guarded by FLock
  std::thread FThread;
};

}  // namespace server
