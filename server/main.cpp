// zuzavezu-server: the reference database service for the zuzavezu client. See --help.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "DemoData.h"
#include "Server.h"
#include "platform/SysUtils.h"

namespace {

constexpr const char* kHelp = R"(usage: zuzavezu-server [options]

Serves the zuzavezu client's database protocol from an SQLite database file or PostgreSQL.

  --database FILE        the SQLite database file (default zuzavezu.db); created if absent
  --postgres CONNINFO    serve a PostgreSQL database instead, through libpq
                         (for example "host=127.0.0.1 port=5432 dbname=zuzavezu user=zz")
  --init-demo            create (or reset) the demo tables T_Pm_User and ReportType, then serve
  --listen ADDRESS       the address to listen on (default 127.0.0.1)
  --port N               the TCP port (default 211, the client's default; 0 picks a free one)
  --code-page NAME       the wire code page: GBK (default) or UTF-8
  --file-route BYTES     results whose payload is above this go by the client's file route
                         (default 16777216)
  --max-frame BYTES      the largest request frame accepted (default 268435456)
  --max-links N          the most links served at once (default 10000)
  --idle-timeout SECONDS a link without any frame this long is closed (default 60)
  --workers N            SQL worker threads and database connections (default 4)
  --help                 this text

One log line per request goes to standard error. SIGINT and SIGTERM stop the service.
)";

int Fail(const std::string& message) {
  std::fprintf(stderr, "zuzavezu-server: %s\n", message.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  server::TuneAllocatorForLargeResults();
  server::TServerOptions options;
  std::string database = "zuzavezu.db";
  std::string postgres;
  bool initDemo = false;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    const auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw std::invalid_argument(option + " needs a value");
      return argv[++i];
    };
    const auto number = [&](int64_t min, int64_t max) -> int64_t {
      const std::string text = value();
      const auto parsed = TryStrToInt(text);
      if (!parsed || *parsed < min || *parsed > max)
        throw std::invalid_argument(option + ": '" + text + "' is out of range");
      return *parsed;
    };
    try {
      if (option == "--help") {
        std::fputs(kHelp, stdout);
        return 0;
      } else if (option == "--database")
        database = value();
      else if (option == "--postgres")
        postgres = value();
      else if (option == "--init-demo")
        initDemo = true;
      else if (option == "--listen")
        options.Address = value();
      else if (option == "--port")
        options.Port = static_cast<uint16_t>(number(0, 65535));
      else if (option == "--code-page") {
        const auto codePage = WireCodePageFromName(value());
        if (!codePage) return Fail("--code-page takes GBK or UTF-8");
        options.Handler.CodePage = *codePage;
      } else if (option == "--file-route")
        options.Handler.FileRouteThreshold = number(0, INT32_MAX);
      else if (option == "--max-frame")
        options.MaxFrame = number(16, INT32_MAX);
      else if (option == "--max-links")
        options.MaxLinks = static_cast<int>(number(1, 1000000));
      else if (option == "--idle-timeout")
        options.IdleSeconds = static_cast<int>(number(1, 86400));
      else if (option == "--workers")
        options.Workers = static_cast<int>(number(1, 256));
      else
        return Fail("unknown option " + option + " (see --help)");
    } catch (const std::invalid_argument& e) {
      return Fail(e.what());
    }
  }

  try {
    const server::TBackendFactory open = [&] {
      return postgres.empty() ? server::OpenSqlite(database) : server::OpenPostgres(postgres);
    };
    const std::string where = postgres.empty() ? database : "PostgreSQL (" + postgres + ")";
    if (initDemo) {
      server::InitDemoData(*open());
      server::LogLine("demo tables created in " + where);
    }
    server::TBackendPool pool(open, options.Workers);
    asio::io_context io(1);
    server::TServer service(io, options, pool);
    service.Start();
    server::LogLine("serving " + where + " on " + options.Address + ":" + std::to_string(service.Port()) + " (" +
                    WireCodePageName(options.Handler.CodePage) + ")");
    asio::signal_set signals(io, SIGINT, SIGTERM);
    signals.async_wait([&](const asio::error_code& error, int signal) {
      if (error) return;
      server::LogLine(std::string("stopping on ") + (signal == SIGINT ? "SIGINT" : "SIGTERM"));
      service.Stop();
    });
    io.run();
    server::LogLine("stopped");
    return 0;
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
}
