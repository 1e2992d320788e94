// What the request handler needs of a database: statements, queries as recordsets, and a
// statement with one blob parameter. One backend object is one database connection, used by one
// thread at a time; TBackendPool hands them to the SQL workers. Errors raise ESqlError with the
// database's message.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "data/Recordset.h"
#include "platform/Exceptions.h"

namespace server {

class ESqlError : public Exception {
 public:
  using Exception::Exception;
};

class TSqlBackend {
 public:
  virtual ~TSqlBackend() = default;
  // Runs one or more statements; answers the rows they changed.
  virtual int64_t Execute(const std::string& sql) = 0;
  virtual std::shared_ptr<TRecordset> Query(const std::string& sql) = 0;
  // Runs a statement whose parameter :name (for example :Pbob) is bound to the bytes.
  virtual void ExecuteWithBlob(const std::string& sql, const std::string& name, std::string_view blob) = 0;
};

using TBackendFactory = std::function<std::unique_ptr<TSqlBackend>()>;

// A fixed set of connections; Acquire waits for a free one.
class TBackendPool {
 public:
  TBackendPool(const TBackendFactory& factory, int count);

  class TLease {
   public:
    TLease(TBackendPool& pool, std::unique_ptr<TSqlBackend> backend) : FPool(pool), FBackend(std::move(backend)) {}
    ~TLease() { FPool.Release(std::move(FBackend)); }
    TLease(const TLease&) = delete;
    TLease& operator=(const TLease&) = delete;
    TSqlBackend& operator*() { return *FBackend; }
    TSqlBackend* operator->() { return FBackend.get(); }

   private:
    TBackendPool& FPool;
    std::unique_ptr<TSqlBackend> FBackend;
  };

  TLease Acquire();

 private:
  void Release(std::unique_ptr<TSqlBackend> backend);

  std::mutex FLock;
  std::condition_variable FFreed;
  std::vector<std::unique_ptr<TSqlBackend>> FFree;
};

std::unique_ptr<TSqlBackend> OpenSqlite(const std::string& fileName);
// A libpq connection string ("host=127.0.0.1 port=5432 dbname=zuzavezu").
std::unique_ptr<TSqlBackend> OpenPostgres(const std::string& connectionString);

}  // namespace server
