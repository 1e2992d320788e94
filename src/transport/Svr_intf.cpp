// The asynchronous TCP library on standalone Asio. One event loop runs on the library's own
// thread: it accepts, reads, finishes asynchronous sends and closes links, and makes every
// callback. Client sends are written straight to the socket from the caller's thread, so that
// when Asio_Client_senddata returns the kernel has the bytes; a link's write mutex keeps its
// descriptor open during such a send.
#include "transport/Svr_intf.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <unistd.h>

#include <asio.hpp>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <future>
#include <memory>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <optional>
#include <sys/socket.h>
#include <thread>
#include <unordered_map>

namespace {

using asio::ip::tcp;

constexpr int kConnectTimeoutMs = 5000;
constexpr size_t kReadChunk = 256 * 1024;

std::atomic<void*> gCallbacks[5];

template <typename Routine, typename... Args>
void Callback(int id, Args... args) {
  if (auto routine = reinterpret_cast<Routine>(gCallbacks[id].load())) {
    try {
      routine(args...);
    } catch (...) {
      // A callback that throws must not take the event loop down with it.
    }
  }
}

struct TSend {
  void* Tag;
  const void* Data;
  int32_t Length;
};

// One link, accepted or opened by a client handle.
struct TLink {
  TLink(asio::io_context& io, int32_t handle, bool accepted) : Handle(handle), Accepted(accepted), Socket(io) {}

  const int32_t Handle;
  const bool Accepted;
  tcp::socket Socket;     // used on the loop thread only
  std::mutex WriteMutex;  // held by direct sends and by the close of the descriptor
  int Fd = -1;            // guarded by WriteMutex once the link is open
  std::atomic<bool> Open{false};
  std::atomic<bool> Closing{false};
  void* Context = nullptr;  // set before the first read, read on the loop thread
  std::unique_ptr<uint8_t[]> ReadBuffer;
  std::deque<TSend> Sends;  // loop thread only; the front one is being written
};

using TLinkPtr = std::shared_ptr<TLink>;

class TLibrary {
 public:
  // Never destroyed: links and callbacks may still be in use while the process exits.
  static TLibrary& Instance() {
    static TLibrary* library = new TLibrary;
    return *library;
  }

  bool EnsureRunning() {
    std::lock_guard lock(FMutex);
    if (FState == TState::Stopping) return false;
    if (FState == TState::Running) return true;
    FIo.restart();
    FWork.emplace(FIo.get_executor());
    FState = TState::Running;
    FLoopThread = std::thread([this] {
      FLoopThreadId = std::this_thread::get_id();
      FIo.run();
      FLoopThreadId = std::thread::id();
    });
    return true;
  }

  bool Listen(uint16_t port) {
    std::lock_guard lock(FMutex);
    if (FState != TState::Running) return false;
    if (FAcceptor) return true;
    try {
      auto acceptor = std::make_unique<tcp::acceptor>(FIo);
      const tcp::endpoint endpoint(asio::ip::make_address_v4("127.0.0.1"), port);
      acceptor->open(endpoint.protocol());
      acceptor->set_option(tcp::acceptor::reuse_address(true));
      acceptor->bind(endpoint);
      acceptor->listen();
      FAcceptor = std::move(acceptor);
    } catch (const std::exception&) {
      return false;
    }
    asio::post(FIo, [this] { Accept(); });
    return true;
  }

  void WaitUntilStopped() {
    std::unique_lock lock(FMutex);
    FStopped.wait(lock, [this] { return FState == TState::Stopped; });
  }

  bool Uninit() {
    {
      std::unique_lock lock(FMutex);
      if (OnLoopThread()) return false;
      if (FState == TState::Stopping) FStopped.wait(lock, [this] { return FState == TState::Stopped; });
      if (FState != TState::Running) return true;
      FState = TState::Stopping;
    }
    // Close everything on the loop; once the work guard is gone the loop runs the handlers
    // that the closes aborted and then returns.
    asio::post(FIo, [this] {
      std::unordered_map<int32_t, TLinkPtr> links;
      {
        std::lock_guard lock(FMutex);
        links.swap(FLinks);
        if (FAcceptor) {
          asio::error_code ignored;
          FAcceptor->close(ignored);
        }
      }
      for (auto& [handle, link] : links) CloseOnLoop(link);
      std::lock_guard lock(FMutex);
      FAcceptor.reset();
      FWork.reset();
    });
    FLoopThread.join();
    std::lock_guard lock(FMutex);
    FState = TState::Stopped;
    FStopped.notify_all();
    return true;
  }

