#include "LocalService.h"

#include <unistd.h>

#include <filesystem>

#include "DemoData.h"

namespace test {

TLocalService::TLocalService(TBackendFactory open) : FOpen(std::move(open)) {
  Options.Port = 0;
  Options.Workers = 2;
}

TLocalService::~TLocalService() {
  if (Running()) Stop();
}

void TLocalService::Start() {
  FPool = std::make_unique<server::TBackendPool>(FOpen, Options.Workers);
  FServer = std::make_unique<server::TServer>(FIo, Options, *FPool);
  FServer->Start();
  Options.Port = FServer->Port();
  FThread = std::thread([this] { FIo.run(); });
}

void TLocalService::Stop() {
  FServer->Stop();
  FThread.join();
  FServer.reset();
  FPool.reset();
  FIo.restart();
}

TDemoDatabase::TDemoDatabase(const std::string& name)
    : FFolder((std::filesystem::temp_directory_path() / (name + "_" + std::to_string(::getpid()))).string()),
      FFileName(FFolder + "/demo.db") {
  std::filesystem::create_directories(FFolder);
  server::InitDemoData(*server::OpenSqlite(FFileName));
}

TDemoDatabase::~TDemoDatabase() {
  std::error_code ignored;
  std::filesystem::remove_all(FFolder, ignored);
}

}  // namespace test
