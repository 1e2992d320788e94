#include "Server.h"

#include <malloc.h>

#include <asio/experimental/as_tuple.hpp>

#include <chrono>
#include <cstdio>
#include <ctime>

#include "remote/UntBaseProctol.h"

namespace server {

using asio::ip::tcp;
using namespace std::chrono_literals;

void TuneAllocatorForLargeResults() {
  // A million-row result allocates and frees hundreds of megabytes in pieces. By default glibc
  // trims its heap after each and maps the larger pieces afresh, and every page is then zeroed
  // and faulted in again on the next request.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);  // the largest glibc accepts
  mallopt(M_TRIM_THRESHOLD, 512 << 20);
  mallopt(M_TOP_PAD, 64 << 20);
}

void LogLine(const std::string& line) {
  static std::mutex lock;
  char stamp[32];
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
  std::lock_guard guard(lock);
  std::fprintf(stderr, "%s %s\n", stamp, line.c_str());
}

namespace {

// Completion as (error, results...) instead of an exception.
constexpr auto kAsTuple = asio::experimental::as_tuple(asio::use_awaitable);

const char* CommandName(int32_t command) {
  switch (command) {
    case proto::CmdExecSQL: return "ExecSQL";
    case proto::CmdKeepAlive: return "KeepAlive";
    case proto::CmdBlobUpdate: return "BlobUpdate";
    case proto::CmdOpenSQL: return "OpenSQL";
    default: return "?";
  }
}

// A request on an SQL worker. A plain function, not a lambda: a coroutine's parameters live in
// its frame, a lambda's captures would not outlive the call that made it.
asio::awaitable<TOutcome> RunRequest(TBackendPool& pool, TRequest request, THandlerOptions options) {
  auto backend = pool.Acquire();
  co_return HandleRequest(request, *backend, options);
}

}  // namespace

struct TServer::TLink {
  TLink(tcp::socket s, uint64_t id) : Socket(std::move(s)), Timer(Socket.get_executor()), Id(id) {}
  tcp::socket Socket;
  asio::steady_timer Timer;
  const uint64_t Id;
  std::string Peer;
  std::chrono::steady_clock::time_point LastFrame = std::chrono::steady_clock::now();
  void Close() {
    asio::error_code ignored;
    Socket.shutdown(tcp::socket::shutdown_both, ignored);
    Socket.close(ignored);
    Timer.cancel();
  }
};

TServer::TServer(asio::io_context& io, const TServerOptions& options, TBackendPool& pool)
    : FIo(io),
      FOptions(options),
      FPool(pool),
      FWorkers(static_cast<size_t>(std::max(options.Workers, 1))),
      FAcceptor(io) {}

TServer::~TServer() { FWorkers.join(); }

void TServer::Start() {
  const tcp::endpoint endpoint(asio::ip::make_address(FOptions.Address), FOptions.Port);
  FAcceptor.open(endpoint.protocol());
  FAcceptor.set_option(tcp::acceptor::reuse_address(true));
  FAcceptor.bind(endpoint);
  FAcceptor.listen();
  FPort = FAcceptor.local_endpoint().port();
  asio::co_spawn(FIo, AcceptLoop(), asio::detached);
}

void TServer::Stop() {
  asio::post(FIo, [this] {
    FStopped = true;
    asio::error_code ignored;
    FAcceptor.close(ignored);
    std::lock_guard lock(FLock);
    for (const auto& link : FLinks) link->Close();
  });
}

asio::awaitable<void> TServer::AcceptLoop() {
  while (!FStopped) {
    auto [error, socket] = co_await FAcceptor.async_accept(kAsTuple);
    if (error) {
      if (FStopped || error == asio::error::operation_aborted) co_return;
      LogLine("accept failed: " + error.message());
      continue;
    }
    auto link = std::make_shared<TLink>(std::move(socket), FNextLinkId++);
    asio::error_code ignored;
    link->Socket.set_option(tcp::no_delay(true), ignored);
    const auto peer = link->Socket.remote_endpoint(ignored);
    link->Peer = peer.address().to_string() + ":" + std::to_string(peer.port());
    {
      std::lock_guard lock(FLock);
      if (static_cast<int>(FLinks.size()) >= FOptions.MaxLinks) {
        LogLine("link " + std::to_string(link->Id) + " from " + link->Peer + " refused: the limit of " +
                std::to_string(FOptions.MaxLinks) + " links is reached");
        link->Close();
        continue;
      }
      FLinks.insert(link);
    }
    asio::co_spawn(FIo, Serve(link), asio::detached);
    asio::co_spawn(FIo, Watch(link), asio::detached);
  }
}

asio::awaitable<void> TServer::Watch(std::shared_ptr<TLink> link) {
  const auto idle = std::chrono::seconds(FOptions.IdleSeconds);
  while (link->Socket.is_open()) {
    link->Timer.expires_at(link->LastFrame + idle);
    co_await link->Timer.async_wait(kAsTuple);  // expiry or cancellation: both looked at below
    if (!link->Socket.is_open()) co_return;
    if (std::chrono::steady_clock::now() - link->LastFrame >= idle) {
      LogLine("link " + std::to_string(link->Id) + " closed: no frame for " + std::to_string(FOptions.IdleSeconds) +
              " s");
      link->Close();
      co_return;
    }
  }
}

asio::awaitable<void> TServer::Serve(std::shared_ptr<TLink> link) {
  const std::string reason = co_await Converse(*link);
  LogLine("link " + std::to_string(link->Id) + " " + reason);
  link->Close();
  std::lock_guard lock(FLock);
  FLinks.erase(link);
}

// The link's conversation: the handshake, then frames until the link ends. Answers why it ended.
asio::awaitable<std::string> TServer::Converse(TLink& link) {
  const std::string name = "link " + std::to_string(link.Id);
  std::string buffer;
  char chunk[65536];
  bool shaken = false;
  while (true) {
    // Take every complete handshake or frame the buffer holds, then read more.
    while (true) {
      if (!shaken) {
        const TParseResult parsed = ParseHandshake(buffer);
        if (parsed.Outcome == TParse::NeedMore) break;
        const bool accepted = parsed.Outcome == TParse::Complete;
        const std::string answer = EncodeInt(accepted ? proto::kHandshakeAccepted : 1000);
        co_await asio::async_write(link.Socket, asio::buffer(answer), kAsTuple);
        if (!accepted) co_return "refused: " + parsed.Problem;
        buffer.erase(0, parsed.Consumed);
        shaken = true;
        LogLine(name + " from " + link.Peer + " accepted");
        continue;
      }
      TRequest request;
      const TParseResult parsed = ParseFrame(buffer, FOptions.MaxFrame, request);
      if (parsed.Outcome == TParse::NeedMore) break;
      if (parsed.Outcome == TParse::Bad) co_return "closed: " + parsed.Problem;
      buffer.erase(0, parsed.Consumed);
      link.LastFrame = std::chrono::steady_clock::now();
      if (request.Command == proto::CmdKeepAlive) continue;
      const int32_t command = request.Command;
      const auto started = std::chrono::steady_clock::now();
      const TOutcome outcome = co_await asio::co_spawn(
          FWorkers, RunRequest(FPool, std::move(request), FOptions.Handler), asio::use_awaitable);
      if (!outcome.Reply.empty()) {
        auto [error, written] = co_await asio::async_write(link.Socket, asio::buffer(outcome.Reply), kAsTuple);
        if (error) co_return "closed: " + error.message();
      }
      const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
      char line[128];
      std::snprintf(line, sizeof line, "%s %s %.1f ms rows=%lld payload=%lld", name.c_str(), CommandName(command), ms,
                    static_cast<long long>(outcome.Rows), static_cast<long long>(outcome.Payload));
      LogLine(line + (outcome.Error.empty() ? std::string() : " error: " + outcome.Error));
    }
    auto [error, count] = co_await link.Socket.async_read_some(asio::buffer(chunk), kAsTuple);
    if (error == asio::error::eof) co_return std::string("closed by the peer");
    if (error) co_return "closed: " + error.message();
    buffer.append(chunk, count);
  }
}

}  // namespace server
