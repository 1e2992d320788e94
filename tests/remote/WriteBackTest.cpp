// Edits of a loaded dataset going back to the scripted service as generated SQL.
#include "RemoteFixture.h"
#include "common/untFunctions.h"
#include "platform/Dialogs.h"
#include "remote/WriteBackSql.h"

namespace {

using test::TFrame;
using test::TScriptedPeer;

class WriteBack : public test::RemoteTest {
 protected:
  // Serves `select` texts with the given result, max(...) queries with MaxId, statements with 1.
  void Serve(const std::string& xml) {
    Peer.SetScript([this, xml](const TFrame& frame, bool&) -> std::string {
      if (frame.Command == proto::CmdOpenSQL && frame.Text.find("max(") != std::string::npos)
        return TScriptedPeer::Result(1, test::ResultXml({{"myid", ftInteger}}, {{MaxId}}));
      if (frame.Command == proto::CmdOpenSQL) return TScriptedPeer::Result(1, xml);
      if (frame.Command == proto::CmdExecSQL)
        return FailStatements ? TScriptedPeer::Error("refused") : TScriptedPeer::Int(1);
      return {};
    });
    Connect();
  }

  // The texts of the frames after the first (the SELECT that loaded the dataset).
  std::vector<std::string> Sent(size_t expected) {
    Peer.WaitForFrames(expected + 1);
    std::vector<std::string> texts;
    const auto frames = Peer.Frames();
    for (size_t i = 1; i < frames.size(); ++i)
      texts.push_back(std::to_string(frames[i].Command) + ":" + frames[i].Text);
    return texts;
  }