  int32_t NewClientHandle() {
    if (!EnsureRunning()) return 0;
    std::lock_guard lock(FMutex);
    const int32_t handle = AllocateHandle();
    FLinks[handle] = std::make_shared<TLink>(FIo, handle, false);
    return handle;
  }

  bool Connect(int32_t handle, const char* host, int32_t port, void* context) {
    TLinkPtr link;
    {
      std::lock_guard lock(FMutex);
      auto found = FLinks.find(handle);
      if (FState != TState::Running || found == FLinks.end() || found->second->Accepted) return false;
      link = found->second;
    }
    // The old link's close is reported before the new one exists, so that its late report
    // cannot be taken for the new link's.
    if (link->Open) CloseAndWait(link);
    link = std::make_shared<TLink>(FIo, handle, false);
    {
      std::lock_guard lock(FMutex);
      FLinks[handle] = link;
    }
    const int fd = ConnectSocket(host, port);
    if (fd < 0) return false;
    asio::error_code error;
    link->Socket.assign(tcp::v4(), fd, error);
    if (error) {
      ::close(fd);
      return false;
    }
    {
      std::lock_guard lock(link->WriteMutex);
      link->Fd = fd;
    }
    link->Context = context;
    link->Open = true;
    asio::post(FIo, [this, link] { Read(link); });
    return true;
  }

  // Writes all bytes from the caller's thread; false when the link is gone.
  bool SendDirect(int32_t handle, const void* data, int32_t length) {
    TLinkPtr link = Find(handle);
    if (!link || !link->Open || link->Closing || length < 0) return false;
    std::unique_lock lock(link->WriteMutex);
    const auto* bytes = static_cast<const uint8_t*>(data);
    size_t left = static_cast<size_t>(length);
    while (left > 0) {
      if (link->Fd < 0 || link->Closing) return false;
      const ssize_t sent = ::send(link->Fd, bytes, left, MSG_NOSIGNAL);
      if (sent > 0) {
        bytes += sent;
        left -= static_cast<size_t>(sent);
      } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
        pollfd waiting{link->Fd, POLLOUT, 0};
        ::poll(&waiting, 1, 100);
      } else if (sent < 0 && errno == EINTR) {
        continue;
      } else {
        lock.unlock();
        RequestClose(link);
        return false;
      }
    }
    return true;
  }

  bool SendAsync(void* tag, int32_t handle, const void* data, int32_t length) {
    TLinkPtr link = Find(handle);
    if (!link || length < 0) return false;
    asio::post(FIo, [this, link, send = TSend{tag, data, length}] {
      link->Sends.push_back(send);
      if (link->Sends.size() == 1) WriteNext(link);
    });
    return true;
  }

  // A client's close is reported before this returns; an accepted link's close follows. For a
  // client handle that is gone, it still waits for the callback in progress, so that its owner
  // may be freed once this returns.
  bool Close(int32_t handle, bool accepted) {
    TLinkPtr link = Find(handle);
    if (!link && !accepted) Barrier();
    if (!link || link->Accepted != accepted) return false;
    if (link->Open) {
      accepted ? RequestClose(link) : CloseAndWait(link);
    } else {
      std::lock_guard lock(FMutex);
      FLinks.erase(handle);  // a handle that never connected: nothing to report
    }
    return true;
  }

 private:
  enum class TState { Stopped, Running, Stopping };

  bool OnLoopThread() const { return std::this_thread::get_id() == FLoopThreadId.load(); }

  TLinkPtr Find(int32_t handle) {
    std::lock_guard lock(FMutex);
    auto found = FLinks.find(handle);
    return found == FLinks.end() ? nullptr : found->second;
  }

  int32_t AllocateHandle() {
    while (true) {
      const int32_t handle = FNextHandle;
      FNextHandle = FNextHandle == INT32_MAX ? 1 : FNextHandle + 1;
      if (!FLinks.contains(handle)) return handle;
    }
  }

