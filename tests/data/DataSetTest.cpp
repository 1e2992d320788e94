// Datasets over recordsets: navigation, clones, editing with refusing handlers, field
// conversions, files, and the local connection's check of its database file.
#include "data/DataSet.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "data/ADOConnection.h"
#include "data/DateTime.h"
#include "data/RowsetXml.h"

namespace {

std::shared_ptr<TRecordset> Orders() {
  auto recordset = std::make_shared<TRecordset>(std::vector<TColumnDef>{
      {"ID", ftInteger}, {"NAME", ftWideString, 20}, {"PRICE", ftFloat}, {"PAID", ftBoolean}, {"AT", ftDateTime}});
  for (int64_t id = 1; id <= 3; ++id)
    recordset->InsertRow(
        static_cast<int32_t>(id - 1),
        {TCellValue{id}, TCellValue{"n" + std::to_string(id)}, TCellValue{id * 1.5}, TCellValue{int64_t{id % 2}},
         TCellValue{EncodeDateTime({2024, 1, static_cast<int>(id), 9, 30})}});
  return recordset;
}

std::vector<int32_t> Ids(TDataSet& dataSet) {
  std::vector<int32_t> ids;
  for (dataSet.First(); !dataSet.Eof(); dataSet.Next()) ids.push_back(dataSet.Field(0).AsInteger());
  return ids;
}

TEST(TDataSet, NavigatesLikeThePlatform) {
  TADOQuery query;
  EXPECT_FALSE(query.Active());
  EXPECT_THROW(query.Open(), EDatabaseError);  // no recordset
  query.SetRecordset(Orders());
  ASSERT_TRUE(query.Active());
  EXPECT_EQ(query.State(), dsBrowse);
  EXPECT_EQ(query.RecordCount(), 3);
  EXPECT_TRUE(query.Bof());
  EXPECT_FALSE(query.Eof());
  EXPECT_EQ(query.RecNo(), 1);
  query.Next();
  query.Next();
  EXPECT_EQ(query.RecNo(), 3);
  EXPECT_FALSE(query.Eof());
  query.Next();
  EXPECT_TRUE(query.Eof());
  EXPECT_EQ(query.RecNo(), 3);
  query.Prior();
  EXPECT_EQ(query.RecNo(), 2);
  query.First();
  query.Prior();
  EXPECT_TRUE(query.Bof());
  query.Last();
  EXPECT_TRUE(query.Eof());
  EXPECT_EQ(query.FieldByName("name").AsString(), "n3");
  try {
    query.FieldByName("MISSING");
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.Message, "Field 'MISSING' not found");
  }
  query.Close();
  EXPECT_EQ(query.State(), dsInactive);
  EXPECT_EQ(query.RecordCount(), 0);
}

TEST(TDataSet, ClonesShareRowsWithCursorsOfTheirOwn) {
  TADOQuery inner, a, b;
  inner.SetRecordset(Orders());
  a.Clone(inner);
  b.Clone(inner);
  a.Next();
  EXPECT_EQ(a.Field(0).AsInteger(), 2);
  EXPECT_EQ(b.Field(0).AsInteger(), 1);
  a.Edit();
  a.FieldByName("NAME").SetAsString("changed");
  a.Post();
  b.Next();
  EXPECT_EQ(b.FieldByName("NAME").AsString(), "changed");

  // A new load replaces the inner query's recordset; earlier clones keep theirs.
  auto other = std::make_shared<TRecordset>(std::vector<TColumnDef>{{"X", ftInteger}});
  other->InsertRow(0, {TCellValue{int64_t{99}}});
  inner.Close();
  inner.DestroyFields();
  inner.SetRecordset(other);
  EXPECT_EQ(inner.FieldByName("X").AsInteger(), 99);
  EXPECT_EQ(Ids(a), (std::vector<int32_t>{1, 2, 3}));

  TADOQuery empty, target;
  target.SetRecordset(Orders());
  EXPECT_THROW(target.Clone(empty), EDatabaseError);
  EXPECT_FALSE(target.Active());
}