  TCellValue MaxId{int64_t{41}};
  bool FailStatements = false;
  TADOQuery Query;
};

const std::vector<TColumnDef> kOrders = {{"ID", ftInteger}, {"NAME", ftWideString, 20}, {"PRICE", ftFloat}};

std::string OrdersXml() {
  return test::ResultXml(kOrders, {{TCellValue{int64_t{5}}, TCellValue{std::string("old")}, TCellValue{2.5}},
                                   {TCellValue{int64_t{12}}, TCellValue{std::string("x")}, TCellValue{}}});
}

TEST_F(WriteBack, DeletesUpdatesAndInserts) {
  Serve(OrdersXml());
  Client->OpenSQL("select ID,NAME,PRICE from Orders where ID>0", Query);
  Query.Edit();
  Query.FieldByName("NAME").SetAsString("abc");
  Query.Post();
  Query.Next();
  Query.Delete();
  Query.Append();
  Query.FieldByName("NAME").SetAsString("O'Brien");
  Query.FieldByName("PRICE").SetAsFloat(2.5);
  Query.Post();
  EXPECT_EQ(Query.FieldByName("ID").AsInteger(), 42);
  Query.Append();
  Query.Post();  // NULLs: an empty price is written as 0
  EXPECT_EQ(Sent(6), (std::vector<std::string>{
                         "1:Update orders Set NAME='abc',PRICE=2.5 where ID=5",
                         "1:delete from orders where ID=12",
                         "22:select max(ID) as myid from orders",
                         "1:insert into orders(ID,NAME,PRICE) values (42,'O''Brien',2.5)",
                         "22:select max(ID) as myid from orders",
                         "1:insert into orders(ID,NAME,PRICE) values (42,'',0)",
                     }));
  EXPECT_EQ(Client->SelectItems(*Client->KeyQuery)->SelectText, "select max(ID) as myid from orders");
  EXPECT_EQ(Query.RecordCount(), 3);
}

TEST_F(WriteBack, AnEmptyTableGivesTheFirstKeyOne) {
  MaxId = TCellValue{};
  Serve(test::ResultXml(kOrders, {}));
  Client->OpenSQL("Select * from ReportType ", Query);
  Query.Append();
  Query.Post();
  EXPECT_EQ(Sent(2)[1], "1:insert into reporttype(ID,NAME,PRICE) values (1,'',0)");
}

TEST_F(WriteBack, SendsEveryBlobInItsOwnFrame) {
  const std::vector<TColumnDef> columns = {{"ID", ftInteger}, {"A", ftInteger}, {"PIC", ftBlob}, {"DOC", ftBlob}};
  Serve(test::ResultXml(columns, {{TCellValue{int64_t{5}}, TCellValue{int64_t{1}}, TCellValue{std::string("old")},
                                   TCellValue{std::string()}}}));
  Client->OpenSQL("select * from t", Query);
  Query.Edit();
  Query.FieldByName("PIC").SetAsString(std::string(100000, 'p'));
  Query.Post();
  Query.Append();
  Query.FieldByName("A").SetAsInteger(1);
  Query.Post();
  const auto sent = Sent(7);
  EXPECT_EQ(sent, (std::vector<std::string>{
                      "1:Update t Set A=1 where ID=5",
                      "6:update t set PIC=:Pbob where ID=5",
                      "6:update t set DOC=:Pbob where ID=5",
                      "22:select max(ID) as myid from t",
                      "1:insert into t(ID,A) values (42,1)",
                      "6:update t set PIC=:Pbob where ID=42",
                      "6:update t set DOC=:Pbob where ID=42",
                  }));
  const auto frames = Peer.Frames();
  TMemoryStream picture;
  picture.WriteBuffer(frames[2].Payload.data(), static_cast<int64_t>(frames[2].Payload.size()));
  DecompressStream(picture);
  EXPECT_EQ(picture.Size(), 100000);
  EXPECT_EQ(frames[3].Payload, "");  // an empty blob: m = 0, no payload bytes
  EXPECT_EQ(frames[3].Raw.size(), 8u + 4 + 4 + frames[3].Text.size() + 4);
}

TEST_F(WriteBack, AnEditOfBlobsAloneSendsOnlyTheBlobUpdates) {
  Serve(test::ResultXml({{"ID", ftInteger}, {"PIC", ftBlob}}, {{TCellValue{int64_t{5}}, TCellValue{}}}));
  Client->OpenSQL("select * from t", Query);
  Query.Edit();
  Query.FieldByName("PIC").SetAsString("new picture");
  Query.Post();
  EXPECT_EQ(Sent(1), (std::vector<std::string>{"6:update t set PIC=:Pbob where ID=5"}));
}

TEST_F(WriteBack, AServerErrorCancelsThePost) {
  Serve(OrdersXml());
  Client->OpenSQL("select * from orders", Query);
  FailStatements = true;
  Query.Edit();
  Query.FieldByName("NAME").SetAsString("changed");
  EXPECT_THROW(Query.Post(), Exception);
  EXPECT_EQ(Query.State(), dsEdit);
  Query.Cancel();
  EXPECT_EQ(Query.FieldByName("NAME").AsString(), "old");
  EXPECT_THROW(Query.Delete(), Exception);
  EXPECT_EQ(Query.RecordCount(), 2);
}

TEST_F(WriteBack, RefusesSelectTextsItCannotReadATableFrom) {
  std::vector<std::string> shown;
  SetMessageBoxHook([&](TMsgDlgType, std::string_view, std::string_view text) { shown.emplace_back(text); });
  Serve(OrdersXml());
  for (const char* text : {"select *from t", "select from t", "select * from", "show tables"}) {
    Client->OpenSQL(text, Query);
    EXPECT_THROW(Query.Delete(), EAbort) << text;
  }
  TADOQuery never;
  never.SetRecordset(std::make_shared<TRecordset>(kOrders));
  Client->HookDataset(never);
  never.Append();
  EXPECT_THROW(never.Post(), EAbort);
  SetMessageBoxHook(nullptr);
  EXPECT_EQ(shown, (std::vector<std::string>{"SQL语句错误！", "SQL语句错误！", "SQL语句错误！",
                                             "无法自动提交，请先执行select", "无法自动提交，请先执行select"}));
  EXPECT_EQ(Sent(0).size(), 3u);  // only the three later SELECTs went out
}

TEST(WriteBackSql, FindsTheTable) {
  EXPECT_EQ(writeback::FindTable("select a,b from t"), "t");
  EXPECT_EQ(writeback::FindTable("select * from   t"), "t");
  EXPECT_EQ(writeback::FindTable("SELECT * FROM Orders; "), "orders;");
  EXPECT_EQ(writeback::QuotedSqlText("it's"), "'it''s'");
}

}  // namespace
