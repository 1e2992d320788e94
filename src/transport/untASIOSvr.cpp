#include "transport/untASIOSvr.h"

#include <algorithm>

#include "platform/Ticks.h"
#include "transport/Svr_intf.h"

std::unique_ptr<TAsioSvr> AsioSvr;
std::atomic<TAsioSvr*> CurrentAsioSvr{nullptr};

namespace {

constexpr uint32_t kWorkerPassPauseMs = 10;

std::mutex gEnsureLock;

uint32_t NowTick() {
  TAsioSvr* server = CurrentAsioSvr.load();
  return server != nullptr ? server->Now() : GetTickCount();
}

}  // namespace

// ---- the library's callbacks ----

void AcceptCallback(int32_t handle, const char* peerAddress, int32_t peerPort, void** context, int32_t* value) {
  TAsioSvr* server = CurrentAsioSvr.load();
  *value = 8;
  if (server == nullptr) return;
  const std::string key = std::string(peerAddress) + ":" + std::to_string(peerPort);
  const uint32_t now = server->Now();
  TAsioClient* connection;
  {
    std::lock_guard lock(server->Lock);
    auto found = server->Clients.find(key);
    if (found != server->Clients.end()) {
      // The same peer address and port again: the registered object is revived.
      connection = found->second;
      connection->ConnectTick = now;
      connection->LastActiveTick = now;
      connection->BytesReceived = 0;
      connection->BytesSent = 0;
    } else {
      connection = new TAsioClient;
      connection->Server = server;
      connection->ConnectTick = now;
      connection->LastActiveTick = now;
      connection->PeerIP = peerAddress;
      connection->PeerPort = static_cast<uint16_t>(peerPort);
      connection->Handle = handle;
      connection->Key = key;
      server->Clients.emplace(key, connection);
    }
    connection->Kind = TAsioClient::kKindAccepted;
    // Accepted links are read with the same blocking reads, which need the link up.
    connection->Connected = true;
  }
  *context = connection;
  if (server->OnConnect) server->OnConnect(connection);
}

void DisconnectCallback(void* context) {
  if (context == nullptr) return;
  auto* connection = static_cast<TAsioClient*>(context);
  connection->Handle = 0;
  connection->Connected = false;
  if (connection->ClosedTick != 0) return;
  TAsioSvr* server = CurrentAsioSvr.load();
  if (connection->Kind != TAsioClient::kKindAccepted) {
    if (server != nullptr && server->OnDisconnect) server->OnDisconnect(connection);
    return;
  }
  if (server == nullptr) return;
  std::lock_guard lock(server->Lock);
  connection->ClosedTick = server->Now();
  try {
    if (server->OnDisconnect) server->OnDisconnect(connection);
  } catch (...) {
    // The move below happens all the same; the hook is not supposed to throw.
  }
  server->Clients.erase(connection->Key);
  server->ClosedClients.push_back(connection);
}

void ReceiveCallback(const void* data, int32_t count, void* context, int32_t /*reserved*/) {
  if (context == nullptr) return;
  auto* connection = static_cast<TAsioClient*>(context);
  try {
    connection->BytesReceived += static_cast<uint32_t>(count);
    connection->LastActiveTick = NowTick();
    connection->Buffer->Append(data, count);
    TAsioSvr* server = CurrentAsioSvr.load();
    if (server != nullptr && server->OnReceive) server->OnReceive(connection, data, count);
  } catch (...) {
  }
}

void SendCompleteCallback(void* context, void* tag) {
  if (context == nullptr) return;
  auto* connection = static_cast<TAsioClient*>(context);
  try {
    connection->LastActiveTick = NowTick();
    const auto count = static_cast<int32_t>(static_cast<TMemoryStream*>(tag)->Position());
    connection->BytesSent += static_cast<uint32_t>(count);
    {
      std::lock_guard lock(connection->Buffer->SendLock);
      --connection->PendingSends;
      if (connection->Buffer->FillBuf->Position() > 0) connection->FlushSendBuffer();
    }
    TAsioSvr* server = CurrentAsioSvr.load();
    if (server != nullptr && server->OnSendDone) server->OnSendDone(connection, nullptr, count);
  } catch (...) {
  }
}

// ---- TMainthread ----

TMainthread::TMainthread(TAsioSvr* server) : Server(server) {}

TMainthread::~TMainthread() {
  if (FThread.joinable()) FThread.join();
}

void TMainthread::Resume() {
  FThread = std::thread([server = Server] {
    {
      std::lock_guard lock(server->StartLock);
      if (server->Stopping) return;
      Asio_init(server->Port);
    }
    try {
      Asio_SvrRun();
    } catch (...) {
    }
    Asio_Uninit();
  });
}

// ---- TWorkThread ----

TWorkThread::TWorkThread(TAsioThreadPool* pool) : Pool(pool) {}

TWorkThread::~TWorkThread() {
  Stop();
  if (FThread.joinable()) FThread.join();
}

void TWorkThread::Resume() {
  if (!FThread.joinable()) FThread = std::thread([this] { Execute(); });
}

void TWorkThread::Stop() {
  std::lock_guard lock(FStopLock);
  FStopped = true;
  FStopSignal.notify_all();
}

