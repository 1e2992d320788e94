#include "data/RowsetXml.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <unordered_map>

#include "data/DateTime.h"
#include "data/ValueText.h"
#include "platform/SysUtils.h"

using namespace rowset;

namespace {

// ---- the schema section, read into a small tree ----

struct TNode {
  std::string_view Uri, Local;
  std::vector<std::pair<TXmlReader::TAttribute, std::string>> Attributes;  // with decoded values
  std::vector<TNode> Children;

  const std::string* Attribute(std::string_view uri, std::string_view local) const {
    for (const auto& [attribute, value] : Attributes)
      if (attribute.Uri == uri && attribute.Local == local) return &value;
    return nullptr;
  }
  bool Is(std::string_view uri, std::string_view local) const { return Uri == uri && Local == local; }
};

TNode ReadSubtree(TXmlReader& reader) {
  TNode node{reader.Uri(), reader.Local(), {}, {}};
  std::string scratch;
  for (const auto& attribute : reader.Attributes())
    node.Attributes.emplace_back(attribute, std::string(reader.Value(attribute, scratch)));
  const int depth = reader.Depth();
  while (true) {
    const auto token = reader.Next();
    if (token == TXmlReader::TToken::StartElement)
      node.Children.push_back(ReadSubtree(reader));
    else if (token == TXmlReader::TToken::EndElement && reader.Depth() < depth)
      return node;
    else if (token == TXmlReader::TToken::EndOfDocument)
      return node;
  }
}

bool FlagOf(const std::string* value) {
  if (value == nullptr) return false;
  return SameText(*value, "true") || *value == "1";
}

// ---- columns ----

enum class TValueKind {
  Text,
  Integer,
  Unsigned64,
  Float,
  Currency,
  Decimal,
  Boolean,
  DateTime,
  Date,
  Time,
  Hex,
  Base64
};

struct TColumnSpec {
  std::string XmlName;
  TColumnDef Def;
  TValueKind Kind = TValueKind::Text;
  int64_t Min = 0, Max = 0;  // integer range
  bool SizeFromData = false;
  int64_t SortKey = 0;
  size_t Position = 0;
  bool Hidden = false;
  std::string TypeName;  // for messages
};

struct TTyping {
  const std::string* Type = nullptr;
  const std::string* DbType = nullptr;
  const std::string* MaxLength = nullptr;
  const std::string* Precision = nullptr;
  const std::string* Scale = nullptr;
  bool Fixed = false, Long = false, MaybeNullFalse = false;
};

TTyping TypingOf(const TNode& attributeType) {
  const TNode* datatype = nullptr;
  for (const TNode& child : attributeType.Children)
    if (child.Is(kSchemaUri, "datatype")) datatype = &child;
  // The s:datatype child wins over the same attribute on the AttributeType.
  const auto pick = [&](std::string_view uri, std::string_view local) -> const std::string* {
    if (datatype)
      if (const std::string* value = datatype->Attribute(uri, local)) return value;
    return attributeType.Attribute(uri, local);
  };
  TTyping typing;
  typing.Type = pick(kDatatypeUri, "type");
  typing.DbType = pick(kRowsetUri, "dbtype");
  typing.MaxLength = pick(kDatatypeUri, "maxLength");
  typing.Precision = pick(kRowsetUri, "precision");
  typing.Scale = pick(kRowsetUri, "scale");
  typing.Fixed = FlagOf(pick(kRowsetUri, "fixedlength"));
  typing.Long = FlagOf(pick(kRowsetUri, "long"));
  const std::string* maybeNull = pick(kRowsetUri, "maybenull");
  typing.MaybeNullFalse = maybeNull && (SameText(*maybeNull, "false") || *maybeNull == "0");
  return typing;
}

int32_t IntAttribute(const std::string* value, int32_t fallback) {
  if (value == nullptr) return fallback;
  const auto parsed = ParseXmlInteger(*value, 0, INT32_MAX);
  return parsed ? static_cast<int32_t>(*parsed) : fallback;
}

void MapType(TColumnSpec& column, const TTyping& t, bool autoIncrement) {
  const std::string type = t.Type ? *t.Type : "";
  const std::string dbType = t.DbType ? *t.DbType : "";
  const int64_t maxLength = t.MaxLength ? ParseXmlInteger(*t.MaxLength, 0, INT64_MAX).value_or(-1) : -1;
  const bool isLong = t.Long || maxLength > 65535;
  TColumnDef& def = column.Def;
  column.TypeName = type.empty() ? "string" : type;
  def.Required = t.MaybeNullFalse;
  const auto stringSized = [&](TFieldType fieldType) {
    def.DataType = fieldType;
    if (maxLength >= 0)
      def.Size = static_cast<int32_t>(maxLength);
    else
      column.SizeFromData = true;
    column.Kind = TValueKind::Text;
  };
  const auto as = [&](TFieldType fieldType, TValueKind kind) {
    def.DataType = fieldType;
    column.Kind = kind;
  };
  const auto integer = [&](TFieldType fieldType, int64_t min, int64_t max) {
    as(fieldType, TValueKind::Integer);
    column.Min = min;
    column.Max = max;
  };
  if (type.empty()) return stringSized(ftWideString);
  if (type == "string") {
    if (isLong) return as(ftMemo, TValueKind::Text);
    return stringSized(dbType == "str" ? ftString : ftWideString);
  }
  if (type == "char") {
    def.DataType = ftWideString;
    def.Size = 1;
    return;
  }
  if (type == "uuid") {
    def.DataType = ftString;
    def.Size = 38;
    return;
  }
  if (type == "boolean") return as(ftBoolean, TValueKind::Boolean);
  if (type == "i1") return integer(ftSmallint, -128, 127);
  if (type == "i2") return integer(ftSmallint, -32768, 32767);
  if (type == "ui1") return integer(ftWord, 0, 255);
  if (type == "ui2") return integer(ftWord, 0, 65535);
  if (type == "int" || type == "i4") return integer(autoIncrement ? ftAutoInc : ftInteger, INT32_MIN, INT32_MAX);
  if (type == "ui4") return integer(ftLargeint, 0, 4294967295LL);
  if (type == "i8") return integer(ftLargeint, INT64_MIN, INT64_MAX);
  if (type == "ui8") return as(ftLargeint, TValueKind::Unsigned64);
  if (type == "float" || type == "r8" || type == "r4") return as(ftFloat, TValueKind::Float);
  if ((type == "number" && dbType == "currency") || type == "fixed.14.4") return as(ftCurrency, TValueKind::Currency);
  if (type == "number" && (dbType == "numeric" || dbType == "decimal" || dbType == "varnumeric")) {
    as(ftBCD, TValueKind::Decimal);
    def.Size = IntAttribute(t.Scale, 0);
    def.Precision = IntAttribute(t.Precision, 0);
    return;
  }
  if (type == "number") return as(ftFloat, TValueKind::Float);
  if (type == "dateTime" || type == "dateTime.tz") return as(ftDateTime, TValueKind::DateTime);
  if (type == "date") return as(ftDate, TValueKind::Date);
  if (type == "time" || type == "time.tz") return as(ftTime, TValueKind::Time);
  if (type == "bin.hex" || type == "bin.base64") {
    column.Kind = type == "bin.hex" ? TValueKind::Hex : TValueKind::Base64;
    if (isLong || maxLength < 0) {
      def.DataType = ftBlob;
    } else {
      def.DataType = t.Fixed ? ftBytes : ftVarBytes;
      def.Size = static_cast<int32_t>(maxLength);
    }
    return;
  }
  stringSized(ftWideString);  // an unknown type: loaded as text rather than refused
}

TColumnSpec ColumnFrom(const TNode& attributeType, std::string_view xmlName, size_t position) {
  TColumnSpec column;
  column.XmlName = std::string(xmlName);
  const std::string* realName = attributeType.Attribute(kRowsetUri, "name");
  column.Def.Name = realName ? *realName : column.XmlName;
  column.Position = position;
  const std::string* number = attributeType.Attribute(kRowsetUri, "number");
  const auto parsed = number ? ParseXmlInteger(*number, 0, INT32_MAX) : std::nullopt;
  column.SortKey = parsed ? *parsed : static_cast<int64_t>(position);
  column.Hidden = FlagOf(attributeType.Attribute(kRowsetUri, "hidden"));
  MapType(column, TypingOf(attributeType), FlagOf(attributeType.Attribute(kRowsetUri, "autoincrement")));
  return column;
}

struct TSchema {
  std::string RowName = "row";
  std::vector<TColumnSpec> Visible;
  std::vector<std::string> HiddenNames;
};

TSchema ReadSchema(const TNode& schema) {
  const TNode* elementType = nullptr;
  std::unordered_map<std::string_view, const TNode*> declared;
  for (const TNode& child : schema.Children) {
    if (child.Is(kSchemaUri, "ElementType")) {
      const std::string* name = child.Attribute({}, "name");
      if (elementType == nullptr || (name && *name == "row")) elementType = &child;
    } else if (child.Is(kSchemaUri, "AttributeType")) {
      if (const std::string* name = child.Attribute({}, "name")) declared.emplace(*name, &child);
    }
  }
  if (elementType == nullptr) throw ERowsetError("The schema has no s:ElementType describing the rows");
  TSchema result;
  if (const std::string* name = elementType->Attribute({}, "name")) result.RowName = *name;

  std::vector<TColumnSpec> columns;
  static const TNode kUndeclared;
  for (const TNode& child : elementType->Children) {
    if (child.Is(kSchemaUri, "AttributeType")) {
      const std::string* name = child.Attribute({}, "name");
      if (name == nullptr || name->empty()) throw ERowsetError("An s:AttributeType has no name");
      columns.push_back(ColumnFrom(child, *name, columns.size() + 1));
    } else if (child.Is(kSchemaUri, "attribute")) {
      const std::string* type = child.Attribute({}, "type");
      if (type == nullptr || type->empty()) throw ERowsetError("An s:attribute has no type");
      auto found = declared.find(*type);
      columns.push_back(ColumnFrom(found != declared.end() ? *found->second : kUndeclared, *type, columns.size() + 1));
    }
  }
  for (size_t i = 0; i < columns.size(); ++i)
    for (size_t j = 0; j < i; ++j)
      if (columns[i].XmlName == columns[j].XmlName)
        throw ERowsetError("Two columns share the XML name '" + columns[i].XmlName + "'");
  std::stable_sort(columns.begin(), columns.end(), [](const TColumnSpec& a, const TColumnSpec& b) {
    return a.SortKey != b.SortKey ? a.SortKey < b.SortKey : a.Position < b.Position;
  });
  for (TColumnSpec& column : columns) {
    if (column.Hidden)
      result.HiddenNames.push_back(column.XmlName);
    else
      result.Visible.push_back(std::move(column));
  }
  // Display names are unique without regard to case: later ones get _1, _2, ...
  for (size_t i = 0; i < result.Visible.size(); ++i) {
    const std::string base = result.Visible[i].Def.Name;
    const auto taken = [&](const std::string& name) {
      for (size_t j = 0; j < i; ++j)
        if (SameText(result.Visible[j].Def.Name, name)) return true;
      return false;
    };
    for (int suffix = 1; taken(result.Visible[i].Def.Name); ++suffix)
      result.Visible[i].Def.Name = base + "_" + std::to_string(suffix);
  }
  return result;
}

// ---- rows ----

class TRowLoader {
 public:
  TRowLoader(TXmlReader& reader, TSchema& schema, TRecordset& recordset)
      : FReader(reader), FSchema(schema), FRecordset(recordset) {
    for (size_t i = 0; i < schema.Visible.size(); ++i)
      FIndex.emplace(schema.Visible[i].XmlName, static_cast<int32_t>(i));
    FMaxUnits.assign(schema.Visible.size(), 0);
  }