TEST(TDataSet, RefusingHandlersLeaveTheRowsAsTheyWere) {
  TADOQuery query;
  query.SetRecordset(Orders());
  int posts = 0, deletes = 0;
  bool refuse = true;
  query.BeforePost = [&](TDataSet&) {
    ++posts;
    if (refuse) throw Exception("server said no");
  };
  query.BeforeDelete = [&](TDataSet&) {
    ++deletes;
    if (refuse) throw Exception("server said no");
  };

  query.Edit();
  EXPECT_EQ(query.State(), dsEdit);
  query.FieldByName("NAME").SetAsString("edited");
  EXPECT_THROW(query.Post(), Exception);
  EXPECT_EQ(query.State(), dsEdit);  // still editing, the buffer kept
  EXPECT_EQ(query.FieldByName("NAME").AsString(), "edited");
  query.Cancel();
  EXPECT_EQ(query.FieldByName("NAME").AsString(), "n1");

  query.Append();
  query.Field(0).SetAsInteger(4);
  EXPECT_THROW(query.Post(), Exception);
  query.Cancel();
  EXPECT_EQ(query.RecordCount(), 3);

  EXPECT_THROW(query.Delete(), Exception);
  EXPECT_EQ(Ids(query), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(posts, 2);
  EXPECT_EQ(deletes, 1);

  refuse = false;
  query.Last();
  query.Append();
  query.Field(0).SetAsInteger(4);
  query.Post();
  EXPECT_EQ(query.RecNo(), 4);
  query.First();
  query.Insert();
  query.Field(0).SetAsInteger(0);
  query.Post();
  EXPECT_EQ(query.RecNo(), 1);
  query.Next();
  query.Delete();
  EXPECT_EQ(Ids(query), (std::vector<int32_t>{0, 2, 3, 4}));
  EXPECT_THROW(query.Field(1).SetAsString("x"), EDatabaseError);  // not editing
}

TEST(TDataSet, EditingAnEmptyDatasetInserts) {
  TADOQuery query;
  query.SetRecordset(std::make_shared<TRecordset>(std::vector<TColumnDef>{{"ID", ftInteger}}));
  EXPECT_TRUE(query.Eof() && query.Bof());
  EXPECT_THROW(query.Delete(), EDatabaseError);
  query.Edit();
  EXPECT_EQ(query.State(), dsInsert);
  query.Field(0).SetAsInteger(1);
  query.Post();
  EXPECT_EQ(query.RecordCount(), 1);
}

TEST(TField, ReadsAndWritesTheFormsThePlatformOffers) {
  auto recordset = std::make_shared<TRecordset>(std::vector<TColumnDef>{{"S", ftWideString, 10},
                                                                        {"I", ftInteger},
                                                                        {"F", ftFloat},
                                                                        {"B", ftBoolean},
                                                                        {"C", ftCurrency},
                                                                        {"N", ftBCD, 2, 10},
                                                                        {"D", ftDate},
                                                                        {"T", ftTime},
                                                                        {"DT", ftDateTime},
                                                                        {"BL", ftBlob},
                                                                        {"L", ftLargeint}});
  recordset->InsertRow(0, std::vector<TCellValue>(11));
  TADOQuery query;
  query.SetRecordset(recordset);
  query.Edit();

  const struct {
    const char* field;
    const char* written;
    const char* asString;
    int32_t asInteger;
  } cases[] = {
      {"S", "42", "42", 42},
      {"I", "-17", "-17", -17},
      {"F", "2.5", "2.5", 3},
      {"B", "true", "True", 1},
      {"C", "12.3456", "12.3456", 12},
      {"N", "1234.5", "1234.50", 1235},
      {"L", "9007199254", "9007199254", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.field);
    TField& field = query.FieldByName(c.field);
    EXPECT_TRUE(field.IsNull());
    EXPECT_EQ(field.AsString(), "");
    EXPECT_EQ(field.AsInteger(), 0);  // NULL reads as 0
    field.SetAsString(c.written);
    EXPECT_EQ(field.AsString(), c.asString);
    if (std::string(c.field) != "L") {
      EXPECT_EQ(field.AsInteger(), c.asInteger);
    }
  }
  EXPECT_THROW(query.FieldByName("L").AsInteger(), EConvertError);  // beyond 32 bits

  query.FieldByName("DT").SetAsString("2024-03-05 19:05:09");
  EXPECT_EQ(query.FieldByName("DT").AsString(), "2024-03-05 19:05:09");
  query.FieldByName("D").SetAsString("2024-03-05T10:00:00");
  EXPECT_EQ(query.FieldByName("D").AsString(), "2024-03-05");
  query.FieldByName("T").SetAsString("07:08:09");
  EXPECT_EQ(query.FieldByName("T").AsString(), "07:08:09");
  query.FieldByName("B").SetAsBoolean(false);
  EXPECT_EQ(query.FieldByName("B").AsString(), "False");
  query.FieldByName("F").SetAsInteger(7);
  EXPECT_EQ(query.FieldByName("F").AsFloat(), 7.0);

  const struct {
    const char* field;
    const char* text;
    const char* message;
  } refused[] = {
      {"I", "abc", "'abc' is not a valid integer value"},
      {"I", "12x", "'12x' is not a valid integer value"},
      {"F", "2,5", "'2,5' is not a valid floating point value"},
      {"B", "maybe", "'maybe' is not a valid boolean value"},
      {"DT", "yesterday", "'yesterday' is not a valid date and time"},
  };
  for (const auto& c : refused) {
    try {
      query.FieldByName(c.field).SetAsString(c.text);
      ADD_FAILURE() << c.text << " accepted";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.Message, c.message);
    }
  }
  query.FieldByName("S").SetAsString("abc");
  try {
    query.FieldByName("S").AsInteger();
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message, "'abc' is not a valid integer value");
  }
  EXPECT_THROW(query.FieldByName("DT").AsInteger(), EDatabaseError);
  EXPECT_THROW(query.FieldByName("BL").AsInteger(), EDatabaseError);

  TMemoryStream blob;
  blob.WriteBuffer("\0\x01\x02", 3);
  query.FieldByName("BL").LoadFromStream(blob);
  TMemoryStream out;
  query.FieldByName("BL").SaveToStream(out);
  EXPECT_EQ(out.Size(), 3);
  query.FieldByName("I").ReadOnly = true;
  EXPECT_THROW(query.FieldByName("I").SetAsInteger(1), EDatabaseError);
  query.Post();
  EXPECT_EQ(query.FieldByName("BL").AsString(), std::string("\0\x01\x02", 3));
}