void TWorkThread::Execute() {
  TAsioSvr* server = Pool->Server;
  const auto stopped = [this] {
    std::lock_guard lock(FStopLock);
    return FStopped;
  };
  while (true) {
    // A snapshot: the hook runs without Lock, so that accepts and closes are never held up
    // by it. Only this thread frees connections, so the pointers stay valid for the pass.
    for (TAsioClient* connection : server->RegisteredClients()) {
      if (stopped()) break;
      // A link whose hook consumed nothing waits for new bytes instead of being spun on.
      const bool stalled = connection->StalledAt == connection->Buffer->TotalAppended;
      if (stalled) continue;
      if (connection->DataReady && connection->ClosedTick == 0) {
        Current = connection;
        ProcessConnection();
      } else if (TickLimitPassed(connection->LastProcessedTick, server->Now(), TAsioSvr::kRecheckDelay) &&
                 connection->Buffer->UnreadCount() >= connection->Buffer->HeaderSize) {
        connection->DataReady = true;
      }
    }
    server->ReapConnections();
    std::unique_lock lock(FStopLock);
    if (FStopSignal.wait_for(lock, std::chrono::milliseconds(kWorkerPassPauseMs), [this] { return FStopped; })) break;
  }
}

void TWorkThread::ProcessConnection() {
  TAsioClient* connection = Current;
  TAsioSvr* server = Pool->Server;
  TAsioDataBuffer& buffer = *connection->Buffer;
  connection->Busy = true;
  while (buffer.UnreadCount() >= buffer.HeaderSize) {
    if (connection->ClosedTick != 0) break;
    const int64_t takenBefore = buffer.TotalTaken;
    const int64_t appendedBefore = buffer.TotalAppended;
    if (server->OnPacket) {
      try {
        server->OnPacket(connection, buffer.HeaderSize);
      } catch (...) {
      }
    }
    buffer.Compact();
    connection->LastProcessedTick = server->Now();
    if (buffer.TotalTaken == takenBefore) {
      connection->StalledAt = appendedBefore;
      break;
    }
  }
  connection->Busy = false;
  Current = nullptr;
}

// ---- TAsioThreadPool ----

TAsioThreadPool::TAsioThreadPool(TAsioSvr* server, int workerCount) : Server(server) {
  for (int i = 0; i < std::max(workerCount, 1); ++i) Workers.push_back(std::make_unique<TWorkThread>(this));
}

TAsioThreadPool::~TAsioThreadPool() {
  for (auto& worker : Workers) worker->Stop();
  Workers.clear();
}

// ---- TAsioSvr ----

uint32_t TAsioSvr::GetTickCountSource() { return GetTickCount(); }

TAsioSvr::TAsioSvr(int workerCount) {
  CurrentAsioSvr = this;
  Pool = std::make_unique<TAsioThreadPool>(this, workerCount);
  Asio_SetCallback(ASIO_CB_ACCEPT, reinterpret_cast<void*>(&AcceptCallback));
  Asio_SetCallback(ASIO_CB_DISCONNECT, reinterpret_cast<void*>(&DisconnectCallback));
  Asio_SetCallback(ASIO_CB_RECEIVE, reinterpret_cast<void*>(&ReceiveCallback));
  Asio_SetCallback(ASIO_CB_SEND_COMPLETE, reinterpret_cast<void*>(&SendCompleteCallback));
  Pool->Workers.front()->Resume();
}

TAsioSvr::~TAsioSvr() {
  {
    std::lock_guard lock(StartLock);
    Stopping = true;
  }
  Asio_Uninit();
  Pool.reset();
  MainThread.reset();
  TAsioSvr* self = this;
  CurrentAsioSvr.compare_exchange_strong(self, nullptr);
  std::lock_guard lock(Lock);
  for (auto& [key, connection] : Clients) delete connection;
  for (TAsioClient* connection : ClosedClients) delete connection;
}

bool TAsioSvr::Start(uint16_t port) {
  Port = port;
  MainThread = std::make_unique<TMainthread>(this);
  MainThread->Resume();
  return true;
}

void TAsioSvr::ReapConnections() {
  const uint32_t now = Now();
  if (!TickLimitPassed(LastReapTick, now, kReapInterval)) return;
  LastReapTick = now;
  std::vector<TAsioClient*> freeable;
  {
    std::lock_guard lock(Lock);
    for (auto it = ClosedClients.rbegin(); it != ClosedClients.rend();) {
      TAsioClient* connection = *it;
      if (connection->PendingSends != 0 || !TickLimitPassed(connection->ClosedTick, now, kFreeDelay)) {
        ++it;
        continue;
      }
      freeable.push_back(connection);
      it = std::make_reverse_iterator(ClosedClients.erase(std::next(it).base()));
    }
    for (auto& [key, connection] : Clients) {
      if (TickLimitPassed(connection->LastActiveTick, now, IdleTimeout) && connection->Handle > 0) {
        try {
          Asio_closesocket(connection->Handle);
        } catch (...) {
        }
        connection->Handle = 0;
      }
    }
  }
  for (TAsioClient* connection : freeable) {
    try {
      delete connection;
    } catch (...) {
    }
  }
}

std::vector<TAsioClient*> TAsioSvr::RegisteredClients() {
  std::lock_guard lock(Lock);
  std::vector<TAsioClient*> clients;
  clients.reserve(Clients.size());
  for (auto& [key, connection] : Clients) clients.push_back(connection);
  return clients;
}

std::vector<TAsioClient*> TAsioSvr::ClosedClientList() {
  std::lock_guard lock(Lock);
  return ClosedClients;
}

TAsioClient* TAsioSvr::FindClient(const std::string& key) {
  std::lock_guard lock(Lock);
  auto found = Clients.find(key);
  return found == Clients.end() ? nullptr : found->second;
}

void EnsureProcessDispatcher() {
  std::lock_guard lock(gEnsureLock);
  if (AsioSvr || CurrentAsioSvr.load() != nullptr) return;
  AsioSvr = std::make_unique<TAsioSvr>(1);
  AsioSvr->Start(0);
}
