// The SQLite backend: one database file, WAL journal, a busy timeout. Result column types come
// from the declared types, and from the values where there is none (expressions); a value that
// does not fit its column's type widens the type and the query runs again, so nothing is lost.
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <limits>

#include "SqlBackend.h"
#include "data/DateTime.h"
#include "data/ValueText.h"

namespace server {

namespace {

constexpr int kBusyTimeoutMs = 10000;

enum class TKind { Undecided, Integer, Largeint, Float, Decimal, Text, Blob, Date, Time, DateTime, Boolean };

struct TColumnPlan {
  std::string Name;
  TKind Kind = TKind::Undecided;
  int32_t DeclaredSize = 0;
  int32_t Scale = 0, Precision = 0;
  size_t MaxUnits = 0;
};

std::string Upper(const char* text) {
  std::string upper = text ? text : "";
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

// "VARCHAR(44)" gives 44, "DECIMAL(12,2)" gives 12 and 2.
void SizesOf(const std::string& type, int32_t& first, int32_t& second) {
  const size_t open = type.find('(');
  if (open == std::string::npos) return;
  first = std::atoi(type.c_str() + open + 1);
  const size_t comma = type.find(',', open);
  if (comma != std::string::npos) second = std::atoi(type.c_str() + comma + 1);
}

TColumnPlan PlanFor(const char* name, const char* declared) {
  TColumnPlan plan;
  plan.Name = name ? name : "";
  const std::string type = Upper(declared);
  if (type.empty()) return plan;
  if (type.find("BOOL") != std::string::npos)
    plan.Kind = TKind::Boolean;
  else if (type.find("INT") != std::string::npos)
    plan.Kind = type.find("BIG") != std::string::npos ? TKind::Largeint : TKind::Integer;
  else if (type.find("CHAR") != std::string::npos || type.find("CLOB") != std::string::npos ||
           type.find("TEXT") != std::string::npos)
    plan.Kind = TKind::Text;
  else if (type.find("BLOB") != std::string::npos || type.find("BINARY") != std::string::npos)
    plan.Kind = TKind::Blob;
  else if (type.find("REAL") != std::string::npos || type.find("FLOA") != std::string::npos ||
           type.find("DOUB") != std::string::npos)
    plan.Kind = TKind::Float;
  else if (type.find("DATETIME") != std::string::npos || type.find("TIMESTAMP") != std::string::npos)
    plan.Kind = TKind::DateTime;
  else if (type.find("DATE") != std::string::npos)
    plan.Kind = TKind::Date;
  else if (type.find("TIME") != std::string::npos)
    plan.Kind = TKind::Time;
  else if (type.find("DEC") != std::string::npos || type.find("NUMERIC") != std::string::npos) {
    SizesOf(type, plan.Precision, plan.Scale);
    plan.Kind = type.find('(') != std::string::npos ? TKind::Decimal : TKind::Float;
  } else {
    plan.Kind = TKind::Text;
  }
  if (plan.Kind == TKind::Text) {
    int32_t unused = 0;
    SizesOf(type, plan.DeclaredSize, unused);
  }
  return plan;
}

TColumnDef DefOf(const TColumnPlan& plan) {
  TColumnDef def;
  def.Name = plan.Name;
  switch (plan.Kind) {
    case TKind::Undecided:
    case TKind::Integer: def.DataType = ftInteger; break;
    case TKind::Largeint: def.DataType = ftLargeint; break;
    case TKind::Float: def.DataType = ftFloat; break;
    case TKind::Decimal:
      def.DataType = ftBCD;
      def.Size = plan.Scale;
      def.Precision = plan.Precision;
      break;
    case TKind::Text: {
      const auto size = std::max<size_t>({plan.MaxUnits, static_cast<size_t>(std::max(plan.DeclaredSize, 0)), 1});
      def.DataType = size > 65535 ? ftMemo : ftWideString;
      def.Size = def.DataType == ftMemo ? 0 : static_cast<int32_t>(size);
      break;
    }
    case TKind::Blob: def.DataType = ftBlob; break;
    case TKind::Date: def.DataType = ftDate; break;
    case TKind::Time: def.DataType = ftTime; break;
    case TKind::DateTime: def.DataType = ftDateTime; break;
    case TKind::Boolean: def.DataType = ftBoolean; break;
  }
  return def;
}

class TStatement {
 public:
  TStatement(sqlite3* db, const char*& sql) {
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &FStatement, &tail) != SQLITE_OK) throw ESqlError(sqlite3_errmsg(db));
    sql = tail;
  }
  ~TStatement() { sqlite3_finalize(FStatement); }
  TStatement(const TStatement&) = delete;
  TStatement& operator=(const TStatement&) = delete;
  sqlite3_stmt* Get() const { return FStatement; }

