// TDBMrg, the pool of named ADO queries on the local Jet database. Queries are asked for by
// name (held for the pool's life) or taken unnamed for a lease of some checking passes, after
// which TCheckThread marks them free again. The pool owns its queries and its connection.
//
// Threads: the GUI thread makes every request; the checking thread runs a pass about once a
// second. FLock guards Entries; Destroy stops and joins the checking thread before freeing.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "data/ADOConnection.h"
#include "data/DataSet.h"

class TDBMrg;

using TPoolTickSource = uint32_t (*)();

class TCheckThread {
 public:
  static constexpr uint32_t kPassInterval = 1000;  // ms between passes
  static constexpr uint32_t kPollInterval = 100;   // ms between looks at the clock

  TCheckThread(TDBMrg* queryPool, TPoolTickSource tick);
  ~TCheckThread();  // stops and joins
  void Terminate();
  // Passes run so far; tests wait on it.
  uint64_t Passes() const { return FPasses; }

  uint32_t LastCheckTick;
  TDBMrg* const QueryPool;

 private:
  void Execute();

  TPoolTickSource FTick;
  std::mutex FStopLock;
  std::condition_variable FStopSignal;
  bool FTerminated = false;
  std::atomic<uint64_t> FPasses{0};
  std::thread FThread;
};

class TDBMrg {
 public:
  static constexpr int32_t kDefaultMaxCount = 500;

  // The connection timeout in seconds; initialCount + 1 unnamed queries are prepared, each on
  // a lease of one pass. A connection that does not open is not an error here.
  TDBMrg(const std::string& connectionString, int32_t connectionTimeout, int32_t initialCount,
         TPoolTickSource tick = nullptr);
  ~TDBMrg();
  TDBMrg(const TDBMrg&) = delete;
  TDBMrg& operator=(const TDBMrg&) = delete;

  // The query named "MyPool" + name, created held when absent; null for the empty name.
  TADOQuery* GetQuery(const std::string& name);
  // An unnamed query on a lease of that many passes (free at once for 0), or the named one.
  TADOQuery* AcquireQuery(int32_t lease, const std::string& name = "");
  int32_t QueryCount();
  // The state text of entry index ("-1" held, "" free, "N" leased).
  std::string EntryState(int32_t index);
  // One checking pass: leases count down, "0" becomes free. Run by the checking thread.
  void CheckPass();

  static std::string BuildJetConnectionString(const std::string& fileName, const std::string& password);

  std::unique_ptr<TADOConnection> LocalConnection;
  int32_t NameCounter = 0;
  bool OwnsConnection = true;
  int32_t MaxCount = kDefaultMaxCount;
  std::unique_ptr<TCheckThread> CheckThread;
  bool FreeAtExit = true;

 private:
  struct TEntry {
    std::string State;
    std::unique_ptr<TADOQuery> Query;
  };

  void CheckNotFull();  // with FLock held
  TADOQuery* FindNamed(const std::string& componentName, std::string* newState);
  TADOQuery* Append(const std::string& componentName, const std::string& state);

  std::mutex FLock;
  std::vector<TEntry> Entries;  // guarded by FLock
};

// The current pool; each start-up build replaces it without freeing the earlier one. The pool
// it refers to at the end of the process is freed then, when its FreeAtExit is set.
extern TDBMrg* DBMrg;