  void FinishSizes() {
    for (size_t i = 0; i < FSchema.Visible.size(); ++i) {
      TColumnSpec& column = FSchema.Visible[i];
      if (column.SizeFromData) FRecordset.Columns()[i].Size = static_cast<int32_t>(std::max<size_t>(1, FMaxUnits[i]));
    }
  }

 private:
  // A row's values by column, for rows that are merged before they are stored.
  using TCaptured = std::vector<std::optional<std::string>>;

  bool IsRow() const { return FReader.Uri() == kRowUri && FReader.Local() == FSchema.RowName; }

  void SkipCurrent() {
    if (!FReader.IsEmptyElement())
      FReader.SkipElement();
    else
      FReader.Next();  // the empty element's end
  }

  int32_t ColumnOf(const TXmlReader::TAttribute& attribute) {
    // Rows usually list their values in column order: try the next column first.
    if (FNextColumn < FSchema.Visible.size() && FSchema.Visible[FNextColumn].XmlName == attribute.Local)
      return static_cast<int32_t>(FNextColumn++);
    auto found = FIndex.find(attribute.Local);
    if (found == FIndex.end()) return -1;
    FNextColumn = static_cast<size_t>(found->second) + 1;
    return found->second;
  }

  // The plain path: values go straight into the columns.
  void AddRowDirect() {
    const uint32_t row = FRecordset.NewPhysicalRow();
    FRecordset.Order.push_back(row);
    ++FRowNumber;
    FNextColumn = 0;
    for (const auto& attribute : FReader.Attributes()) {
      if (!attribute.Uri.empty() || !attribute.Prefix.empty()) continue;
      const int32_t column = ColumnOf(attribute);
      if (column < 0) continue;
      Store(row, column, FReader.Value(attribute, FScratch));
    }
  }