TEST(TCustomADODataSet, SavesAndLoadsFilesAndStaysClosedOnABadOne) {
  const auto folder = std::filesystem::temp_directory_path() / ("zz_dataset_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  TADOQuery query;
  query.SetRecordset(Orders());
  query.SaveToFile((folder / "orders.xml").string());

  TADOQuery loaded;
  loaded.LoadFromFile((folder / "orders.xml").string());
  EXPECT_EQ(Ids(loaded), (std::vector<int32_t>{1, 2, 3}));
  loaded.First();
  EXPECT_EQ(loaded.FieldByName("AT").AsString(), "2024-01-01 09:30:00");

  std::ofstream((folder / "bad.xml").string()) << "<xml><broken";
  EXPECT_THROW(loaded.LoadFromFile((folder / "bad.xml").string()), ERowsetError);
  EXPECT_FALSE(loaded.Active());
  EXPECT_EQ(loaded.Recordset(), nullptr);
  EXPECT_THROW(loaded.LoadFromFile((folder / "missing.xml").string()), EFOpenError);
  std::filesystem::remove_all(folder);
}

TEST(TADOConnection, OpensOnlyAReadableJetFile) {
  const auto folder = std::filesystem::temp_directory_path() / ("zz_connection_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::string jet = (folder / "temp.mdb").string();
  const std::string other = (folder / "other.mdb").string();
  std::ofstream(jet, std::ios::binary) << std::string("\x00\x01\x00\x00Standard Jet DB\0", 20)
                                       << std::string(2000, '\0');
  std::ofstream(other, std::ios::binary) << "not a database";

  TADOConnection connection;
  connection.ConnectionString = "Provider=Microsoft.Jet.OLEDB.4.0;Password=\"\";Data Source=" + jet +
                                ";Mode=Share Deny None; Extended Properties = \"\"";
  connection.SetConnected(true);
  EXPECT_TRUE(connection.Connected());
  connection.Close();

  const struct {
    std::string file;
    std::string message;
  } refused[] = {
      {(folder / "missing.mdb").string(), "Could not find file '" + (folder / "missing.mdb").string() + "'."},
      {other, "Unrecognized database format '" + other + "'."},
  };
  for (const auto& c : refused) {
    connection.ConnectionString = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + c.file + ";";
    try {
      connection.Open();
      ADD_FAILURE() << c.file;
    } catch (const EDatabaseError& e) {
      EXPECT_EQ(e.Message, c.message);
    }
    EXPECT_FALSE(connection.Connected());
  }
  std::filesystem::remove_all(folder);
}

}  // namespace

namespace {

// What the values take sizes buffers for copies of them; the capacity held for more rows does not.
TEST(TRecordset, BytesStoredCountsValuesNotCapacity) {
  const auto recordset = Orders();
  EXPECT_GE(recordset->MemoryUsed(), size_t{1} << 20);  // a text column's first block
  EXPECT_GT(recordset->BytesStored(), size_t{3 * (8 + 2 + 8 + 8 + 8)});
  EXPECT_LT(recordset->BytesStored(), size_t{1024});
}

}  // namespace
