#include "local/untFunctions.h"

#include "platform/Format.h"
#include "platform/SysUtils.h"
#include "platform/Ticks.h"

TDBMrg* DBMrg = nullptr;

namespace {

constexpr const char* kPoolFull =
    "AdoQuery已经达到最大限制数量！缓冲池不允许再添加新对象\r请检查是否由于忘记回归ADOQUERY所导致";
constexpr const char* kHeld = "-1";

uint32_t SystemTicks() { return GetTickCount(); }

bool IsComponentName(const std::string& name) {
  if (name.empty() || (name[0] >= '0' && name[0] <= '9')) return false;
  for (const char c : name)
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) return false;
  return true;
}

// Frees the pool DBMrg refers to when the process ends; errors then are of no use to anyone.
struct TPoolFinalizer {
  ~TPoolFinalizer() {
    try {
      if (DBMrg != nullptr && DBMrg->FreeAtExit) delete DBMrg;
    } catch (...) {
    }
    DBMrg = nullptr;
  }
} gPoolFinalizer;

}  // namespace

// ---- TCheckThread ----

TCheckThread::TCheckThread(TDBMrg* queryPool, TPoolTickSource tick)
    : LastCheckTick(tick()), QueryPool(queryPool), FTick(tick), FThread([this] { Execute(); }) {}

TCheckThread::~TCheckThread() {
  Terminate();
  if (FThread.joinable()) FThread.join();
}

void TCheckThread::Terminate() {
  std::lock_guard lock(FStopLock);
  FTerminated = true;
  FStopSignal.notify_all();
}

void TCheckThread::Execute() {
  std::unique_lock lock(FStopLock);
  while (!FTerminated) {
    if (TicksSince(LastCheckTick, FTick()) < kPassInterval) {
      FStopSignal.wait_for(lock, std::chrono::milliseconds(kPollInterval));
      continue;
    }
    LastCheckTick = FTick();
    lock.unlock();
    QueryPool->CheckPass();
    ++FPasses;
    lock.lock();
  }
}

// ---- TDBMrg ----

std::string TDBMrg::BuildJetConnectionString(const std::string& fileName, const std::string& password) {
  if (!password.empty())
    return Format(
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=%s;Persist Security Info=True;Jet OLEDB:Database Password=%s;",
        {fileName, password});
  return Format(
      "Provider=Microsoft.Jet.OLEDB.4.0;Password=\"\";Data Source=%s;Mode=Share Deny None; Extended Properties = \"\"",
      {fileName});
}

TDBMrg::TDBMrg(const std::string& connectionString, int32_t connectionTimeout, int32_t initialCount,
               TPoolTickSource tick)
    : LocalConnection(std::make_unique<TADOConnection>()) {
  LocalConnection->ConnectionTimeout = connectionTimeout;
  LocalConnection->LoginPrompt = false;
  LocalConnection->ConnectionString = connectionString;
  try {
    LocalConnection->Open();
  } catch (const Exception&) {
    // The pool works without its file; a query fails later only if it needs the connection.
  }
  for (int32_t i = 0; i <= initialCount; ++i) AcquireQuery(1, "");
  CheckThread = std::make_unique<TCheckThread>(this, tick != nullptr ? tick : &SystemTicks);
}

TDBMrg::~TDBMrg() {
  CheckThread.reset();  // stopped and joined before the entries go
  std::lock_guard lock(FLock);
  Entries.clear();
  if (!OwnsConnection) LocalConnection.release();
}

void TDBMrg::CheckNotFull() {
  if (static_cast<int32_t>(Entries.size()) > MaxCount) throw Exception(kPoolFull);
}

TADOQuery* TDBMrg::FindNamed(const std::string& componentName, std::string* newState) {
  for (TEntry& entry : Entries) {
    if (entry.Query->Name == componentName) {
      if (newState) entry.State = *newState;
      return entry.Query.get();
    }
  }
  return nullptr;
}

TADOQuery* TDBMrg::Append(const std::string& componentName, const std::string& state) {
  if (!IsComponentName(componentName)) throw EComponentError("''" + componentName + "'' is not a valid component name");
  auto query = std::make_unique<TADOQuery>();
  query->Name = componentName;
  query->Connection = LocalConnection.get();
  Entries.push_back({state, std::move(query)});
  return Entries.back().Query.get();
}

TADOQuery* TDBMrg::GetQuery(const std::string& name) {
  std::lock_guard lock(FLock);
  CheckNotFull();
  if (name.empty()) return nullptr;
  const std::string componentName = "MyPool" + name;
  if (TADOQuery* query = FindNamed(componentName, nullptr)) return query;
  return Append(componentName, kHeld);
}

TADOQuery* TDBMrg::AcquireQuery(int32_t lease, const std::string& name) {
  std::string leaseText = lease == 0 ? "" : IntToStr(lease);
  std::lock_guard lock(FLock);
  CheckNotFull();
  if (!name.empty()) {
    const std::string componentName = "MyPool" + name;
    if (TADOQuery* query = FindNamed(componentName, &leaseText)) return query;
    return Append(componentName, kHeld);
  }
  for (TEntry& entry : Entries) {
    if (entry.State.empty()) {
      entry.State = leaseText;
      return entry.Query.get();
    }
  }
  TADOQuery* query = Append("MyPool" + IntToStr(NameCounter + 1), leaseText);
  ++NameCounter;
  return query;
}

int32_t TDBMrg::QueryCount() {
  std::lock_guard lock(FLock);
  return static_cast<int32_t>(Entries.size());
}

std::string TDBMrg::EntryState(int32_t index) {
  std::lock_guard lock(FLock);
  return Entries.at(static_cast<size_t>(index)).State;
}

void TDBMrg::CheckPass() {
  std::lock_guard lock(FLock);
  for (auto it = Entries.rbegin(); it != Entries.rend(); ++it) {
    std::string& state = it->State;
    if (state.empty()) continue;
    try {
      const int32_t lease = StrToInt(state);
      if (lease == -1) continue;
      state = lease == 0 ? "" : Format("%d", {lease - 1});
    } catch (const Exception&) {
      state.clear();
    }
  }
}