  TCaptured Capture() {
    TCaptured values(FSchema.Visible.size());
    FNextColumn = 0;
    for (const auto& attribute : FReader.Attributes()) {
      if (!attribute.Uri.empty() || !attribute.Prefix.empty()) continue;
      const int32_t column = ColumnOf(attribute);
      if (column >= 0) values[static_cast<size_t>(column)] = std::string(FReader.Value(attribute, FScratch));
    }
    SkipCurrent();
    return values;
  }

  void AddRow(TCaptured values) {
    const uint32_t row = FRecordset.NewPhysicalRow();
    FRecordset.Order.push_back(row);
    ++FRowNumber;
    for (size_t c = 0; c < values.size(); ++c)
      if (values[c]) Store(row, static_cast<int32_t>(c), *values[c]);
  }

  // Calls visit at the start of each child element of the current one; visit consumes it.
  template <typename Visit>
  void ForEachChild(Visit visit) {
    if (FReader.IsEmptyElement()) {
      FReader.Next();
      return;
    }
    const int depth = FReader.Depth();
    while (true) {
      const auto token = FReader.Next();
      if (token == TXmlReader::TToken::EndOfDocument) return;
      if (token == TXmlReader::TToken::EndElement) {
        if (FReader.Depth() < depth) return;
        continue;
      }
      visit();
    }
  }