  // A blocking connect with a time limit, IPv4 only; answers the descriptor or -1.
  static int ConnectSocket(const char* host, int32_t port) {
    if (host == nullptr || port <= 0 || port > 65535) return -1;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* addresses = nullptr;
    if (::getaddrinfo(host, std::to_string(port).c_str(), &hints, &addresses) != 0) return -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kConnectTimeoutMs);
    int result = -1;
    for (addrinfo* a = addresses; a != nullptr && result < 0; a = a->ai_next) {
      const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
      if (fd < 0) continue;
      bool connected = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0;
      if (!connected && errno == EINPROGRESS) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd waiting{fd, POLLOUT, 0};
        int error = 0;
        socklen_t size = sizeof error;
        connected = left.count() > 0 && ::poll(&waiting, 1, static_cast<int>(left.count())) == 1 &&
                    ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
      }
      if (connected) {
        const int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        result = fd;
      } else {
        ::close(fd);
      }
    }
    ::freeaddrinfo(addresses);
    return result;
  }

  void Accept() {
    if (!FAcceptor) return;
    FAcceptor->async_accept([this](const asio::error_code& error, tcp::socket socket) {
      if (error == asio::error::operation_aborted || !FAcceptor || !FAcceptor->is_open()) return;
      if (!error) Accepted(std::move(socket));
      Accept();
    });
  }

  void Accepted(tcp::socket socket) {
    asio::error_code error;
    socket.set_option(tcp::no_delay(true), error);
    const tcp::endpoint peer = socket.remote_endpoint(error);
    if (error) return;
    TLinkPtr link;
    {
      std::lock_guard lock(FMutex);
      link = std::make_shared<TLink>(FIo, AllocateHandle(), true);
      link->Socket = std::move(socket);
      link->Fd = link->Socket.native_handle();
      link->Open = true;
      FLinks[link->Handle] = link;
    }
    const std::string address = peer.address().to_string();
    int32_t value = 0;
    Callback<Asio_AcceptCallback>(ASIO_CB_ACCEPT, link->Handle, address.c_str(), static_cast<int32_t>(peer.port()),
                                  &link->Context, &value);
    Read(link);
  }

  void Read(const TLinkPtr& link) {
    if (link->Closing) return;
    if (!link->ReadBuffer) link->ReadBuffer = std::make_unique_for_overwrite<uint8_t[]>(kReadChunk);
    link->Socket.async_read_some(
        asio::buffer(link->ReadBuffer.get(), kReadChunk), [this, link](const asio::error_code& error, size_t count) {
          if (link->Closing) return;
          if (error || count == 0) {
            CloseOnLoop(link);
            return;
          }
          Callback<Asio_ReceiveCallback>(ASIO_CB_RECEIVE, static_cast<const void*>(link->ReadBuffer.get()),
                                         static_cast<int32_t>(count), link->Context, 0);
          Read(link);
        });
  }

  // Sends of one link go out one after the other, in the order they were asked for; each
  // completion is reported, also when the link failed or closed before it.
  void WriteNext(const TLinkPtr& link) {
    const TSend send = link->Sends.front();
    const auto done = [this, link, tag = send.Tag](const asio::error_code& error, size_t) {
      Callback<Asio_SendCompleteCallback>(ASIO_CB_SEND_COMPLETE, link->Context, tag);
      if (error) RequestClose(link);
      link->Sends.pop_front();
      if (!link->Sends.empty()) WriteNext(link);
    };
    if (!link->Open || link->Closing) {
      asio::post(FIo, [done] { done(asio::error::not_connected, 0); });
      return;
    }
    asio::async_write(link->Socket, asio::buffer(send.Data, static_cast<size_t>(send.Length)), done);
  }

  // From any thread: wakes a sender blocked on the link at once, and lets the loop finish.
  void RequestClose(const TLinkPtr& link) {
    {
      std::lock_guard lock(link->WriteMutex);
      if (link->Fd >= 0) ::shutdown(link->Fd, SHUT_RDWR);
    }
    std::lock_guard lock(FMutex);
    if (FState == TState::Running) asio::post(FIo, [this, link] { CloseOnLoop(link); });
  }

  // Waits until the loop has finished what it is doing now (a callback, say).
  void Barrier() {
    if (OnLoopThread()) return;
    std::promise<void> passed;
    {
      std::lock_guard lock(FMutex);
      if (FState != TState::Running) return;
      asio::post(FIo, [&passed] { passed.set_value(); });
    }
    passed.get_future().wait();
  }

  // Like RequestClose, and waits until the loop has closed the link and reported it.
  void CloseAndWait(const TLinkPtr& link) {
    if (OnLoopThread()) {
      CloseOnLoop(link);
      return;
    }
    {
      std::lock_guard lock(link->WriteMutex);
      if (link->Fd >= 0) ::shutdown(link->Fd, SHUT_RDWR);
    }
    std::promise<void> closed;
    {
      // Posting under the mutex: a loop that is Running now runs this before it ends.
      std::lock_guard lock(FMutex);
      if (FState != TState::Running) return;
      asio::post(FIo, [this, link, &closed] {
        CloseOnLoop(link);
        closed.set_value();
      });
    }
    closed.get_future().wait();
  }

  // On the loop: closes the socket and reports callback 2, once per link.
  void CloseOnLoop(const TLinkPtr& link) {
    if (!link->Open || link->Closing.exchange(true)) return;
    {
      std::lock_guard lock(link->WriteMutex);
      asio::error_code ignored;
      link->Socket.close(ignored);
      link->Fd = -1;
    }
    {
      std::lock_guard lock(FMutex);
      auto found = FLinks.find(link->Handle);
      if (found != FLinks.end() && found->second == link) FLinks.erase(found);
    }
    Callback<Asio_DisconnectCallback>(ASIO_CB_DISCONNECT, link->Context);
  }

  std::mutex FMutex;  // guards everything below but the io_context itself
  asio::io_context FIo{1};
  std::optional<asio::executor_work_guard<asio::io_context::executor_type>> FWork;
  std::thread FLoopThread;
  std::atomic<std::thread::id> FLoopThreadId;
  std::unique_ptr<tcp::acceptor> FAcceptor;
  std::unordered_map<int32_t, TLinkPtr> FLinks;
  int32_t FNextHandle = 1;
  TState FState = TState::Stopped;
  std::condition_variable FStopped;
};

}  // namespace

