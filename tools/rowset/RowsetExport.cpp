#include "RowsetExport.h"

#include <cmath>
#include <cstdio>

#include "data/DateTime.h"
#include "data/ValueText.h"

namespace {

enum class TKind { Null, Number, Boolean, Text };

struct TCell {
  TKind Kind;
  std::string Text;
};

// One value in the export's form; both formats share it.
TCell CellOf(const TRecordset& recordset, int32_t row, int32_t column) {
  const TColumnData& data = recordset.Column(column);
  const uint32_t physical = recordset.PhysicalRow(row);
  const TFieldType type = recordset.Columns()[static_cast<size_t>(column)].DataType;
  if (data.IsNull(physical)) return {TKind::Null, {}};
  switch (data.Storage) {
    case TStorage::Int32:
    case TStorage::Int64: {
      const int64_t value = data.GetInt(physical);
      if (type == ftBoolean) return {TKind::Boolean, value != 0 ? "true" : "false"};
      if (type == ftCurrency) return {TKind::Number, CurrencyToText(value)};
      return {TKind::Number, std::to_string(value)};
    }
    case TStorage::Double: {
      const double value = data.GetDouble(physical);
      if (type == ftFloat)
        return std::isfinite(value) ? TCell{TKind::Number, FloatToText(value)} : TCell{TKind::Null, {}};
      return {TKind::Text, IsoDateTimeText(value, IsoFormOf(type), true)};
    }
    case TStorage::Bytes: {
      const std::string_view bytes = data.GetBytes(physical);
      if (type == ftBCD) return {TKind::Number, std::string(bytes)};
      if (IsBinaryType(type)) return {TKind::Text, HexOf(bytes)};
      return {TKind::Text, std::string(bytes)};
    }
  }
  return {TKind::Null, {}};
}

void JsonString(std::ostream& out, std::string_view text) {
  out << '"';
  for (const char c : text) {
    switch (c) {
      case '"': out << "\\\""; break;
      case '\\': out << "\\\\"; break;
      case '\n': out << "\\n"; break;
      case '\r': out << "\\r"; break;
      case '\t': out << "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
          out << escaped;
        } else {
          out << c;
        }
    }
  }
  out << '"';
}

void CsvField(std::ostream& out, std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    out << text;
    return;
  }
  out << '"';
  for (const char c : text) out << (c == '"' ? "\"\"" : std::string(1, c));
  out << '"';
}

}  // namespace

void WriteJson(const TRecordset& recordset, std::ostream& out) {
  out << "{\"columns\": [";
  for (int32_t c = 0; c < recordset.ColumnCount(); ++c) {
    const TColumnDef& column = recordset.Columns()[static_cast<size_t>(c)];
    out << (c ? ", " : "") << "{\"name\": ";
    JsonString(out, column.Name);
    out << ", \"type\": " << static_cast<int>(column.DataType) << ", \"size\": " << column.Size << "}";
  }
  out << "], \"rows\": [";
  for (int32_t r = 0; r < recordset.RowCount(); ++r) {
    out << (r ? ",\n  [" : "\n  [");
    for (int32_t c = 0; c < recordset.ColumnCount(); ++c) {
      if (c) out << ", ";
      const TCell cell = CellOf(recordset, r, c);
      if (cell.Kind == TKind::Null)
        out << "null";
      else if (cell.Kind == TKind::Text)
        JsonString(out, cell.Text);
      else
        out << cell.Text;
    }
    out << "]";
  }
  out << (recordset.RowCount() ? "\n]}\n" : "]}\n");
}

void WriteCsv(const TRecordset& recordset, std::ostream& out) {
  for (int32_t c = 0; c < recordset.ColumnCount(); ++c) {
    if (c) out << ',';
    CsvField(out, recordset.Columns()[static_cast<size_t>(c)].Name);
  }
  out << "\r\n";
  for (int32_t r = 0; r < recordset.RowCount(); ++r) {
    for (int32_t c = 0; c < recordset.ColumnCount(); ++c) {
      if (c) out << ',';
      const TCell cell = CellOf(recordset, r, c);
      if (cell.Kind != TKind::Null) CsvField(out, cell.Text);
    }
    out << "\r\n";
  }
}