  template <typename Visit>
  void ForEachRowInside(Visit visit) {
    ForEachChild([&] {
      if (IsRow())
        visit(Capture());
      else
        SkipCurrent();
    });
  }

  void ReadUpdate() {
    std::optional<TCaptured> original, changed;
    ForEachChild([&] {
      if (FReader.Uri() == kRowsetUri && FReader.Local() == "original") {
        ForEachRowInside([&](TCaptured row) { original = std::move(row); });
      } else if (IsRow()) {
        changed = Capture();
      } else {
        SkipCurrent();
      }
    });
    if (!original && !changed) return;
    TCaptured row = original ? std::move(*original) : TCaptured(FSchema.Visible.size());
    if (changed)
      for (size_t c = 0; c < row.size(); ++c)
        if ((*changed)[c]) row[c] = std::move((*changed)[c]);
    AddRow(std::move(row));
  }

  [[noreturn]] void Refuse(int32_t column, std::string_view text) {
    const TColumnSpec& spec = FSchema.Visible[static_cast<size_t>(column)];
    std::string shown(text.substr(0, 64));
    throw ERowsetError("Row " + std::to_string(FRowNumber) + ", column '" + spec.Def.Name + "': '" + shown +
                       "' is not a valid " + spec.TypeName + " value (near " + FReader.Where(FReader.Offset()) + ")");
  }

