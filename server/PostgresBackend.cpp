// The PostgreSQL backend over libpq: statements and queries in the text protocol, column types
// from the result's type OIDs and modifiers, the blob statement's :name parameter rewritten to
// $1 and bound as binary.
#include <libpq-fe.h>

#include <algorithm>
#include <memory>

#include "SqlBackend.h"
#include "data/DateTime.h"
#include "data/ValueText.h"

namespace server {

namespace {

using TResult = std::unique_ptr<PGresult, decltype(&PQclear)>;

// PostgreSQL's built-in type OIDs.
enum : Oid {
  kBool = 16,
  kBytea = 17,
  kInt8 = 20,
  kInt2 = 21,
  kInt4 = 23,
  kOid = 26,
  kFloat4 = 700,
  kFloat8 = 701,
  kBpchar = 1042,
  kVarchar = 1043,
  kDate = 1082,
  kTime = 1083,
  kTimestamp = 1114,
  kTimestampTz = 1184,
  kNumeric = 1700,
};

std::string MessageOf(const PGresult* result, PGconn* connection) {
  if (result != nullptr)
    if (const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY)) return primary;
  std::string message = PQerrorMessage(connection);
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  return message;
}

TColumnDef ColumnOf(const PGresult* result, int column) {
  TColumnDef def;
  def.Name = PQfname(result, column);
  const int modifier = PQfmod(result, column);
  switch (PQftype(result, column)) {
    case kBool: def.DataType = ftBoolean; break;
    case kInt2: def.DataType = ftSmallint; break;
    case kInt4: def.DataType = ftInteger; break;
    case kInt8:
    case kOid: def.DataType = ftLargeint; break;
    case kFloat4:
    case kFloat8: def.DataType = ftFloat; break;
    case kNumeric:
      if (modifier >= 4) {
        def.DataType = ftBCD;
        def.Precision = ((modifier - 4) >> 16) & 0xFFFF;
        def.Size = (modifier - 4) & 0xFFFF;
      } else {
        def.DataType = ftFloat;
      }
      break;
    case kBytea: def.DataType = ftBlob; break;
    case kDate: def.DataType = ftDate; break;
    case kTime: def.DataType = ftTime; break;
    case kTimestamp:
    case kTimestampTz: def.DataType = ftDateTime; break;
    default:
      def.DataType = ftWideString;
      def.Size = (PQftype(result, column) == kVarchar || PQftype(result, column) == kBpchar) && modifier >= 4
                     ? modifier - 4
                     : 0;
  }
  return def;
}

class TPostgresBackend : public TSqlBackend {
 public:
  explicit TPostgresBackend(const std::string& connectionString) : FConnection(PQconnectdb(connectionString.c_str())) {
    if (PQstatus(FConnection) != CONNECTION_OK) {
      const std::string message = MessageOf(nullptr, FConnection);
      PQfinish(FConnection);
      throw ESqlError("Cannot connect to PostgreSQL: " + message);
    }
    PQsetClientEncoding(FConnection, "UTF8");
    // Notices ("table does not exist, skipping") are no errors; they are not printed.
    PQsetNoticeProcessor(
        FConnection, [](void*, const char*) {}, nullptr);
  }
  ~TPostgresBackend() override { PQfinish(FConnection); }

  int64_t Execute(const std::string& sql) override {
    TResult result(PQexec(FConnection, sql.c_str()), &PQclear);
    Check(result.get());
    const char* tuples = PQcmdTuples(result.get());
    return tuples && *tuples ? std::atoll(tuples) : 0;
  }

  void ExecuteWithBlob(const std::string& sql, const std::string& name, std::string_view blob) override {
    std::string rewritten = sql;
    const size_t at = rewritten.find(":" + name);
    if (at == std::string::npos) throw ESqlError("the statement has no parameter :" + name);
    rewritten.replace(at, name.size() + 1, "$1");
    const char* values[] = {blob.data()};
    const int lengths[] = {static_cast<int>(blob.size())};
    const int formats[] = {1};
    const Oid types[] = {kBytea};
    TResult result(PQexecParams(FConnection, rewritten.c_str(), 1, types, values, lengths, formats, 0), &PQclear);
    Check(result.get());
  }

