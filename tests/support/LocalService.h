// zuzavezu-server inside the test process, on a free loopback port, with its own I/O thread.
// Stop and Start again bring it back on the same port (a restart as clients see it).
#pragma once

#include <asio/io_context.hpp>

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "Server.h"
#include "SqlBackend.h"

namespace test {

class TLocalService {
 public:
  using TBackendFactory = std::function<std::unique_ptr<server::TSqlBackend>()>;

  // Serves on a free port with two workers unless Options say otherwise before Start.
  explicit TLocalService(TBackendFactory open);
  ~TLocalService();
  TLocalService(const TLocalService&) = delete;
  TLocalService& operator=(const TLocalService&) = delete;

  void Start();
  void Stop();
  bool Running() const { return FServer != nullptr; }
  uint16_t Port() const { return Options.Port; }

  server::TServerOptions Options;  // read at the next Start; Port is the one served on

 private:
  TBackendFactory FOpen;
  asio::io_context FIo{1};
  std::unique_ptr<server::TBackendPool> FPool;
  std::unique_ptr<server::TServer> FServer;
  std::thread FThread;
};

// A fresh SQLite file holding the demo tables, in a folder of its own that goes with it.
class TDemoDatabase {
 public:
  explicit TDemoDatabase(const std::string& name);
  ~TDemoDatabase();
  const std::string& Folder() const { return FFolder; }
  const std::string& FileName() const { return FFileName; }

 private:
  std::string FFolder;
  std::string FFileName;
};

}  // namespace test
