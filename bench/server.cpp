// zuzavezu-server under load.
//
//   bench_server query   a 1 000 000-row ReportType result end to end (PostgreSQL behind the
//                        service, into a client dataset) against libpq fetching the same rows,
//                        with the time of each stage; needs ZUZAVEZU_BENCH_PG (scripts/bench
//                        server starts a private cluster)
//   bench_server load    100 links running a 10-row query in a loop for 30 s, heartbeating
//   bench_server idle    5 000 idle links heartbeating for 60 s
//
// load and idle start the zuzavezu-server program beside this one on an SQLite demo database
// and report its CPU share from /proc.
#include "Server.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <libpq-fe.h>

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

#include "DemoData.h"
#include "PipelinedCompressor.h"
#include "common/PayloadCodec.h"
#include "data/RowsetXml.h"
#include "remote/UntRemSql.h"

namespace {

using Clock = std::chrono::steady_clock;
double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

std::string Int(int32_t value) { return server::EncodeInt(value); }

std::string Frame(int32_t command, const std::string& text) {
  if (command == 4) return Int(4) + Int(4) + Int(4);
  return Int(static_cast<int32_t>(text.size() + 8)) + Int(static_cast<int32_t>(text.size() + 8)) + Int(command) +
         Int(static_cast<int32_t>(text.size())) + text;
}

bool SendAll(int fd, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

bool ReadAll(int fd, void* buffer, size_t count) {
  auto* bytes = static_cast<char*>(buffer);
  size_t got = 0;
  while (got < count) {
    const ssize_t n = ::recv(fd, bytes + got, count - got, 0);
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
  }
  return true;
}

int32_t ReadInt(int fd) {
  uint32_t value = 0;
  return ReadAll(fd, &value, 4) ? static_cast<int32_t>(ntohl(value)) : INT32_MIN;
}

// A raw protocol client: connected and past the handshake, or -1.
int Open(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || !SendAll(fd, Int(1) + Int(7351)) ||
      ReadInt(fd) != 1001) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// zuzavezu-server as a child process on a fresh demo database.
struct TServerProcess {
  pid_t Pid = -1;
  uint16_t Port = 0;

  explicit TServerProcess(const std::string& folder) {
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
    const std::string log = folder + "/server.log";
    std::filesystem::remove(folder + "/bench.db");
    Pid = ::fork();
    if (Pid == 0) {
      std::freopen(log.c_str(), "w", stderr);
      ::execl((self + "/zuzavezu-server").c_str(), "zuzavezu-server", "--database", (folder + "/bench.db").c_str(),
              "--init-demo", "--port", "0", "--max-links", "20000", nullptr);
      std::_Exit(127);
    }
    for (int i = 0; i < 200 && Port == 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
      std::ifstream in(log);
      for (std::string line; std::getline(in, line);) {
        const size_t at = line.find("127.0.0.1:");
        if (line.find("serving") != std::string::npos && at != std::string::npos)
          Port = static_cast<uint16_t>(std::stoi(line.substr(at + 10)));
      }
    }
  }
  ~TServerProcess() {
    ::kill(Pid, SIGTERM);
    ::waitpid(Pid, nullptr, 0);
  }
  double CpuSeconds() const {
    std::ifstream stat("/proc/" + std::to_string(Pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t close = text.rfind(')');
    std::vector<std::string> fields;
    size_t at = close + 2;
    while (at < text.size()) {
      const size_t space = text.find(' ', at);
      fields.push_back(text.substr(at, space - at));
      if (space == std::string::npos) break;
      at = space + 1;
    }
    const double ticks = static_cast<double>(::sysconf(_SC_CLK_TCK));
    return (std::stod(fields[11]) + std::stod(fields[12])) / ticks;  // utime and stime
  }
};

int Query() {
  server::TuneAllocatorForLargeResults();  // as the service does
  const char* conninfo = std::getenv("ZUZAVEZU_BENCH_PG");
  if (conninfo == nullptr) {
    std::fputs("bench_server query: set ZUZAVEZU_BENCH_PG (scripts/bench server does)\n", stderr);
    return 2;
  }
  auto backend = server::OpenPostgres(conninfo);
  server::InitDemoData(*backend);
  auto start = Clock::now();
  backend->Execute(
      "DELETE FROM ReportType; INSERT INTO ReportType SELECT g, g::text, 'RT.' || lpad(g::text, 6, '0'), "
      "'财务报表 ' || g || ' - 年度经营分析报表 (annual operating analysis)', CASE WHEN g <= 8 THEN '-1' ELSE (g / "
      "8)::text END, "
      "CASE WHEN g <= 8 THEN 1 ELSE 0 END, g % 124, (g + 1) % 124, 0, 3, 1, 't_report_detail_' || (g % 37), "
      "'administrator.finance', 'u' || (g % 211), 'RT.' || g || '.' || (g / 8) || '!RT.' || g || '!RT.' || (g / 8) "
      "FROM generate_series(1, 1000000) AS g; ANALYZE ReportType;");
  std::printf("table filled in %.1f s\n", Since(start));
  const std::string sql = "Select * from ReportType ";

  // libpq alone, every value touched.
  PGconn* connection = PQconnectdb(conninfo);
  start = Clock::now();
  PGresult* result = PQexec(connection, sql.c_str());
  size_t bytes = 0;
  for (int r = 0; r < PQntuples(result); ++r)
    for (int c = 0; c < PQnfields(result); ++c) bytes += static_cast<size_t>(PQgetlength(result, r, c));
  const double libpq = Since(start);
  std::printf("libpq fetch:           %.3f s (%d rows, %.0f MB of values)\n", libpq, PQntuples(result),
              static_cast<double>(bytes) / 1e6);
  PQclear(result);
  PQfinish(connection);

  // The stages one by one, as the service and the client's file route run them.
  start = Clock::now();
  auto recordset = backend->Query(sql);
  const double query = Since(start);
  start = Clock::now();
  TMemoryStream payload;
  int64_t xmlBytes = 0;
  {
    server::TPipelinedCompressor compressor(payload, 1);
    WriteRowsetXml(*recordset, [&](std::string& piece) {
      xmlBytes += static_cast<int64_t>(piece.size());
      compressor.Write(piece);
    });
    compressor.Finish();
  }
  const double toPayload = Since(start);
  const int64_t payloadBytes = payload.Size();
  recordset.reset();
  const std::string resultFile = (std::filesystem::temp_directory_path() / "zz_bench_result.xml").string();
  start = Clock::now();
  {
    TFileStream file(resultFile, fmCreate);
    DecompressStreamTo(payload, file);
  }
  const double decompress = Since(start);
  payload.Clear();
  start = Clock::now();
  {
    TADOQuery loaded;
    loaded.LoadFromFile(resultFile);
  }
  const double load = Since(start);
  std::filesystem::remove(resultFile);

  // End to end through the service.
  server::TServerOptions options;
  options.Port = 0;
  options.Workers = 2;
  server::TBackendPool pool([&] { return server::OpenPostgres(conninfo); }, 2);
  asio::io_context io(1);
  server::TServer service(io, options, pool);
  service.Start();
  std::thread loop([&] { io.run(); });
  // The first request meets a worker whose memory is cold; a running service has served
  // large results before, which the second request shows.
  double endToEnd = 0, repeated = 0;
  {
    TRmoHelper helper(service.Port());
    helper.ConnectServer("127.0.0.1", -1);
    for (double* measured : {&endToEnd, &repeated}) {
      TADOQuery query1;
      start = Clock::now();
      helper.OpenTable("ReportType", query1);
      *measured = Since(start);
      if (query1.RecordCount() != 1000000) std::printf("wrong row count %d\n", query1.RecordCount());
    }
  }
  service.Stop();
  loop.join();

  const double stages = query + toPayload + decompress + load;
  std::printf("end to end:            %.3f s = %.2f x libpq (target at most 3 x)\n", endToEnd, endToEnd / libpq);
  std::printf("  repeated:            %.3f s = %.2f x libpq\n", repeated, repeated / libpq);
  std::printf(
      "  query into recordset %.3f s\n  XML, deflated beside (level 1) %.3f s (%.0f MB into %.0f MB)\n"
      "  decompression into the result file %.3f s\n  load from the file   %.3f s\n  wire and the rest    %.3f s\n",
      query, toPayload, static_cast<double>(xmlBytes) / 1e6, static_cast<double>(payloadBytes) / 1e6, decompress, load,
      std::max(0.0, endToEnd - stages));
  return 0;
}

int Load(int seconds, int links) {
  const std::string folder = std::filesystem::temp_directory_path() / "zz_bench_server";
  std::filesystem::create_directories(folder);
  TServerProcess server(folder);
  if (server.Port == 0) return std::puts("the server did not start"), 1;
  std::atomic<int64_t> errors{0};
  std::mutex lock;
  std::vector<double> latencies;
  const double cpuBefore = server.CpuSeconds();
  const auto start = Clock::now();
  std::vector<std::thread> clients;
  for (int i = 0; i < links; ++i) {
    clients.emplace_back([&] {
      const int fd = Open(server.Port);
      if (fd < 0) return void(++errors);
      std::vector<double> mine;
      auto lastBeat = Clock::now();
      const std::string request = Frame(22, "select * from ReportType limit 10");
      std::string payload;
      while (Since(start) < seconds) {
        if (Since(lastBeat) >= 3.0) {
          SendAll(fd, Frame(4, ""));
          lastBeat = Clock::now();
        }
        const auto sent = Clock::now();
        const int32_t status = SendAll(fd, request) ? ReadInt(fd) : INT32_MIN;
        const int32_t length = status == 1 ? ReadInt(fd) : -1;
        payload.resize(static_cast<size_t>(std::max(length, 0)));
        if (length < 0 || !ReadAll(fd, payload.data(), payload.size())) {
          ++errors;
          break;
        }
        mine.push_back(Since(sent) * 1000);
      }
      ::close(fd);
      std::lock_guard guard(lock);
      latencies.insert(latencies.end(), mine.begin(), mine.end());
    });
  }
  for (auto& client : clients) client.join();
  const double wall = Since(start);
  const double cpu = server.CpuSeconds() - cpuBefore;
  std::sort(latencies.begin(), latencies.end());
  const auto percentile = [&](double p) {
    return latencies.empty() ? 0.0 : latencies[static_cast<size_t>(p * (latencies.size() - 1))];
  };
  std::printf(
      "%d links, %d s: %.0f requests/s, latency p50 %.2f ms, p99 %.2f ms, errors %lld, server CPU %.0f%% of one core\n",
      links, seconds, static_cast<double>(latencies.size()) / wall, percentile(0.5), percentile(0.99),
      static_cast<long long>(errors.load()), 100 * cpu / wall);
  return errors == 0 ? 0 : 1;
}

int Idle(int seconds, int links) {
  rlimit limit{};
  ::getrlimit(RLIMIT_NOFILE, &limit);
  limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, 2 * static_cast<rlim_t>(links) + 1024);
  ::setrlimit(RLIMIT_NOFILE, &limit);  // the server inherits it
  const std::string folder = std::filesystem::temp_directory_path() / "zz_bench_server";
  std::filesystem::create_directories(folder);
  TServerProcess server(folder);
  if (server.Port == 0) return std::puts("the server did not start"), 1;
  std::vector<int> fds;
  for (int i = 0; i < links; ++i) {
    const int fd = Open(server.Port);
    if (fd < 0) return std::printf("only %d links opened\n", i), 1;
    fds.push_back(fd);
  }
  const double cpuBefore = server.CpuSeconds();
  const auto start = Clock::now();
  const std::string beat = Frame(4, "");
  int dropped = 0;
  while (Since(start) < seconds) {
    for (int& fd : fds) {
      if (fd < 0) continue;
      char byte;
      // A link the server closed reads as end of file.
      if (::recv(fd, &byte, 1, MSG_DONTWAIT) == 0 || !SendAll(fd, beat)) {
        ++dropped;
        ::close(fd);
        fd = -1;
      }
    }
    std::this_thread::sleep_for(std::chrono::seconds(3));
  }
  const double wall = Since(start);
  const double cpu = server.CpuSeconds() - cpuBefore;
  for (const int fd : fds)
    if (fd >= 0) ::close(fd);
  std::printf("%d idle links heartbeating every 3 s for %d s: server CPU %.2f%% of one core, dropped links %d\n", links,
              seconds, 100 * cpu / wall, dropped);
  return dropped == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  const auto arg = [&](int index, int fallback) { return argc > index ? std::atoi(argv[index]) : fallback; };
  if (mode == "query") return Query();
  if (mode == "load") return Load(arg(2, 30), arg(3, 100));
  if (mode == "idle") return Idle(arg(2, 60), arg(3, 5000));
  std::fputs("usage: bench_server query | load [seconds] [links] | idle [seconds] [links]\n", stderr);
  return 2;
}
