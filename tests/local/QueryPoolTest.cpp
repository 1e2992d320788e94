// The named query pool with a test clock: states, names, leases, the limit, connection strings.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "local/untFunctions.h"

namespace {

std::atomic<uint32_t> gNow{5000};
uint32_t TestClock() { return gNow; }

class QueryPool : public ::testing::Test {
 protected:
  // Moves the test clock one pass interval on and waits for the checking thread's pass.
  void RunPass() {
    const uint64_t before = Pool->CheckThread->Passes();
    gNow += TCheckThread::kPassInterval;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (Pool->CheckThread->Passes() == before && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_GT(Pool->CheckThread->Passes(), before);
  }

  std::vector<std::string> States() {
    std::vector<std::string> states;
    for (int32_t i = 0; i < Pool->QueryCount(); ++i) states.push_back(Pool->EntryState(i));
    return states;
  }

  bool ClockReset = (gNow = 5000, true);  // before the pool reads the clock
  std::unique_ptr<TDBMrg> Pool =
      std::make_unique<TDBMrg>(TDBMrg::BuildJetConnectionString("/nonexistent/temp.mdb", ""), 15, 5, &TestClock);
};

TEST_F(QueryPool, PreparedQueriesAreFreeAfterTwoPasses) {
  ASSERT_EQ(Pool->QueryCount(), 6);
  EXPECT_EQ(States(), std::vector<std::string>(6, "1"));
  EXPECT_FALSE(Pool->LocalConnection->Connected());  // a missing file is no error here
  EXPECT_FALSE(Pool->LocalConnection->LoginPrompt);
  EXPECT_EQ(Pool->LocalConnection->ConnectionTimeout, 15);
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(Pool->CheckThread->Passes(), 0u);  // no pass before a second has passed
  RunPass();
  EXPECT_EQ(States(), std::vector<std::string>(6, "0"));
  RunPass();
  EXPECT_EQ(States(), std::vector<std::string>(6, ""));
}

TEST_F(QueryPool, NamedQueriesStayHeld) {
  TADOQuery* first = Pool->GetQuery("Qryopt");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->Name, "MyPoolQryopt");
  EXPECT_EQ(first->Connection, Pool->LocalConnection.get());
  EXPECT_EQ(Pool->GetQuery("Qryopt"), first);
  EXPECT_EQ(Pool->QueryCount(), 7);
  EXPECT_EQ(Pool->EntryState(6), "-1");
  EXPECT_EQ(Pool->GetQuery(""), nullptr);
  EXPECT_EQ(Pool->QueryCount(), 7);
  TADOQuery* third = Pool->GetQuery("3");
  EXPECT_EQ(third->Name, "MyPool3");
  EXPECT_EQ(Pool->EntryState(2), "1");  // its state left alone
  RunPass();
  RunPass();
  RunPass();
  EXPECT_EQ(Pool->EntryState(6), "-1");
  try {
    Pool->GetQuery("bad name");
    FAIL();
  } catch (const EComponentError& e) {
    EXPECT_EQ(e.Message, "''MyPoolbad name'' is not a valid component name");
  }
  EXPECT_EQ(Pool->QueryCount(), 7);
}

TEST_F(QueryPool, LeasesCountDownToFree) {
  Pool->GetQuery("held");
  TADOQuery* leased = Pool->AcquireQuery(5);
  EXPECT_EQ(leased->Name, "MyPool7");
  EXPECT_EQ(Pool->EntryState(7), "5");
  for (const char* expected : {"4", "3", "2", "1", "0", ""}) {
    RunPass();
    EXPECT_EQ(Pool->EntryState(7), expected);
  }
  // A lease of 0 leaves the entry free: the next unnamed request takes the same query.
  TADOQuery* zero = Pool->AcquireQuery(0);
  EXPECT_EQ(Pool->AcquireQuery(0), zero);
  EXPECT_EQ(zero->Name, "MyPool1");
  // A named request puts that entry on the given lease, whatever it was.
  EXPECT_EQ(Pool->AcquireQuery(2, "held")->Name, "MyPoolheld");
  EXPECT_EQ(Pool->EntryState(6), "2");
  EXPECT_EQ(Pool->AcquireQuery(3, "fresh")->Name, "MyPoolfresh");
  EXPECT_EQ(Pool->EntryState(Pool->QueryCount() - 1), "-1");
}

TEST_F(QueryPool, RefusesEveryRequestAbove500Entries) {
  for (int i = 0; Pool->QueryCount() < 500; ++i) Pool->GetQuery("q" + std::to_string(i));
  EXPECT_NE(Pool->GetQuery("the501st"), nullptr);
  ASSERT_EQ(Pool->QueryCount(), 501);
  for (const std::string name : {"q1", "new", ""}) {
    try {
      Pool->AcquireQuery(1, name);
      ADD_FAILURE() << name;
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message,
                "AdoQuery已经达到最大限制数量！缓冲池不允许再添加新对象\r请检查是否由于忘记回归ADOQUERY所导致");
    }
    EXPECT_THROW(Pool->GetQuery(name), Exception);
  }
  EXPECT_EQ(Pool->QueryCount(), 501);
}

TEST(TDBMrg, BuildsBothJetConnectionStrings) {
  EXPECT_EQ(TDBMrg::BuildJetConnectionString("C:\\App\\temp.mdb", ""),
            "Provider=Microsoft.Jet.OLEDB.4.0;Password=\"\";Data Source=C:\\App\\temp.mdb;Mode=Share Deny None; "
            "Extended Properties = \"\"");
  EXPECT_EQ(TDBMrg::BuildJetConnectionString("C:\\App\\temp.mdb", "secret"),
            "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\App\\temp.mdb;Persist Security Info=True;"
            "Jet OLEDB:Database Password=secret;");
}

}  // namespace