  void Store(uint32_t row, int32_t column, std::string_view text) {
    const TColumnSpec& spec = FSchema.Visible[static_cast<size_t>(column)];
    TColumnData& data = FRecordset.Column(column);
    if (spec.Kind == TValueKind::Text) {
      if (spec.SizeFromData)
        FMaxUnits[static_cast<size_t>(column)] = std::max(FMaxUnits[static_cast<size_t>(column)], Utf16Length(text));
      data.SetBytes(row, text);
      return;
    }
    if (spec.Kind == TValueKind::Hex || spec.Kind == TValueKind::Base64) {
      const auto bytes = spec.Kind == TValueKind::Hex ? ParseHex(text) : ParseBase64(text);
      if (!bytes) Refuse(column, text);
      data.SetBytes(row, *bytes);
      return;
    }
    if (text.empty()) return;  // no empty value for these kinds: NULL
    switch (spec.Kind) {
      case TValueKind::Integer: {
        const auto value = ParseXmlInteger(text, spec.Min, spec.Max);
        if (!value) Refuse(column, text);
        data.SetInt(row, *value);
        break;
      }
      case TValueKind::Unsigned64: {
        const auto value = ParseXmlUnsigned(text);
        if (!value || *value > static_cast<uint64_t>(INT64_MAX)) Refuse(column, text);
        data.SetInt(row, static_cast<int64_t>(*value));
        break;
      }
      case TValueKind::Float: {
        const auto value = ParseXmlFloat(text);
        if (!value) Refuse(column, text);
        data.SetDouble(row, *value);
        break;
      }
      case TValueKind::Currency: {
        const auto decimal = NormalizeDecimal(text, 4);
        if (!decimal) Refuse(column, text);
        std::string digits = *decimal;
        digits.erase(std::remove(digits.begin(), digits.end(), '.'), digits.end());
        const auto scaled = ParseXmlInteger(digits, INT64_MIN, INT64_MAX);
        if (!scaled) Refuse(column, text);
        data.SetInt(row, *scaled);
        break;
      }
      case TValueKind::Decimal: {
        const auto decimal = NormalizeDecimal(text, spec.Def.Size);
        if (!decimal) Refuse(column, text);
        data.SetBytes(row, *decimal);
        break;
      }
      case TValueKind::Boolean: {
        const auto value = ParseXmlBoolean(text);
        if (!value) Refuse(column, text);
        data.SetInt(row, *value ? 1 : 0);
        break;
      }
      case TValueKind::DateTime:
      case TValueKind::Date:
      case TValueKind::Time: {
        auto value = ParseDateTimeText(text);
        if (!value) Refuse(column, text);
        if (spec.Kind == TValueKind::Date) *value = *value >= 0 ? std::floor(*value) : std::ceil(*value);
        if (spec.Kind == TValueKind::Time) *value = std::fabs(*value - std::trunc(*value));
        data.SetDouble(row, *value);
        break;
      }
      default: break;
    }
  }

 public:
  // Walks the children of rs:data. Plain rows, the bulk of any result, go straight into the
  // columns; pending-change sections are applied to give the current state.
  void LoadRows() {
    if (FReader.IsEmptyElement()) {
      FReader.Next();
      return;
    }
    const int dataDepth = FReader.Depth();
    while (true) {
      const auto token = FReader.Next();
      if (token == TXmlReader::TToken::EndOfDocument) return;
      if (token == TXmlReader::TToken::EndElement) {
        if (FReader.Depth() < dataDepth) return;
        continue;
      }
      if (IsRow()) {
        AddRowDirect();
        SkipCurrent();
      } else if (FReader.Uri() == kRowsetUri && FReader.Local() == "insert") {
        ForEachRowInside([&](TCaptured row) { AddRow(std::move(row)); });
      } else if (FReader.Uri() == kRowsetUri && FReader.Local() == "update") {
        ReadUpdate();
      } else {
        SkipCurrent();
      }
    }
  }