extern "C" {

int32_t Asio_SetCallback(int32_t id, void* routine) {
  if (id < ASIO_CB_ACCEPT || id > ASIO_CB_SEND_COMPLETE) return 0;
  gCallbacks[id].store(routine);
  return 1;
}

int32_t Asio_init(int32_t port) {
  TLibrary& library = TLibrary::Instance();
  if (!library.EnsureRunning()) return 0;
  if (port > 0) return port <= 65535 && library.Listen(static_cast<uint16_t>(port)) ? 1 : 0;
  return 1;
}

int32_t Asio_SvrRun(void) {
  TLibrary::Instance().WaitUntilStopped();
  return 1;
}

int32_t Asio_Uninit(void) { return TLibrary::Instance().Uninit() ? 1 : 0; }

int32_t Asio_Client_init(int32_t* handle) {
  if (handle == nullptr) return 0;
  *handle = TLibrary::Instance().NewClientHandle();
  return *handle != 0 ? 1 : 0;
}

int32_t Asio_Client_conntosvr(int32_t handle, const char* host, int32_t port, void* context) {
  return TLibrary::Instance().Connect(handle, host, port, context) ? 1 : 0;
}

int32_t Asio_Client_senddata(int32_t handle, const void* data, int32_t length) {
  return TLibrary::Instance().SendDirect(handle, data, length) ? 1 : 0;
}

int32_t Asio_Client_DisConn(int32_t handle) { return TLibrary::Instance().Close(handle, false) ? 1 : 0; }

int32_t Asio_senddata(void* tag, int32_t handle, const void* data, int32_t length) {
  return TLibrary::Instance().SendAsync(tag, handle, data, length) ? 1 : 0;
}

int32_t Asio_closesocket(int32_t handle) { return TLibrary::Instance().Close(handle, true) ? 1 : 0; }

}  // extern "C"