  std::shared_ptr<TRecordset> Query(const std::string& sql) override {
    TResult result(PQexec(FConnection, sql.c_str()), &PQclear);
    Check(result.get());
    const PGresult* r = result.get();
    const int columns = PQnfields(r), rows = PQntuples(r);
    std::vector<TColumnDef> defs;
    for (int c = 0; c < columns; ++c) defs.push_back(ColumnOf(r, c));
    // Texts without a declared length are as long as their longest value.
    for (int c = 0; c < columns; ++c) {
      if (defs[static_cast<size_t>(c)].DataType != ftWideString || defs[static_cast<size_t>(c)].Size > 0) continue;
      size_t longest = 1;
      for (int row = 0; row < rows; ++row)
        longest = std::max(
            longest, Utf16Length(std::string_view(PQgetvalue(r, row, c), static_cast<size_t>(PQgetlength(r, row, c)))));
      if (longest > 65535)
        defs[static_cast<size_t>(c)].DataType = ftMemo;
      else
        defs[static_cast<size_t>(c)].Size = static_cast<int32_t>(longest);
    }
    auto recordset = std::make_shared<TRecordset>(defs);
    recordset->Order.reserve(static_cast<size_t>(rows));
    for (int row = 0; row < rows; ++row) {
      const uint32_t physical = recordset->NewPhysicalRow();
      recordset->Order.push_back(physical);
      for (int c = 0; c < columns; ++c) {
        if (PQgetisnull(r, row, c)) continue;
        Store(recordset->Column(c), physical, defs[static_cast<size_t>(c)],
              std::string_view(PQgetvalue(r, row, c), static_cast<size_t>(PQgetlength(r, row, c))));
      }
    }
    return recordset;
  }

 private:
  void Check(const PGresult* result) {
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && status != PGRES_EMPTY_QUERY)
      throw ESqlError(MessageOf(result, FConnection));
  }

  static void Store(TColumnData& data, uint32_t row, const TColumnDef& def, std::string_view text) {
    const auto refuse = [&] {
      throw ESqlError("column " + def.Name + ": cannot read the value '" + std::string(text) + "'");
    };
    switch (def.DataType) {
      case ftBoolean: data.SetInt(row, text == "t" ? 1 : 0); break;
      case ftSmallint:
      case ftInteger:
      case ftLargeint: {
        const auto value = ParseXmlInteger(text, INT64_MIN, INT64_MAX);
        if (!value) refuse();
        data.SetInt(row, *value);
        break;
      }
      case ftFloat: {
        const auto value = ParseXmlFloat(text == "Infinity" ? "INF" : text == "-Infinity" ? "-INF" : text);
        if (!value) refuse();
        data.SetDouble(row, *value);
        break;
      }
      case ftBCD: {
        const auto value = NormalizeDecimal(text, def.Size);
        if (!value) refuse();
        data.SetBytes(row, *value);
        break;
      }
      case ftBlob: {
        const auto bytes = text.starts_with("\\x") ? ParseHex(text.substr(2)) : std::nullopt;
        if (!bytes) refuse();
        data.SetBytes(row, *bytes);
        break;
      }
      case ftDate:
      case ftTime:
      case ftDateTime: {
        // Text forms "YYYY-MM-DD", "hh:mm:ss[.f]", "YYYY-MM-DD hh:mm:ss[.f][+zz]".
        std::string clean(text);
        if (def.DataType == ftDateTime && clean.size() > 19) {
          const size_t zone = clean.find_first_of("+-", 19);
          if (zone != std::string::npos) clean.erase(zone);
        }
        const auto value = ParseDateTimeText(clean);
        if (!value) refuse();
        data.SetDouble(row, *value);
        break;
      }
      default: data.SetBytes(row, text);
    }
  }

  PGconn* FConnection;
};

}  // namespace

std::unique_ptr<TSqlBackend> OpenPostgres(const std::string& connectionString) {
  return std::make_unique<TPostgresBackend>(connectionString);
}

}  // namespace server
