// The XML rowset reader and writer, case by case after the format's conformance checklist.
#include "data/RowsetXml.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <string>
#include <vector>

#include "data/DateTime.h"

namespace {

const std::string kOpen =
    "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' xmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882' "
    "xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'>";

// A document with the usual prefixes: the AttributeTypes and the rows as given.
std::string Doc(const std::string& columns, const std::string& rows) {
  return kOpen + "<s:Schema id='RowsetSchema'><s:ElementType name='row' content='eltOnly'>" + columns +
         "</s:ElementType></s:Schema><rs:data>" + rows + "</rs:data></xml>";
}

std::string Column(const std::string& name, const std::string& datatype = "", const std::string& extra = "") {
  return "<s:AttributeType name='" + name + "' " + extra + ">" +
         (datatype.empty() ? "" : "<s:datatype " + datatype + "/>") + "</s:AttributeType>";
}

// Every value of a recordset as text ("NULL" for null), row by row.
std::vector<std::vector<std::string>> Values(const TRecordset& recordset) {
  std::vector<std::vector<std::string>> rows;
  for (int32_t r = 0; r < recordset.RowCount(); ++r) {
    std::vector<std::string> row;
    for (int32_t c = 0; c < recordset.ColumnCount(); ++c) {
      const TCellValue value = recordset.Get(r, c);
      if (value.IsNull())
        row.push_back("NULL");
      else if (auto* i = std::get_if<int64_t>(&value.Value))
        row.push_back(std::to_string(*i));
      else if (auto* d = std::get_if<double>(&value.Value)) {
        char text[40];
        std::snprintf(text, sizeof text, "%.17g", *d);
        row.push_back(text);
      } else
        row.push_back(std::get<std::string>(value.Value));
    }
    rows.push_back(row);
  }
  return rows;
}

std::vector<std::string> Names(const TRecordset& recordset) {
  std::vector<std::string> names;
  for (const auto& column : recordset.Columns()) names.push_back(column.Name);
  return names;
}

using Rows = std::vector<std::vector<std::string>>;

TEST(RowsetReader, StructureCases) {
  const struct {
    const char* name;
    std::string document;
    std::vector<std::string> columns;
    Rows rows;
  } cases[] = {
      {"minimal schema, no dt namespace, sizes by the data",
       "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' xmlns:rs='urn:schemas-microsoft-com:rowset' "
       "xmlns:z='#RowsetSchema'><s:Schema id='RowsetSchema'><s:ElementType name='row' content='eltOnly'>"
       "<s:AttributeType name='Sku'/><s:AttributeType name='Colour'/></s:ElementType></s:Schema>"
       "<rs:data><z:row Sku='A1' Colour='红色'/><z:row Sku='B22'/></rs:data></xml>",
       {"Sku", "Colour"},
       {{"A1", "红色"}, {"B22", "NULL"}}},
      {"prefixes swapped and rows in a default namespace",
       "<xml xmlns:dt='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882' xmlns:s='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882' "
       "xmlns:q='urn:schemas-microsoft-com:rowset'><dt:Schema id='RowsetSchema'><dt:ElementType name='row'>"
       "<dt:AttributeType name='n'><dt:datatype s:type='int'/></dt:AttributeType></dt:ElementType></dt:Schema>"
       "<q:data xmlns='#RowsetSchema'><row n='7'/></q:data></xml>",
       {"n"},
       {{"7"}}},
      {"a foreign attribute with a column's name is ignored",
       Doc(Column("a"), "<z:row xmlns:f='urn:other' f:a='wrong' a='right'/>"),
       {"a"},
       {{"right"}}},
      {"order by rs:number with gaps, shuffled attributes",
       Doc(Column("c", "", "rs:number='7'") + Column("a", "", "rs:number='1'") + Column("d", "", "rs:number='9'") +
               Column("b", "", "rs:number='2'"),
           "<z:row d='4' b='2' c='3' a='1'/>"),
       {"a", "b", "c", "d"},
       {{"1", "2", "3", "4"}}},
      {"alias with a blank; a stray attribute spelled like the display name",
       Doc(Column("c1", "", "rs:name='Unit Cost'"), "<z:row c1='12' Unit_Cost='x'/>"),
       {"Unit Cost"},
       {{"12"}}},
      {"schema-level declarations and an undeclared reference",
       kOpen + "<s:Schema id='RowsetSchema'><s:AttributeType name='id'><s:datatype dt:type='int'/></s:AttributeType>"
               "<s:ElementType name='row'><s:attribute type='id'/><s:attribute type='free'/></s:ElementType></s:Schema>"
               "<rs:data><z:row id='3' free='text'/></rs:data></xml>",
       {"id", "free"},
       {{"3", "text"}}},
      {"NULL versus empty",
       Doc(Column("s", "dt:type='string' dt:maxLength='10'") + Column("i", "dt:type='int'") +
               Column("b", "dt:type='bin.hex' dt:maxLength='4'"),
           "<z:row/><z:row s='' i='' b=''/><z:row s='  ' i='1'/><z:row s='NULL'/>"),
       {"s", "i", "b"},
       {{"NULL", "NULL", "NULL"}, {"", "NULL", ""}, {"  ", "1", "NULL"}, {"NULL", "NULL", "NULL"}}},
      {"escapes and normalisation",
       Doc(Column("t"), "<z:row t='&amp;&lt;&gt;&quot;&apos;|&#13;&#10;|&#9;|&#x4E2D;|a\nb|c\r\nd'/>"),
       {"t"},
       {{"&<>\"'|\r\n|\t|中|a b|c d"}}},
      {"hidden column: no field, values skipped",
       Doc(Column("ROWID", "dt:type='int'", "rs:hidden='true' rs:number='1'") + Column("v", "", "rs:number='2'"),
           "<z:row ROWID='9' v='x'/>"),
       {"v"},
       {{"x"}}},
      {"pending changes give the current state",
       Doc(Column("Id", "dt:type='int'") + Column("City") + Column("Stock", "dt:type='int'"),
           "<z:row Id='1' City='Tromsø' Stock='40'/>"
           "<rs:update><rs:original><z:row Id='2' City='Bergen' Stock='15'/></rs:original><z:row "
           "Stock='12'/></rs:update>"
           "<rs:insert><z:row Id='8' City='Ålesund' Stock='3'/><z:row Id='9' City='Bodø'/></rs:insert>"
           "<rs:delete><z:row Id='5' City='Molde' Stock='0'/></rs:delete>"),
       {"Id", "City", "Stock"},
       {{"1", "Tromsø", "40"}, {"2", "Bergen", "12"}, {"8", "Ålesund", "3"}, {"9", "Bodø", "NULL"}}},
      {"nested element type and row children are ignored",
       Doc(Column("a") + "<s:ElementType name='child'><s:AttributeType name='x'/></s:ElementType>",
           "<z:row a='1'><child x='2'/></z:row>"),
       {"a"},
       {{"1"}}},
      {"empty data", Doc(Column("a") + Column("b"), ""), {"a", "b"}, {}},
      {"fixed-length strings keep their blanks",
       Doc(Column("f", "dt:type='string' dt:maxLength='6' rs:fixedlength='true'"), "<z:row f='ab    '/>"),
       {"f"},
       {{"ab    "}}},
      {"duplicate display names get suffixes",
       Doc(Column("c0", "", "rs:name='id'") + Column("c1", "", "rs:name='ID'") + Column("c2", "", "rs:name='Id'"), ""),
       {"id", "ID_1", "Id_2"},
       {}},
      {"UTF-8 byte order mark and declaration",
       "\xEF\xBB\xBF<?xml version='1.0' encoding='UTF-8'?>" + Doc(Column("a"), "<z:row a='1'/>"),
       {"a"},
       {{"1"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto recordset = ReadRowsetXml(c.document);
    EXPECT_EQ(Names(*recordset), c.columns);
    EXPECT_EQ(Values(*recordset), c.rows);
  }
}

TEST(RowsetReader, TypeTable) {
  const struct {
    std::string datatype;
    std::string extra;
    TFieldType type;
    int32_t size;
  } cases[] = {
      {"", "", ftWideString, 3},
      {"dt:type='string' dt:maxLength='2147483647' rs:long='true'", "", ftMemo, 0},
      {"dt:type='string' rs:dbtype='str' dt:maxLength='2147483647' rs:long='true'", "", ftMemo, 0},
      {"dt:type='string' rs:dbtype='str' dt:maxLength='30'", "", ftString, 30},
      {"dt:type='string' dt:maxLength='40'", "", ftWideString, 40},
      {"dt:type='string' dt:maxLength='70000'", "", ftMemo, 0},
      {"dt:type='char'", "", ftWideString, 1},
      {"dt:type='uuid'", "", ftString, 38},
      {"dt:type='boolean'", "", ftBoolean, 0},
      {"dt:type='i1'", "", ftSmallint, 0},
      {"dt:type='i2'", "", ftSmallint, 0},
      {"dt:type='ui1'", "", ftWord, 0},
      {"dt:type='ui2'", "", ftWord, 0},
      {"dt:type='int'", "", ftInteger, 0},
      {"dt:type='i4'", "rs:autoincrement='true'", ftAutoInc, 0},
      {"dt:type='ui4'", "", ftLargeint, 0},
      {"dt:type='i8'", "", ftLargeint, 0},
      {"dt:type='ui8'", "", ftLargeint, 0},
      {"dt:type='float'", "", ftFloat, 0},
      {"dt:type='r4'", "", ftFloat, 0},
      {"dt:type='number' rs:dbtype='currency'", "", ftCurrency, 0},
      {"dt:type='fixed.14.4'", "", ftCurrency, 0},
      {"dt:type='number' rs:dbtype='numeric' rs:scale='2' rs:precision='12'", "", ftBCD, 2},
      {"dt:type='number'", "", ftFloat, 0},
      {"dt:type='dateTime' rs:dbtype='variantdate'", "", ftDateTime, 0},
      {"dt:type='date'", "", ftDate, 0},
      {"dt:type='time.tz'", "", ftTime, 0},
      {"dt:type='bin.hex' dt:maxLength='2147483647' rs:long='true'", "", ftBlob, 0},
      {"dt:type='bin.base64'", "", ftBlob, 0},
      {"dt:type='bin.hex' dt:maxLength='8' rs:fixedlength='true'", "", ftBytes, 8},
      {"dt:type='bin.hex' dt:maxLength='50'", "", ftVarBytes, 50},
      {"dt:type='mystery'", "", ftWideString, 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.datatype);
    const auto recordset =
        ReadRowsetXml(Doc(Column("v", c.datatype, c.extra),
                          "<z:row/><z:row/>" + std::string(c.type == ftWideString ? "<z:row v='abc'/>" : "")));
    ASSERT_EQ(recordset->ColumnCount(), 1);
    EXPECT_EQ(recordset->Columns()[0].DataType, c.type);
    EXPECT_EQ(recordset->Columns()[0].Size, c.size);
  }
  // Typing written on the AttributeType itself; the datatype child wins where both are given.
  auto recordset = ReadRowsetXml(Doc("<s:AttributeType name='v' dt:type='int'/>", ""));
  EXPECT_EQ(recordset->Columns()[0].DataType, ftInteger);
  recordset =
      ReadRowsetXml(Doc("<s:AttributeType name='v' dt:type='int'><s:datatype dt:type='float'/></s:AttributeType>", ""));
  EXPECT_EQ(recordset->Columns()[0].DataType, ftFloat);
}

TEST(RowsetReader, ValueForms) {
  const struct {
    std::string datatype;
    std::string text;
    std::string expected;
  } cases[] = {
      {"dt:type='i1'", "-128", "-128"},
      {"dt:type='i2'", " 32767 ", "32767"},
      {"dt:type='int'", "-2147483648", "-2147483648"},
      {"dt:type='ui4'", "4294967295", "4294967295"},
      {"dt:type='i8'", "-9223372036854775808", "-9223372036854775808"},
      {"dt:type='ui8'", "9223372036854775807", "9223372036854775807"},
      {"dt:type='float'", "12", "12"},
      {"dt:type='float'", "-0.5", "-0.5"},
      {"dt:type='float'", "1E2", "100"},
      {"dt:type='float'", "1.5e-7", "1.4999999999999999e-07"},
      {"dt:type='float'", "6.02214076E+23", "6.0221407599999999e+23"},
      {"dt:type='float'", "-INF", "-inf"},
      {"dt:type='float'", ".5", "0.5"},
      {"dt:type='boolean'", "True", "1"},
      {"dt:type='boolean'", "False", "0"},
      {"dt:type='boolean'", "true", "1"},
      {"dt:type='boolean'", "0", "0"},
      {"dt:type='boolean'", "1", "1"},
      {"dt:type='number' rs:dbtype='currency'", "-1250", "-12500000"},
      {"dt:type='number' rs:dbtype='currency'", "0.0001", "1"},
      {"dt:type='number' rs:dbtype='currency'", "1.23456", "12346"},
      {"dt:type='number' rs:dbtype='currency'", "1.5E2", "1500000"},
      {"dt:type='number' rs:dbtype='numeric' rs:scale='2'", "1234.5", "1234.50"},
      {"dt:type='number' rs:dbtype='numeric' rs:scale='2'", "-0.125", "-0.13"},
      {"dt:type='bin.hex'", "DEADbeef", "\xDE\xAD\xBE\xEF"},
      {"dt:type='bin.base64'", "3q2+7w==", "\xDE\xAD\xBE\xEF"},
      {"dt:type='uuid'", "{6F9619FF-8B86-D011-B42D-00C04FC964FF}", "{6F9619FF-8B86-D011-B42D-00C04FC964FF}"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.datatype + " " + c.text);
    const auto recordset = ReadRowsetXml(Doc(Column("v", c.datatype), "<z:row v='" + c.text + "'/>"));
    EXPECT_EQ(Values(*recordset)[0][0], c.expected);
  }
}

TEST(RowsetReader, DatesAndTimes) {
  const struct {
    const char* type;
    const char* text;
    TDateTimeParts expected;
  } cases[] = {
      {"dateTime", "2023-09-01T10:20:30", {2023, 9, 1, 10, 20, 30, 0}},
      {"dateTime", "2023-09-02T08:00:00.125", {2023, 9, 2, 8, 0, 0, 125}},
      {"dateTime", "2023-09-02T08:00:00.123456789", {2023, 9, 2, 8, 0, 0, 123}},
      {"dateTime", "2023-12-31T23:59:59.9996", {2024, 1, 1, 0, 0, 0, 0}},
      {"dateTime", "2023-09-02T14:30:00Z", {2023, 9, 2, 14, 30, 0, 0}},
      {"dateTime", "2023-09-02T14:30:00+05:00", {2023, 9, 2, 14, 30, 0, 0}},
      {"dateTime", "2023-09-02 14:30", {2023, 9, 2, 14, 30, 0, 0}},
      {"dateTime", "1899-12-29T06:00:00", {1899, 12, 29, 6, 0, 0, 0}},
      {"date", "2024-02-29", {2024, 2, 29, 0, 0, 0, 0}},
      {"date", "2024-02-29T13:00:00", {2024, 2, 29, 0, 0, 0, 0}},
      {"time", "13:45:10.5", {1899, 12, 30, 13, 45, 10, 500}},
      {"time", "2024-02-29T13:45:10", {1899, 12, 30, 13, 45, 10, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.type) + " " + c.text);
    const auto recordset = ReadRowsetXml(
        Doc(Column("v", std::string("dt:type='") + c.type + "'"), std::string("<z:row v='") + c.text + "'/>"));
    const TDateTimeParts p = DecodeDateTime(std::get<double>(recordset->Get(0, 0).Value));
    EXPECT_EQ((std::vector<int>{p.Year, p.Month, p.Day, p.Hour, p.Minute, p.Second, p.Millisecond}),
              (std::vector<int>{c.expected.Year, c.expected.Month, c.expected.Day, c.expected.Hour, c.expected.Minute,
                                c.expected.Second, c.expected.Millisecond}));
  }
}

TEST(RowsetReader, RefusesBadInputWithWhereItIs) {
  const std::string good = Doc(Column("i", "dt:type='int'"), "<z:row i='1'/>");
  const struct {
    const char* name;
    std::string document;
    const char* messagePart;
  } cases[] = {
      {"truncated", good.substr(0, good.size() - 20), "line 1"},
      {"unclosed tag", Doc(Column("i"), "<z:row i='1'>"), "does not match"},
      {"malformed attribute", Doc(Column("i"), "<z:row i=1/>"), "quoted attribute value"},
      {"undefined entity", Doc(Column("i"), "<z:row i='&nbsp;'/>"), "bad entity"},
      {"undeclared prefix", Doc(Column("i"), "<q:row i='1'/>"), "undeclared namespace prefix 'q'"},
      {"doctype", "<!DOCTYPE x [<!ENTITY e SYSTEM 'file:///etc/passwd'>]>" + good, "document type declarations"},
      {"duplicate attribute", Doc(Column("i"), "<z:row i='1' i='2'/>"), "appears twice"},
      {"no schema", kOpen + "<rs:data/></xml>", "no s:Schema"},
      {"no data", kOpen + "<s:Schema><s:ElementType name='row'/></s:Schema></xml>", "no rs:data"},
      {"unknown namespace for the schema",
       "<xml xmlns:s='urn:other' xmlns:rs='urn:schemas-microsoft-com:rowset'><s:Schema/><rs:data/></xml>",
       "no s:Schema"},
      {"abc in an int column", Doc(Column("i", "dt:type='int'"), "<z:row i='1'/><z:row i='abc'/>"),
       "Row 2, column 'i': 'abc' is not a valid int value"},
      {"40000 in an i2 column", Doc(Column("i", "dt:type='i2'"), "<z:row i='40000'/>"), "'40000' is not a valid i2"},
      {"odd hex", Doc(Column("b", "dt:type='bin.hex'"), "<z:row b='abc'/>"), "not a valid bin.hex"},
      {"bad date", Doc(Column("d", "dt:type='dateTime'"), "<z:row d='2023-02-30'/>"), "not a valid dateTime"},
      {"ui8 above int64", Doc(Column("u", "dt:type='ui8'"), "<z:row u='9223372036854775808'/>"), "not a valid ui8"},
      {"binary ADTG",
       std::string("\x01\x00\x00\x00"
                   "ADTG",
                   8),
       "binary (ADTG)"},
      {"empty", "", "empty"},
      {"not XML", "hello", "not an XML document"},
      {"two roots", good + "<xml/>", "second root"},
  };
  for (const auto& c : cases) {
    try {
      ReadRowsetXml(c.document);
      ADD_FAILURE() << c.name << ": accepted";
    } catch (const ERowsetError& e) {
      EXPECT_NE(e.Message.find(c.messagePart), std::string::npos) << c.name << ": " << e.Message;
    }
  }
}

TEST(RowsetReader, ReadsUtf16WithByteOrderMark) {
  const std::string utf8 = Doc(Column("t"), "<z:row t='中文😀'/>");
  std::string utf16 = "\xFF\xFE";
  for (size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    uint32_t code;
    size_t length;
    if (c < 0x80)
      code = c, length = 1;
    else if (c < 0xE0)
      code = c & 0x1F, length = 2;
    else if (c < 0xF0)
      code = c & 0x0F, length = 3;
    else
      code = c & 0x07, length = 4;
    for (size_t k = 1; k < length; ++k) code = code << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    i += length;
    const auto unit = [&](uint32_t u) {
      utf16 += static_cast<char>(u & 0xFF);
      utf16 += static_cast<char>(u >> 8);
    };
    if (code >= 0x10000) {
      unit(0xD800 + ((code - 0x10000) >> 10));
      unit(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      unit(code);
    }
  }
  EXPECT_EQ(Values(*ReadRowsetXml(utf16))[0][0], "中文😀");
}

// ---- the writer ----

std::shared_ptr<TRecordset> EveryType() {
  std::vector<TColumnDef> columns = {
      {"ID", ftInteger, 0, 0, true},
      {"S", ftString, 20},
      {"W", ftWideString, 30},
      {"M", ftMemo},
      {"SI", ftSmallint},
      {"WO", ftWord},
      {"AI", ftAutoInc},
      {"LI", ftLargeint},
      {"B", ftBoolean},
      {"F", ftFloat},
      {"C", ftCurrency},
      {"N", ftBCD, 2, 12},
      {"D", ftDate},
      {"T", ftTime},
      {"DT", ftDateTime},
      {"BY", ftBytes, 4},
      {"VB", ftVarBytes, 10},
      {"BL", ftBlob},
  };
  auto recordset = std::make_shared<TRecordset>(columns);
  const std::vector<TCellValue> full = {
      {int64_t{1}},
      {std::string("ansi 'q' \"dq\" <&>")},
      {std::string("中文 😀 line\r\nbreak\ttab")},
      {std::string(5000, 'm')},
      {int64_t{-32768}},
      {int64_t{65535}},
      {int64_t{7}},
      {int64_t{-9007199254740993}},
      {int64_t{1}},
      {0.1},
      {int64_t{-12345678}},
      {std::string("-1234.50")},
      {EncodeDateTime({2024, 2, 29})},
      {EncodeDateTime({1899, 12, 30, 23, 59, 58, 7})},
      {EncodeDateTime({2023, 9, 2, 8, 0, 0, 125})},
      {std::string("\x00\x01\xFE\xFF", 4)},
      {std::string("\x10", 1)},
      {std::string("blob\x00bytes", 10)},
  };
  recordset->InsertRow(0, full);
  std::vector<TCellValue> empties(columns.size());
  empties[0] = TCellValue{int64_t{2}};
  empties[1] = TCellValue{std::string()};
  empties[2] = TCellValue{std::string()};
  empties[16] = TCellValue{std::string()};
  empties[17] = TCellValue{std::string()};
  recordset->InsertRow(1, empties);
  std::vector<TCellValue> nulls(columns.size());
  nulls[0] = TCellValue{int64_t{3}};
  recordset->InsertRow(2, nulls);
  return recordset;
}

TEST(RowsetWriter, RoundTripsEveryType) {
  const auto written = EveryType();
  std::string document;
  WriteRowsetXml(*written, document);
  EXPECT_EQ(document.find("\xEF\xBB\xBF"), std::string::npos);
  EXPECT_EQ(document.find("<?xml"), std::string::npos);
  const auto read = ReadRowsetXml(document);
  ASSERT_EQ(read->ColumnCount(), written->ColumnCount());
  for (int32_t c = 0; c < written->ColumnCount(); ++c) {
    SCOPED_TRACE(written->Columns()[static_cast<size_t>(c)].Name);
    EXPECT_EQ(read->Columns()[static_cast<size_t>(c)].Name, written->Columns()[static_cast<size_t>(c)].Name);
    EXPECT_EQ(read->Columns()[static_cast<size_t>(c)].DataType, written->Columns()[static_cast<size_t>(c)].DataType);
    EXPECT_EQ(read->Columns()[static_cast<size_t>(c)].Size, written->Columns()[static_cast<size_t>(c)].Size);
  }
  EXPECT_TRUE(read->Columns()[0].Required);
  EXPECT_EQ(Values(*read), Values(*written));
}

TEST(RowsetWriter, WritesTheSameDocumentInPieces) {
  const auto recordset = EveryType();
  std::string whole;
  WriteRowsetXml(*recordset, whole);
  for (const size_t pieceSize : {size_t{1}, size_t{100}, size_t{1} << 20}) {
    std::string joined;
    size_t calls = 0;
    WriteRowsetXml(
        *recordset,
        [&](std::string& piece) {
          ++calls;
          joined += piece;
          std::string taken;
          taken.swap(piece);  // a sink may keep the piece
        },
        pieceSize);
    EXPECT_EQ(joined, whole) << pieceSize;
    EXPECT_EQ(calls > 1, pieceSize < whole.size()) << pieceSize;
  }
}

TEST(RowsetWriter, AliasesNamesXmlCannotCarry) {
  std::vector<TColumnDef> columns;
  for (const char* name : {"Unit Cost", "1st", "a:b", "xmlns", "XmlThing", "dup", "dup", "c7", "数量", "c2", ""})
    columns.push_back({name, ftWideString, 10});
  TRecordset recordset(columns);
  std::vector<TCellValue> row;
  for (size_t i = 0; i < columns.size(); ++i) row.push_back(TCellValue{std::to_string(i)});
  recordset.InsertRow(0, row);
  std::string document;
  WriteRowsetXml(recordset, document);
  EXPECT_NE(document.find("name='c0' rs:name='Unit Cost'"), std::string::npos);
  EXPECT_NE(document.find("name='数量'"), std::string::npos);
  EXPECT_NE(document.find("name='c6' rs:name='dup'"), std::string::npos);
  EXPECT_NE(document.find("name='c9' rs:name='c2'"), std::string::npos);  // c2 is the alias of "a:b"
  const auto read = ReadRowsetXml(document);
  ASSERT_EQ(read->ColumnCount(), static_cast<int32_t>(columns.size()));
  EXPECT_EQ(Names(*read), (std::vector<std::string>{"Unit Cost", "1st", "a:b", "xmlns", "XmlThing", "dup", "dup_1",
                                                    "c7", "数量", "c2", ""}));
  EXPECT_EQ(Values(*read), Values(recordset));
}

TEST(RowsetWriter, ReplacesCharactersXmlCannotCarry) {
  TRecordset recordset({{"t", ftWideString, 10}});
  recordset.InsertRow(0, {TCellValue{std::string("a\x01z\xFF")}});
  std::string document;
  size_t replaced = 0;
  WriteRowsetXml(recordset, document, &replaced);
  EXPECT_EQ(replaced, 2u);
  EXPECT_EQ(Values(*ReadRowsetXml(document))[0][0], "a\xEF\xBF\xBDz\xEF\xBF\xBD");
}

TEST(RowsetWriter, IgnoresTheProcessLocale) {
  const char* german = std::setlocale(LC_ALL, "de_DE.UTF-8");
  if (german == nullptr) german = std::setlocale(LC_NUMERIC, "C.UTF-8");
  TRecordset recordset({{"f", ftFloat}});
  recordset.InsertRow(0, {TCellValue{2.5}});
  std::string document;
  WriteRowsetXml(recordset, document);
  EXPECT_NE(document.find("f='2.5'"), std::string::npos);
  EXPECT_EQ(std::get<double>(ReadRowsetXml(document)->Get(0, 0).Value), 2.5);
  std::setlocale(LC_ALL, "C");
}

}  // namespace
