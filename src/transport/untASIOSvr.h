// The event dispatcher: owns the transport library's event loop, turns its four callbacks into
// changes on connection objects and into optional hooks, and keeps the links that peers open:
// a registry by peer address, a worker that hands buffered bytes to the packet hook, and a
// reaper that closes idle links and frees closed ones.
//
// Threads: the dispatcher thread sits in Asio_SvrRun; the library's thread runs the callbacks;
// one worker runs the passes, the packet hook and the reaper. Lock guards Clients and
// ClosedClients. The dispatcher owns the connection objects it registered. Hooks are set
// before Start and not changed afterwards.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "transport/untAsioClient.h"

class TAsioSvr;
class TAsioThreadPool;

// Runs the library's event loop for the dispatcher's lifetime.
class TMainthread {
 public:
  explicit TMainthread(TAsioSvr* server);
  ~TMainthread();  // joins
  void Resume();

  TAsioSvr* const Server;

 private:
  std::thread FThread;
};

// Visits the registry every 10 ms, processes links with data ready, and runs the reaper.
class TWorkThread {
 public:
  explicit TWorkThread(TAsioThreadPool* pool);
  ~TWorkThread();  // stops and joins
  void Resume();
  void Stop();

  TAsioThreadPool* const Pool;
  TAsioClient* Current = nullptr;  // worker thread only

 private:
  void Execute();
  void ProcessConnection();

  std::thread FThread;
  std::mutex FStopLock;
  std::condition_variable FStopSignal;
  bool FStopped = false;  // guarded by FStopLock
};

class TAsioThreadPool {
 public:
  TAsioThreadPool(TAsioSvr* server, int workerCount);
  ~TAsioThreadPool();  // stops every worker, then joins them

  std::vector<std::unique_ptr<TWorkThread>> Workers;
  TAsioSvr* const Server;
};

using TTickSource = uint32_t (*)();

class TAsioSvr {
 public:
  static constexpr uint32_t kDefaultIdleTimeout = 50000;
  static constexpr uint32_t kReapInterval = 5000;
  static constexpr uint32_t kFreeDelay = 3000;
  static constexpr uint32_t kRecheckDelay = 3000;

  // Makes itself the dispatcher the callbacks use, registers them, and starts one worker
  // (further workers stay idle). workerCount is at least 1.
  explicit TAsioSvr(int workerCount);
  // Uninitialises the library (every link reports its close), stops and joins the worker and
  // the dispatcher thread, then frees the connections still registered.
  ~TAsioSvr();
  TAsioSvr(const TAsioSvr&) = delete;
  TAsioSvr& operator=(const TAsioSvr&) = delete;

  // Starts the dispatcher thread, which runs Asio_init(port) and the loop. A port above 0
  // listens on 127.0.0.1.
  bool Start(uint16_t port);
  // Frees links closed more than 3000 ms ago with no send pending, and closes links idle for
  // more than IdleTimeout; at most once per 5000 ms.
  void ReapConnections();

  uint32_t Now() const { return Tick.load()(); }
  // Registry snapshots, for the worker and for tests.
  std::vector<TAsioClient*> RegisteredClients();
  std::vector<TAsioClient*> ClosedClientList();
  TAsioClient* FindClient(const std::string& key);

  std::unique_ptr<TMainthread> MainThread;
  uint16_t Port = 0;
  uint32_t IdleTimeout = kDefaultIdleTimeout;
  std::mutex Lock;
  std::function<void(TAsioClient*)> OnConnect;
  std::function<void(TAsioClient*)> OnDisconnect;
  std::function<void(TAsioClient*, const void*, int32_t)> OnReceive;
  std::function<void(TAsioClient*, const void*, int32_t)> OnSendDone;
  std::function<void(TAsioClient*, int32_t)> OnPacket;
  std::unique_ptr<TAsioThreadPool> Pool;
  std::unordered_map<std::string, TAsioClient*> Clients;  // guarded by Lock; owned
  std::vector<TAsioClient*> ClosedClients;                // guarded by Lock; owned
  std::atomic<uint32_t> LastReapTick{0};
  // The millisecond tick source; tests replace it to test the thresholds exactly.
  std::atomic<TTickSource> Tick{&GetTickCountSource};

  // The destructor sets Stopping under StartLock, so that a dispatcher thread which has not
  // yet called Asio_init never calls it after the library was uninitialised.
  std::mutex StartLock;
  bool Stopping = false;

 private:
  static uint32_t GetTickCountSource();
};

// The dispatcher created by EnsureProcessDispatcher, freed at the end of the process.
extern std::unique_ptr<TAsioSvr> AsioSvr;
// The dispatcher the library's callbacks use: the most recently constructed one, cleared when
// that one is destroyed.
extern std::atomic<TAsioSvr*> CurrentAsioSvr;

// Creates AsioSvr with one worker and starts it on port 0 unless a dispatcher exists.
void EnsureProcessDispatcher();

// The four callbacks the dispatcher registers with the library (ids 1 to 4), on the library's
// thread. Receive and send-complete drop every exception; accept and disconnect expect hooks
// that do not throw.
void AcceptCallback(int32_t handle, const char* peerAddress, int32_t peerPort, void** context, int32_t* value);
void DisconnectCallback(void* context);
void ReceiveCallback(const void* data, int32_t count, void* context, int32_t reserved);
void SendCompleteCallback(void* context, void* tag);