 private:
  TXmlReader& FReader;
  TSchema& FSchema;
  TRecordset& FRecordset;
  std::unordered_map<std::string_view, int32_t> FIndex;
  std::vector<size_t> FMaxUnits;
  std::string FScratch;
  size_t FNextColumn = 0;
  int64_t FRowNumber = 0;
};

void CheckNotBinary(std::string_view bytes) {
  if (bytes.empty()) throw ERowsetError("The result is empty: no XML document (byte offset 0)");
  const auto first = static_cast<uint8_t>(bytes[0]);
  const bool textStart = first == '<' || first == ' ' || first == '\t' || first == '\r' || first == '\n' ||
                         first == 0xEF || first == 0xFF || first == 0xFE;
  if (textStart) return;
  for (size_t i = 0; i < std::min<size_t>(bytes.size(), 32); ++i) {
    if (static_cast<uint8_t>(bytes[i]) < 0x09) {
      throw ERowsetError("The result is a binary (ADTG) recordset; only the XML form is read (byte offset " +
                         std::to_string(i) + ")");
    }
  }
  throw ERowsetError("The result is not an XML document (byte offset 0)");
}

}  // namespace

std::shared_ptr<TRecordset> ReadRowsetXml(std::string_view bytes) {
  CheckNotBinary(bytes);
  std::string converted;
  const std::string_view document = Utf8Document(bytes, converted);
  TXmlReader reader(document);
  if (reader.Next() != TXmlReader::TToken::StartElement) throw ERowsetError("The document has no root element");

  std::optional<TSchema> schema;
  std::shared_ptr<TRecordset> recordset;
  bool dataSeen = false;
  while (true) {
    const auto token = reader.Next();
    if (token == TXmlReader::TToken::EndOfDocument) break;
    if (token == TXmlReader::TToken::EndElement) continue;  // the root's end; the document end follows
    if (reader.Depth() != 2) {
      reader.SkipElement();
      continue;
    }
    if (reader.Uri() == kSchemaUri && reader.Local() == "Schema" && !schema) {
      const bool empty = reader.IsEmptyElement();
      const TNode node = empty ? TNode{} : ReadSubtree(reader);
      if (empty) reader.Next();
      schema = ReadSchema(node);
    } else if (reader.Uri() == kRowsetUri && reader.Local() == "data" && !dataSeen) {
      if (!schema)
        throw ERowsetError("The document has no s:Schema section (namespace " + std::string(kSchemaUri) +
                           ") before rs:data at " + reader.Where(reader.Offset()));
      dataSeen = true;
      std::vector<TColumnDef> defs;
      for (const TColumnSpec& column : schema->Visible) defs.push_back(column.Def);
      recordset = std::make_shared<TRecordset>(std::move(defs));
      TRowLoader loader(reader, *schema, *recordset);
      loader.LoadRows();
      loader.FinishSizes();
    } else if (reader.IsEmptyElement()) {
      reader.Next();
    } else {
      reader.SkipElement();
    }
  }
  if (!schema) throw ERowsetError("The document has no s:Schema section (namespace " + std::string(kSchemaUri) + ")");
  if (!dataSeen) throw ERowsetError("The document has no rs:data section (namespace " + std::string(kRowsetUri) + ")");
  return recordset;
}

// ---- the writer ----

namespace {

bool IsNcName(std::string_view name) {
  if (name.empty()) return false;
  const auto start = static_cast<unsigned char>(name[0]);
  if (!((start >= 'a' && start <= 'z') || (start >= 'A' && start <= 'Z') || start == '_' || start >= 0x80))
    return false;
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (!((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' || u == '-' ||
          u == '.' || u >= 0x80))
      return false;
  }
  return true;
}

// XML names by the aliasing rule: c<index> for names XML cannot carry or that repeat.
std::vector<std::string> XmlNamesOf(const std::vector<TColumnDef>& columns) {
  std::vector<std::string> names;
  const auto taken = [&](const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
  };
  for (size_t k = 0; k < columns.size(); ++k) {
    const std::string& name = columns[k].Name;
    const bool startsWithXml = name.size() >= 3 && SameText(name.substr(0, 3), "xml");
    if (IsNcName(name) && !startsWithXml && !taken(name)) {
      names.push_back(name);
      continue;
    }
    std::string alias = "c" + std::to_string(k);
    while (taken(alias)) alias += "_";
    names.push_back(alias);
  }
  return names;
}

// Appends text escaped for a quoted attribute value. Bytes that are no valid UTF-8 and
// characters XML cannot carry become U+FFFD.
void AppendEscaped(std::string& out, std::string_view text, size_t& replaced) {
  static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        case '\t': out += "&#9;"; break;
        case '\n': out += "&#10;"; break;
        case '\r': out += "&#13;"; break;
        default:
          if (c < 0x20) {
            out += kReplacement;
            ++replaced;
          } else {
            out += static_cast<char>(c);
          }
      }
      ++i;
      continue;
    }
    // A multi-byte sequence: copied when well formed and allowed in XML.
    size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
    uint32_t code = length == 2 ? (c & 0x1Fu) : length == 3 ? (c & 0x0Fu) : (c & 0x07u);
    for (size_t k = 1; k < length; ++k) {
      if (i + k >= text.size() || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
        length = 0;
        break;
      }
      code = code << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool allowed = length != 0 && !overlong && !(code >= 0xD800 && code <= 0xDFFF) && code != 0xFFFE &&
                         code != 0xFFFF && code <= 0x10FFFF;
    if (allowed) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      out += kReplacement;
      ++replaced;
      i += std::max<size_t>(length, 1);
    }
  }
}

