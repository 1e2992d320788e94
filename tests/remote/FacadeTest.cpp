// The facade: connecting by name or address, formatted queries and whole tables.
#include "RemoteFixture.h"
#include "remote/UntRemSql.h"

namespace {

using test::TFrame;
using test::TScriptedPeer;

bool NeverResolves(const std::string&, std::string&) { return false; }

TEST(TRmoHelper, ConnectsByAddressOrNameAndOpensFormattedQueries) {
  TScriptedPeer peer;
  peer.SetScript([](const TFrame&, bool&) {
    return TScriptedPeer::Result(1, test::ResultXml({{"ID", ftInteger}}, {{TCellValue{int64_t{1}}}}));
  });
  TRmoHelper helper(peer.Port());
  EXPECT_EQ(helper.Client->Host, "127.0.0.1");
  ASSERT_TRUE(helper.ConnectServer("localhost", -1));  // looked up, then connected to 127.0.0.1
  EXPECT_EQ(helper.Client->Host, "127.0.0.1");
  EXPECT_EQ(helper.Client->Port, peer.Port());

  TADOQuery query;
  EXPECT_EQ(&helper.OpenTable("ReportType", query), &query);
  EXPECT_EQ(&helper.OpenFormat(query, "select 5%%3"), &query);
  EXPECT_THROW(helper.OpenFormat(query, "select 5%3"), EConvertError);
  helper.OpenFormat(query, "select * from T_Pm_User where Fnumber='%s'", {"0'1"});
  ASSERT_TRUE(peer.WaitForFrames(3));
  const auto frames = peer.Frames();
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(frames[0].Text, "Select * from ReportType ");
  EXPECT_EQ(frames[1].Text, "select 5%3");
  EXPECT_EQ(frames[2].Text, "select * from T_Pm_User where Fnumber='0'1'");
  EXPECT_EQ(query.FieldByName("ID").AsInteger(), 1);
}

TEST(TRmoHelper, ANameThatDoesNotResolveConnectsNowhere) {
  TScriptedPeer peer;
  TRmoHelper helper(peer.Port());
  SetHostResolver(&NeverResolves);
  EXPECT_FALSE(helper.ConnectServer("db.example", -1));
  SetHostResolver(nullptr);
  EXPECT_EQ(peer.Links(), 0);
  EXPECT_EQ(helper.Client->Host, "127.0.0.1");
  EXPECT_FALSE(helper.Client->Timer->Enabled());
  std::string address = "unchanged";
  EXPECT_FALSE(ResolveHost(std::string(300, 'a'), address));
  EXPECT_EQ(address, "unchanged");
  EXPECT_TRUE(ResolveHost("localhost", address));
  EXPECT_EQ(address, "127.0.0.1");
}

}  // namespace
