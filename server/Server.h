// The service's network side on Asio coroutines: an acceptor, one session per link, and the
// registry of links. A session gathers frames by their lengths, hands each request to the SQL
// workers (so a slow query never holds up another link) and writes the reply. A link that
// breaks the framing, stays silent too long, or comes when the link limit is reached is closed
// with a log line; nothing else is disturbed.
#pragma once

#include <asio.hpp>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "RequestHandler.h"
#include "SqlBackend.h"

namespace server {

struct TServerOptions {
  std::string Address = "127.0.0.1";
  uint16_t Port = 211;                    // 0 picks a free port
  int64_t MaxFrame = int64_t{256} << 20;  // bytes after the two length copies
  int MaxLinks = 10000;
  int IdleSeconds = 60;  // a link without any frame this long is closed
  int Workers = 4;       // SQL worker threads and database connections
  THandlerOptions Handler;
};

// Keeps the memory of a large result for the next one instead of handing it back to the
// system and faulting it in again page by page. Call once at start, before other threads.
void TuneAllocatorForLargeResults();

// One line per event on standard error, whole lines from any thread.
void LogLine(const std::string& line);

class TServer {
 public:
  TServer(asio::io_context& io, const TServerOptions& options, TBackendPool& pool);
  ~TServer();

  // Binds and starts accepting; raises when the address cannot be bound.
  void Start();
  uint16_t Port() const { return FPort; }
  // Stops accepting and closes every link; the io_context then runs out of work.
  void Stop();

 private:
  struct TLink;
  asio::awaitable<void> AcceptLoop();
  asio::awaitable<void> Serve(std::shared_ptr<TLink> link);
  asio::awaitable<std::string> Converse(TLink& link);
  asio::awaitable<void> Watch(std::shared_ptr<TLink> link);

  asio::io_context& FIo;
  TServerOptions FOptions;
  TBackendPool& FPool;
  asio::thread_pool FWorkers;
  asio::ip::tcp::acceptor FAcceptor;
  uint16_t FPort = 0;
  std::mutex FLock;  // guards FLinks
  std::set<std::shared_ptr<TLink>> FLinks;
  std::atomic<uint64_t> FNextLinkId{1};
  bool FStopped = false;
};

}  // namespace server