void AppendDatatype(std::string& out, const TColumnDef& column) {
  const std::string size = std::to_string(column.Size);
  std::string typing;
  switch (column.DataType) {
    case ftString: typing = "dt:type='string' rs:dbtype='str' dt:maxLength='" + size + "'"; break;
    case ftWideString: typing = "dt:type='string' dt:maxLength='" + size + "'"; break;
    case ftMemo: typing = "dt:type='string' rs:dbtype='str' dt:maxLength='2147483647' rs:long='true'"; break;
    case ftSmallint: typing = "dt:type='i2' dt:maxLength='2' rs:precision='5' rs:fixedlength='true'"; break;
    case ftInteger:
    case ftAutoInc: typing = "dt:type='int' dt:maxLength='4' rs:precision='10' rs:fixedlength='true'"; break;
    case ftWord: typing = "dt:type='ui2' dt:maxLength='2' rs:precision='5' rs:fixedlength='true'"; break;
    case ftLargeint: typing = "dt:type='i8' dt:maxLength='8' rs:precision='19' rs:fixedlength='true'"; break;
    case ftBoolean: typing = "dt:type='boolean' dt:maxLength='2' rs:fixedlength='true'"; break;
    case ftFloat: typing = "dt:type='float' dt:maxLength='8' rs:precision='15' rs:fixedlength='true'"; break;
    case ftCurrency:
      typing =
          "dt:type='number' rs:dbtype='currency' dt:maxLength='8' rs:scale='4' rs:precision='19' rs:fixedlength='true'";
      break;
    case ftBCD:
      typing = "dt:type='number' rs:dbtype='numeric' dt:maxLength='19' rs:scale='" + size + "' rs:precision='" +
               std::to_string(column.Precision > 0 ? column.Precision : 18) + "' rs:fixedlength='true'";
      break;
    case ftDate: typing = "dt:type='date' dt:maxLength='6' rs:fixedlength='true'"; break;
    case ftTime: typing = "dt:type='time' dt:maxLength='6' rs:fixedlength='true'"; break;
    case ftDateTime:
      typing =
          "dt:type='dateTime' rs:dbtype='timestamp' dt:maxLength='16' rs:scale='3' rs:precision='23' "
          "rs:fixedlength='true'";
      break;
    case ftBytes: typing = "dt:type='bin.hex' dt:maxLength='" + size + "' rs:fixedlength='true'"; break;
    case ftVarBytes: typing = "dt:type='bin.hex' dt:maxLength='" + size + "'"; break;
    case ftBlob:
    case ftGraphic: typing = "dt:type='bin.hex' dt:maxLength='2147483647' rs:long='true'"; break;
    case ftUnknown: typing = "dt:type='string'"; break;
  }
  out += "\t\t\t<s:datatype " + typing + (column.Required ? " rs:maybenull='false'" : "") + "/>\n";
}

