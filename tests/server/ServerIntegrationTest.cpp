// The client library against zuzavezu-server (in this process, on a free loopback port, over a
// fresh SQLite file): tables, edits through the datasets' handlers, blobs, texts, errors, the
// file route, a restart of the service, and malformed input that must not disturb it.
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sys/socket.h>
#include <thread>

#include "DemoData.h"
#include "LocalService.h"
#include "LoopbackPeer.h"
#include "QtPump.h"
#include "platform/SysUtils.h"
#include "remote/UntRemSql.h"

namespace {

using namespace std::string_literals;

// Every test runs against SQLite, and against PostgreSQL when ZUZAVEZU_TEST_PG holds a libpq
// connection string (scripts/test starts a private cluster for it).
class Service : public ::testing::TestWithParam<std::string> {
 protected:
  bool Postgres() const { return GetParam() == "postgres"; }
  std::unique_ptr<server::TSqlBackend> Open() {
    return Postgres() ? server::OpenPostgres(std::getenv("ZUZAVEZU_TEST_PG")) : server::OpenSqlite(Database);
  }
  std::string BlobType() const { return Postgres() ? "BYTEA" : "BLOB"; }

  void SetUp() override {
    if (Postgres() && std::getenv("ZUZAVEZU_TEST_PG") == nullptr) GTEST_SKIP() << "ZUZAVEZU_TEST_PG is not set";
    std::filesystem::create_directories(Folder);
    server::InitDemoData(*Open());
    Service_.Start();
    Helper.Client->ResultFolder = Folder.string() + "/";
    ASSERT_TRUE(Helper.ConnectServer("127.0.0.1", Options.Port));
  }

  void TearDown() override {
    if (!Service_.Running()) return;
    Helper.Client->CloseSession();
    Stop();
    std::filesystem::remove_all(Folder);
  }

  void Start() { Service_.Start(); }
  void Stop() { Service_.Stop(); }

  int32_t Exec(const std::string& sql) { return Helper.Client->ExecSQL(sql); }