 private:
  sqlite3_stmt* FStatement = nullptr;
};

class TSqliteBackend : public TSqlBackend {
 public:
  explicit TSqliteBackend(const std::string& fileName) {
    if (sqlite3_open_v2(fileName.c_str(), &FDb, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
      const std::string message = FDb ? sqlite3_errmsg(FDb) : "out of memory";
      sqlite3_close(FDb);
      throw ESqlError("Cannot open the database '" + fileName + "': " + message);
    }
    sqlite3_busy_timeout(FDb, kBusyTimeoutMs);
    sqlite3_exec(FDb, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
  }
  ~TSqliteBackend() override { sqlite3_close(FDb); }

  int64_t Execute(const std::string& sql) override {
    const int64_t before = sqlite3_total_changes64(FDb);
    const char* rest = sql.c_str();
    while (rest != nullptr && *rest != '\0') {
      TStatement statement(FDb, rest);
      if (statement.Get() == nullptr) continue;  // white space or a comment
      Step(statement);
    }
    return sqlite3_total_changes64(FDb) - before;
  }

  void ExecuteWithBlob(const std::string& sql, const std::string& name, std::string_view blob) override {
    const char* rest = sql.c_str();
    TStatement statement(FDb, rest);
    if (statement.Get() == nullptr) throw ESqlError("no statement to run");
    const int index = sqlite3_bind_parameter_index(statement.Get(), (":" + name).c_str());
    if (index == 0) throw ESqlError("the statement has no parameter :" + name);
    sqlite3_bind_blob64(statement.Get(), index, blob.data(), blob.size(), SQLITE_TRANSIENT);
    Step(statement);
  }

  std::shared_ptr<TRecordset> Query(const std::string& sql) override {
    std::vector<TColumnPlan> plans;
    // A value that does not fit its column widens the column; then the query runs again.
    for (int attempt = 0;; ++attempt) {
      const char* rest = sql.c_str();
      TStatement statement(FDb, rest);
      if (statement.Get() == nullptr) throw ESqlError("no query to run");
      sqlite3_stmt* s = statement.Get();
      const int columns = sqlite3_column_count(s);
      if (attempt == 0)
        for (int c = 0; c < columns; ++c)
          plans.push_back(PlanFor(sqlite3_column_name(s, c), sqlite3_column_decltype(s, c)));
      if (auto recordset = TryFill(s, plans)) return recordset;
      if (attempt > columns * 4) throw ESqlError("the result's column types do not settle");
    }
  }

 private:
  void Step(const TStatement& statement) {
    int result;
    while ((result = sqlite3_step(statement.Get())) == SQLITE_ROW) {
    }
    if (result != SQLITE_DONE) throw ESqlError(sqlite3_errmsg(FDb));
  }

  // Null when a value made a column wider (the plans say how); the caller runs the query again.
  std::shared_ptr<TRecordset> TryFill(sqlite3_stmt* s, std::vector<TColumnPlan>& plans) {
    // Undecided columns are decided by their first value, so rows are read before the
    // recordset is made: the first row fixes them, later rows can only widen.
    std::shared_ptr<TRecordset> recordset;
    std::vector<TCellValue> row(plans.size());
    int result;
    while ((result = sqlite3_step(s)) == SQLITE_ROW) {
      for (size_t c = 0; c < plans.size(); ++c) {
        if (!Convert(s, static_cast<int>(c), plans[c], row[c])) return nullptr;
      }
      if (!recordset) {
        std::vector<TColumnDef> defs;
        for (const TColumnPlan& plan : plans) defs.push_back(DefOf(plan));
        recordset = std::make_shared<TRecordset>(std::move(defs));
      }
      recordset->InsertRow(recordset->RowCount(), row);
    }
    if (result != SQLITE_DONE) throw ESqlError(sqlite3_errmsg(FDb));
    std::vector<TColumnDef> defs;
    for (const TColumnPlan& plan : plans) defs.push_back(DefOf(plan));
    if (!recordset) return std::make_shared<TRecordset>(std::move(defs));
    // Text sizes are known only now.
    for (size_t c = 0; c < defs.size(); ++c) {
      if (defs[c].DataType != recordset->Columns()[c].DataType) return nullptr;  // memo by length: refill
      recordset->Columns()[c].Size = defs[c].Size;
    }
    return recordset;
  }

  static bool Widen(TColumnPlan& plan, TKind kind) {
    plan.Kind = kind;
    return false;
  }

  // The value of column c in the plan's kind; false (and a wider plan) when it does not fit.
  static bool Convert(sqlite3_stmt* s, int c, TColumnPlan& plan, TCellValue& out) {
    const int type = sqlite3_column_type(s, c);
    if (type == SQLITE_NULL) {
      out = TCellValue{};
      return true;
    }
    if (plan.Kind == TKind::Undecided) {
      plan.Kind = type == SQLITE_INTEGER ? TKind::Integer
                  : type == SQLITE_FLOAT ? TKind::Float
                  : type == SQLITE_BLOB  ? TKind::Blob
                                         : TKind::Text;
    }
    const auto text = [&] {
      const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(s, c));
      return std::string(bytes ? bytes : "", static_cast<size_t>(sqlite3_column_bytes(s, c)));
    };
    switch (plan.Kind) {
      case TKind::Boolean:
        // The client writes booleans as 'True'/'False' in UPDATE texts, as 1/0 in INSERT texts.
        if (type == SQLITE_TEXT) {
          const auto value = ParseXmlBoolean(text());
          if (!value) return Widen(plan, TKind::Text);
          out = TCellValue{int64_t{*value ? 1 : 0}};
          return true;
        }
        [[fallthrough]];
      case TKind::Integer:
      case TKind::Largeint: {
        if (type == SQLITE_FLOAT) return Widen(plan, TKind::Float);
        if (type != SQLITE_INTEGER) return Widen(plan, TKind::Text);
        const int64_t value = sqlite3_column_int64(s, c);
        if (plan.Kind == TKind::Boolean && value != 0 && value != 1) return Widen(plan, TKind::Integer);
        if (plan.Kind == TKind::Integer && (value < INT32_MIN || value > INT32_MAX))
          return Widen(plan, TKind::Largeint);
        out = TCellValue{value};
        return true;
      }
      case TKind::Float:
        if (type != SQLITE_INTEGER && type != SQLITE_FLOAT) return Widen(plan, TKind::Text);
        out = TCellValue{sqlite3_column_double(s, c)};
        return true;
      case TKind::Decimal: {
        const auto decimal = NormalizeDecimal(text(), plan.Scale);
        if (!decimal || type == SQLITE_BLOB) return Widen(plan, TKind::Text);
        out = TCellValue{*decimal};
        return true;
      }
      case TKind::Date:
      case TKind::Time:
      case TKind::DateTime: {
        const auto value = type == SQLITE_TEXT ? ParseDateTimeText(text()) : std::nullopt;
        if (!value) return Widen(plan, TKind::Text);
        out = TCellValue{*value};
        return true;
      }
      case TKind::Blob: {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(s, c));
        out = TCellValue{std::string(bytes ? bytes : "", static_cast<size_t>(sqlite3_column_bytes(s, c)))};
        return true;
      }
      case TKind::Text:
      case TKind::Undecided: {
        if (type == SQLITE_BLOB) return Widen(plan, TKind::Blob);
        std::string value = type == SQLITE_FLOAT ? FloatToText(sqlite3_column_double(s, c)) : text();
        plan.MaxUnits = std::max(plan.MaxUnits, Utf16Length(value));
        out = TCellValue{std::move(value)};
        return true;
      }
    }
    return true;
  }

  sqlite3* FDb = nullptr;
};

}  // namespace

std::unique_ptr<TSqlBackend> OpenSqlite(const std::string& fileName) {
  return std::make_unique<TSqliteBackend>(fileName);
}

}  // namespace server