// The value's text per the format; false for a value that is written as NULL.
bool AppendValue(std::string& out, const TColumnData& data, uint32_t row, TFieldType type, size_t& replaced) {
  switch (data.Storage) {
    case TStorage::Int32:
    case TStorage::Int64: {
      const int64_t value = data.GetInt(row);
      if (type == ftBoolean)
        out += value != 0 ? "True" : "False";
      else if (type == ftCurrency)
        out += CurrencyToText(value);
      else
        out += std::to_string(value);
      return true;
    }
    case TStorage::Double: {
      const double value = data.GetDouble(row);
      if (!std::isfinite(value)) return false;
      out += type == ftFloat ? FloatToText(value) : IsoDateTimeText(value, IsoFormOf(type), false);
      return true;
    }
    case TStorage::Bytes: {
      const std::string_view bytes = data.GetBytes(row);
      if (IsBinaryType(type))
        out += HexOf(bytes);
      else
        AppendEscaped(out, bytes, replaced);
      return true;
    }
  }
  return false;
}

// The document into out; after each row, afterRow(out) may take what has been written so far.
template <typename TAfterRow>
void WriteDocument(const TRecordset& recordset, std::string& out, size_t* replacedCount, TAfterRow afterRow) {
  size_t replaced = 0;
  const auto& columns = recordset.Columns();
  const std::vector<std::string> xmlNames = XmlNamesOf(columns);
  out += "<xml xmlns:s='";
  out += kSchemaUri;
  out += "'\n\txmlns:dt='";
  out += kDatatypeUri;
  out += "'\n\txmlns:rs='";
  out += kRowsetUri;
  out += "'\n\txmlns:z='";
  out += kRowUri;
  out += "'>\n<s:Schema id='RowsetSchema'>\n\t<s:ElementType name='row' content='eltOnly' rs:updatable='true'>\n";
  for (size_t k = 0; k < columns.size(); ++k) {
    const TColumnDef& column = columns[k];
    out += "\t\t<s:AttributeType name='";
    AppendEscaped(out, xmlNames[k], replaced);
    out += "'";
    if (xmlNames[k] != column.Name) {
      out += " rs:name='";
      AppendEscaped(out, column.Name, replaced);
      out += "'";
    }
    out += " rs:number='" + std::to_string(k + 1) + "'";
    if (!column.Required) out += " rs:nullable='true'";
    out += column.DataType == ftAutoInc ? " rs:autoincrement='true'" : " rs:writeunknown='true'";
    out += ">\n";
    AppendDatatype(out, column);
    out += "\t\t</s:AttributeType>\n";
  }
  out += "\t\t<s:extends type='rs:rowbase'/>\n\t</s:ElementType>\n</s:Schema>\n<rs:data>\n";
  for (int32_t position = 0; position < recordset.RowCount(); ++position) {
    const uint32_t row = recordset.PhysicalRow(position);
    out += "\t<z:row";
    for (size_t k = 0; k < columns.size(); ++k) {
      const TColumnData& data = recordset.Column(static_cast<int32_t>(k));
      if (data.IsNull(row)) continue;
      const size_t mark = out.size();
      out += ' ';
      out += xmlNames[k];
      out += "='";
      if (!AppendValue(out, data, row, columns[k].DataType, replaced)) {
        out.resize(mark);
        continue;
      }
      out += '\'';
    }
    out += "/>\n";
    afterRow(out);
  }
  out += "</rs:data>\n</xml>\n";
  if (replacedCount) *replacedCount = replaced;
}

}  // namespace

void WriteRowsetXml(const TRecordset& recordset, std::string& out, size_t* replacedCount) {
  // One allocation for the rows: growing a string of hundreds of megabytes by doubling would
  // copy it several times over.
  size_t perRow = 16;
  for (const TColumnDef& column : recordset.Columns()) perRow += column.Name.size() + 5;
  out.reserve(out.size() + recordset.BytesStored() + perRow * static_cast<size_t>(recordset.RowCount()) + 4096);
  WriteDocument(recordset, out, replacedCount, [](std::string&) {});
}

void WriteRowsetXml(const TRecordset& recordset, const std::function<void(std::string&)>& sink, size_t pieceSize,
                    size_t* replacedCount) {
  std::string piece;
  piece.reserve(pieceSize + 64 * 1024);
  WriteDocument(recordset, piece, replacedCount, [&](std::string& out) {
    if (out.size() < pieceSize) return;
    sink(out);
    out.clear();
    out.reserve(pieceSize + 64 * 1024);
  });
  if (!piece.empty()) sink(piece);
}