  std::filesystem::path Folder = std::filesystem::temp_directory_path() / ("zz_service_" + std::to_string(::getpid()));
  std::string Database = (Folder / "test.db").string();
  test::TLocalService Service_{[this] { return Open(); }};
  server::TServerOptions& Options = Service_.Options;
  TRmoHelper Helper{9000};
  TADOQuery Query;
};

TEST_P(Service, OpensTheDemoTablesWithTheirTypes) {
  Helper.OpenTable("ReportType", Query);
  ASSERT_EQ(Query.FieldCount(), 15);
  EXPECT_GE(Query.RecordCount(), 10);
  EXPECT_TRUE(SameText(Query.Field(0).FieldName, "ID"));
  EXPECT_EQ(Query.Field(0).DataType, ftInteger);
  EXPECT_EQ(Query.FieldByName("REPORTTYPENAME").DataType, ftWideString);
  EXPECT_EQ(Query.FieldByName("REPORTTYPENAME").Size, 100);
  EXPECT_EQ(Query.FieldByName("FLEVEL").DataType, ftFloat);
  EXPECT_EQ(Query.FieldByName("REPORTTYPENAME").AsString(), "财务报表");
  EXPECT_EQ(Query.FieldByName("FPARENTID").AsString(), "-1");

  Helper.OpenFormat(Query, "Select A.Fname_L2 as UserName,A.ReportPSWD from T_Pm_User A Where A.Fnumber = '001'");
  ASSERT_EQ(Query.RecordCount(), 1);
  EXPECT_EQ(Query.FieldByName("UserName").AsString(), "管理员");
  EXPECT_EQ(Query.FieldByName("ReportPSWD").AsString(), "admin");
}

TEST_P(Service, WritesEditsBackThroughTheHandlers) {
  // The client writes booleans as 1/0 and 'True'/'False', which SQLite stores and PostgreSQL
  // refuses for its boolean type: only SQLite gets the boolean column.
  const std::string paid = Postgres() ? "" : ",PAID";
  Exec("DROP TABLE IF EXISTS orders");
  Exec("CREATE TABLE orders (ID INTEGER, NAME VARCHAR(40), PRICE REAL" +
       std::string(Postgres() ? "" : ", PAID BOOLEAN") + ")");
  Exec(Postgres() ? "INSERT INTO orders VALUES (5, 'old', 2.5), (12, 'x', NULL)"
                  : "INSERT INTO orders VALUES (5, 'old', 2.5, 0), (12, 'x', NULL, 1)");
  Helper.OpenFormat(Query, "select ID,NAME,PRICE" + paid + " from orders order by ID");
  Query.Edit();
  Query.FieldByName("NAME").SetAsString("O'Brien 中文");
  Query.Post();
  Query.Next();
  Query.Delete();
  Query.Append();
  Query.FieldByName("NAME").SetAsString("new");
  Query.FieldByName("PRICE").SetAsFloat(9.75);
  if (!Postgres()) Query.FieldByName("PAID").SetAsBoolean(true);
  Query.Post();
  EXPECT_EQ(Query.FieldByName("ID").AsInteger(), 6);  // the maximum after the delete, plus one

  TADOQuery check;
  Helper.OpenFormat(check, "select ID,NAME,PRICE" + paid + " from orders order by ID");
  ASSERT_EQ(check.RecordCount(), 2);
  EXPECT_EQ(check.FieldByName("NAME").AsString(), "O'Brien 中文");
  check.Next();
  EXPECT_EQ(check.FieldByName("ID").AsInteger(), 6);
  EXPECT_EQ(check.FieldByName("PRICE").AsFloat(), 9.75);
  if (!Postgres()) {
    EXPECT_EQ(check.FieldByName("PAID").AsBoolean(), true);
  }
}

TEST_P(Service, StoresBlobsOfEverySize) {
  Exec("DROP TABLE IF EXISTS pics");
  Exec("CREATE TABLE pics (ID INTEGER, PIC " + BlobType() + ")");
  Exec("INSERT INTO pics VALUES (1, NULL), (2, NULL), (3, NULL)");
  std::mt19937 random(5);
  std::string large(20 << 20, '\0');
  for (char& c : large) c = static_cast<char>(random() % 7);  // compressible, not trivially
  const std::vector<std::string> blobs = {std::string(), std::string(100 * 1024, 'b'), large};
  Helper.OpenFormat(Query, "select * from pics order by ID");
  for (const std::string& blob : blobs) {
    Query.Edit();
    Query.FieldByName("PIC").SetAsString(blob);
    Query.Post();
    Query.Next();
  }
  TADOQuery check;
  Helper.OpenFormat(check, "select ID, length(PIC) as N, PIC from pics order by ID");
  for (const std::string& blob : blobs) {
    EXPECT_EQ(check.FieldByName("N").AsInteger(), static_cast<int32_t>(blob.size()));
    EXPECT_TRUE(check.FieldByName("PIC").AsString() == blob);
    check.Next();
  }
}

TEST_P(Service, ReportsSqlErrorsAndTakesTheFileRouteForLargeResults) {
  try {
    Helper.OpenFormat(Query, "select * from nowhere");
    FAIL();
  } catch (const Exception& e) {
    EXPECT_NE(e.Message.find("nowhere"), std::string::npos) << e.Message;
  }
  try {
    Exec("insert into 表 values (1)");
    FAIL();
  } catch (const Exception& e) {
    EXPECT_NE(e.Message.find("表"), std::string::npos) << e.Message;
  }
  EXPECT_EQ(Exec("update ReportType set FVISIBLE = 0 where FISROOT = 1"), 3);
  Helper.OpenTable("ReportType", Query);  // still in step after the errors

  Stop();
  Options.Handler.FileRouteThreshold = 100;
  Start();
  ASSERT_TRUE(test::PumpEventsUntil([&] { return Helper.Client->Ready && Helper.Client->IsConnected(); }, 10000));
  Helper.OpenTable("ReportType", Query);
  EXPECT_GE(Query.RecordCount(), 10);
  EXPECT_TRUE(std::filesystem::is_empty(Folder / "") || std::filesystem::exists(Folder / "test.db"));
  for (const auto& entry : std::filesystem::directory_iterator(Folder))
    EXPECT_TRUE(entry.path().filename().string().starts_with("test.db")) << entry.path();
}

TEST_P(Service, TheClientReconnectsAfterARestart) {
  Stop();
  Start();
  ASSERT_TRUE(test::PumpEventsUntil([&] { return Helper.Client->Ready && Helper.Client->IsConnected(); }, 10000));
  test::PumpEventsUntil([&] { return Helper.Client->Timer->Tag == 0; }, 2000);
  Helper.OpenTable("T_Pm_User", Query);
  EXPECT_EQ(Query.RecordCount(), 3);
}

// Raw bytes at the service; answers what it sent back before closing.
std::string Talk(uint16_t port, const std::string& bytes, bool closeEarly = false) {
  const int fd = test::ConnectTo(port);
  ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  if (closeEarly) {
    ::close(fd);
    return {};
  }
  timeval timeout{5, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  std::string answer;
  char chunk[256];
  ssize_t n;
  while ((n = ::recv(fd, chunk, sizeof chunk, 0)) > 0) answer.append(chunk, static_cast<size_t>(n));
  ::close(fd);
  return answer;
}

TEST_P(Service, MalformedInputClosesOnlyThatLink) {
  const std::string hello = server::EncodeInt(1) + server::EncodeInt(7351);
  const auto i = server::EncodeInt;
  EXPECT_EQ(Talk(Options.Port, i(1) + i(7352)), i(1000));                                  // bad handshake
  EXPECT_EQ(Talk(Options.Port, hello + i(8) + i(9) + i(1) + i(0)), i(1001));               // length copies differ
  EXPECT_EQ(Talk(Options.Port, hello + i(0x7FFFFFFF) + i(0x7FFFFFFF)), i(1001));           // 2 GiB frame
  EXPECT_EQ(Talk(Options.Port, hello + i(12) + i(12) + i(1) + i(100) + "abcd"), i(1001));  // text overruns
  EXPECT_EQ(Talk(Options.Port, hello + i(8) + i(8) + i(99) + i(0)), i(1001));              // unknown command
  Talk(Options.Port, hello + i(100) + i(100) + i(1) + i(96) + "cut off", true);            // frame cut off
  std::mt19937 random(11);
  std::string noise(4096, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  EXPECT_EQ(Talk(Options.Port, noise).size(), 4u);  // refused with 1000
  EXPECT_EQ(Talk(Options.Port, hello + noise).substr(0, 4), i(1001));
  // The service still serves, the old client as well as a new one.
  Helper.OpenTable("T_Pm_User", Query);
  EXPECT_EQ(Query.RecordCount(), 3);
  TRmoHelper other(Options.Port);
  ASSERT_TRUE(other.ConnectServer("127.0.0.1", -1));
  TADOQuery more;
  other.OpenTable("ReportType", more);
  EXPECT_GE(more.RecordCount(), 10);
}

std::string BackendName(const ::testing::TestParamInfo<std::string>& backend) { return backend.param; }

INSTANTIATE_TEST_SUITE_P(Backends, Service, ::testing::Values("sqlite", "postgres"), BackendName);

}  // namespace
