#include "remote/WriteBackSql.h"

#include "common/untFunctions.h"
#include "platform/Format.h"
#include "remote/UntBaseProctol.h"

namespace writeback {

namespace {

constexpr const char* kRunSelectFirst = "无法自动提交，请先执行select";
constexpr const char* kBadSql = "SQL语句错误！";

std::string AsciiLower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

const TField& KeyField(const TDataSet& dataSet) { return dataSet.Field(0); }

enum class TStatementKind { Insert, Update };

// A field's value as it stands in an INSERT or an UPDATE text.
std::string ValueForm(const TField& field, TStatementKind kind) {
  const bool insert = kind == TStatementKind::Insert;
  switch (field.DataType) {
    case ftSmallint:
    case ftInteger: return std::to_string(field.AsInteger());
    case ftBoolean: return insert ? std::to_string(field.AsInteger()) : QuotedSqlText(field.AsString());
    case ftBytes: {
      if (!insert) return QuotedSqlText(field.AsString());
      const std::string text = field.AsString();
      return text.empty() ? "0" : text;
    }
    case ftWord:
    case ftFloat:
    case ftCurrency:
    case ftBCD: {
      const std::string text = field.AsString();
      return insert && text.empty() ? "0" : text;
    }
    default: return QuotedSqlText(field.AsString());
  }
}

}  // namespace

std::string QuotedSqlText(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return quoted + "'";
}

std::string FindTable(const std::string& selectText) {
  const std::string text = AsciiLower(selectText);
  if (text.find("select") == std::string::npos) ShowInfoAndAbort(kRunSelectFirst);
  TStringList tokens;
  SplitString(text, tokens, " ");
  int from = tokens.IndexOf("from");
  if (from < 0) from = 0;
  if (from < 2) ShowInfoAndAbort(kBadSql);
  for (int i = from + 1; i < tokens.Count(); ++i)
    if (!tokens[i].empty()) return tokens[i];
  ShowInfoAndAbort(kBadSql);
}

std::string DeleteStatement(const std::string& table, const TDataSet& dataSet) {
  const TField& key = KeyField(dataSet);
  return "delete from " + table + Format(" where %s=%d", {key.FieldName, key.AsInteger()});
}

std::string UpdateStatement(const std::string& table, const TDataSet& dataSet) {
  const TField& key = KeyField(dataSet);
  const std::string keyName = key.FieldName;
  const std::string keyText = key.AsString();
  std::string assignments;
  for (int32_t i = 1; i < dataSet.FieldCount(); ++i) {
    const TField& field = dataSet.Field(i);
    if (field.DataType == ftBlob) continue;
    if (!assignments.empty()) assignments += ",";
    assignments += field.FieldName + "=" + ValueForm(field, TStatementKind::Update);
  }
  if (assignments.empty()) return {};
  return "Update " + table + " Set " + assignments + Format(" where %s=%s", {keyName, keyText});
}

std::string InsertStatement(const std::string& table, const TDataSet& dataSet) {
  std::string columns = "insert into " + table + "(";
  std::string values;
  for (int32_t i = 0; i < dataSet.FieldCount(); ++i) {
    const TField& field = dataSet.Field(i);
    if (field.DataType == ftBlob) continue;
    const std::string separator = i == 0 ? "" : ",";
    columns += separator + field.FieldName;
    values += separator + ValueForm(field, TStatementKind::Insert);
  }
  return columns + ") values (" + values + ")";
}

std::string NewKeyQuery(const std::string& table, const TDataSet& dataSet) {
  return Format("select max(%s) as myid from %s", {KeyField(dataSet).FieldName, table});
}

std::string BlobUpdateStatement(const std::string& table, const TField& blob, const TDataSet& dataSet) {
  const TField& key = KeyField(dataSet);
  return Format("update %s set %s=:%s where %s=%d",
                {table, blob.FieldName, proto::kBlobParameter, key.FieldName, key.AsInteger()});
}

std::vector<const TField*> BlobFields(const TDataSet& dataSet) {
  std::vector<const TField*> blobs;
  for (const auto& field : dataSet.Fields())
    if (field->DataType == ftBlob) blobs.push_back(field.get());
  return blobs;
}

}  // namespace writeback
