#include "data/Field.h"

#include <cmath>
#include <limits>

#include "data/DataSet.h"
#include "data/DateTime.h"
#include "data/ValueText.h"
#include "platform/SysUtils.h"

namespace {

[[noreturn]] void NotAnInteger(std::string_view text) {
  throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
}

[[noreturn]] void NotAFloat(std::string_view text) {
  throw EConvertError("'" + std::string(text) + "' is not a valid floating point value");
}

int64_t ParseInteger(std::string_view text) {
  const auto value = ParseXmlInteger(text, INT64_MIN, INT64_MAX);
  if (!value || text.empty() || text.front() == ' ' || text.back() == ' ') NotAnInteger(text);
  return *value;
}

double ParseFloat(std::string_view text) {
  const auto value = ParseXmlFloat(text);
  if (!value || text.empty() || text.front() == ' ' || text.back() == ' ') NotAFloat(text);
  return *value;
}

int32_t ToInt32(int64_t value, std::string_view shown) {
  if (value < INT32_MIN || value > INT32_MAX) NotAnInteger(shown);
  return static_cast<int32_t>(value);
}

}  // namespace

TField::TField(TDataSet& dataSet, int32_t index, const TColumnDef& column)
    : DataSet(dataSet), Index(index), FieldName(column.Name), DataType(column.DataType), Size(column.Size) {}

void TField::AccessError(const char* asType) const {
  throw EDatabaseError("Cannot access field '" + FieldName + "' as type " + asType);
}

TCellValue TField::Value() const { return DataSet.CurrentValue(Index); }

void TField::SetValue(TCellValue value) {
  if (ReadOnly) throw EDatabaseError("Field '" + FieldName + "' cannot be modified");
  DataSet.SetCurrentValue(Index, std::move(value));
}

void TField::Clear() { SetValue(TCellValue::Null()); }

std::string TField::AsString() const {
  const TCellValue value = Value();
  if (const auto* integer = std::get_if<int64_t>(&value.Value)) {
    if (DataType == ftBoolean) return *integer != 0 ? "True" : "False";
    if (DataType == ftCurrency) return CurrencyToText(*integer);
    return std::to_string(*integer);
  }
  if (const auto* number = std::get_if<double>(&value.Value)) {
    switch (DataType) {
      case ftDate: return DateToText(*number);
      case ftTime: return TimeToText(*number);
      case ftDateTime: return DateTimeToText(*number);
      default: return FloatToText(*number);
    }
  }
  if (const auto* bytes = std::get_if<std::string>(&value.Value)) return *bytes;
  return {};
}

int64_t TField::AsLargeInt() const {
  if (IsBinaryType(DataType) || DataType == ftDate || DataType == ftTime || DataType == ftDateTime)
    AccessError("Integer");
  const TCellValue value = Value();
  if (value.IsNull()) return 0;
  if (const auto* integer = std::get_if<int64_t>(&value.Value)) {
    return DataType == ftCurrency ? std::llround(static_cast<double>(*integer) / 10000.0) : *integer;
  }
  if (const auto* number = std::get_if<double>(&value.Value)) {
    if (!std::isfinite(*number) || std::fabs(*number) > 9.2e18) NotAnInteger(FloatToText(*number));
    return std::llround(*number);
  }
  const auto& bytes = std::get<std::string>(value.Value);
  if (DataType == ftBCD) return std::llround(ParseFloat(bytes));
  return ParseInteger(bytes);
}

int32_t TField::AsInteger() const {
  const int64_t value = AsLargeInt();
  return ToInt32(value, std::to_string(value));
}

double TField::AsFloat() const {
  const TCellValue value = Value();
  if (value.IsNull()) return 0;
  if (const auto* integer = std::get_if<int64_t>(&value.Value))
    return DataType == ftCurrency ? static_cast<double>(*integer) / 10000.0 : static_cast<double>(*integer);
  if (const auto* number = std::get_if<double>(&value.Value)) return *number;
  if (IsBinaryType(DataType)) AccessError("Float");
  return ParseFloat(std::get<std::string>(value.Value));
}

bool TField::AsBoolean() const {
  const TCellValue value = Value();
  if (value.IsNull()) return false;
  if (const auto* integer = std::get_if<int64_t>(&value.Value)) return *integer != 0;
  if (std::holds_alternative<double>(value.Value) || IsBinaryType(DataType)) AccessError("Boolean");
  const std::string& text = std::get<std::string>(value.Value);
  if (const auto parsed = ParseXmlBoolean(text)) return *parsed;
  throw EConvertError("'" + text + "' is not a valid boolean value");
}

void TField::SetAsString(std::string_view text) {
  if (text.empty() && !IsTextType(DataType) && !IsBinaryType(DataType)) return Clear();
  switch (StorageOf(DataType)) {
    case TStorage::Int32:
    case TStorage::Int64:
      if (DataType == ftBoolean) {
        const auto value = ParseXmlBoolean(text);
        if (!value) throw EConvertError("'" + std::string(text) + "' is not a valid boolean value");
        return SetValue(TCellValue{int64_t{*value ? 1 : 0}});
      }
      if (DataType == ftCurrency) {
        const auto decimal = NormalizeDecimal(text, 4);
        if (!decimal) NotAFloat(text);
        std::string digits = *decimal;
        digits.erase(digits.find('.'), 1);
        return SetValue(TCellValue{ParseInteger(digits)});
      }
      return SetAsLargeInt(ParseInteger(text));
    case TStorage::Double:
      if (DataType == ftFloat) return SetValue(TCellValue{ParseFloat(text)});
      if (const auto value = ParseDateTimeText(text)) {
        double stored = *value;
        if (DataType == ftDate) stored = std::trunc(stored);
        if (DataType == ftTime) stored = std::fabs(stored - std::trunc(stored));
        return SetValue(TCellValue{stored});
      }
      throw EConvertError("'" + std::string(text) + "' is not a valid date and time");
    case TStorage::Bytes:
      if (DataType == ftBCD) {
        const auto decimal = NormalizeDecimal(text, Size);
        if (!decimal) NotAFloat(text);
        return SetValue(TCellValue{*decimal});
      }
      return SetValue(TCellValue{std::string(text)});
  }
}

void TField::SetAsLargeInt(int64_t value) {
  switch (StorageOf(DataType)) {
    case TStorage::Int32:
      if (DataType == ftBoolean) return SetValue(TCellValue{int64_t{value != 0 ? 1 : 0}});
      return SetValue(TCellValue{int64_t{ToInt32(value, std::to_string(value))}});
    case TStorage::Int64: return SetValue(TCellValue{DataType == ftCurrency ? value * 10000 : value});
    case TStorage::Double:
      if (DataType != ftFloat) AccessError("Integer");
      return SetValue(TCellValue{static_cast<double>(value)});
    case TStorage::Bytes:
      if (IsBinaryType(DataType)) AccessError("Integer");
      if (DataType == ftBCD) return SetAsString(std::to_string(value));
      return SetValue(TCellValue{std::to_string(value)});
  }
}

void TField::SetAsFloat(double value) {
  switch (StorageOf(DataType)) {
    case TStorage::Int32:
    case TStorage::Int64:
      if (DataType == ftCurrency) return SetValue(TCellValue{static_cast<int64_t>(std::llround(value * 10000.0))});
      if (!std::isfinite(value) || std::fabs(value) > 9.2e18) NotAnInteger(FloatToText(value));
      return SetAsLargeInt(std::llround(value));
    case TStorage::Double: return SetValue(TCellValue{value});
    case TStorage::Bytes:
      if (IsBinaryType(DataType)) AccessError("Float");
      if (DataType == ftBCD) return SetAsString(FloatToText(value));
      return SetValue(TCellValue{FloatToText(value)});
  }
}

void TField::SetAsBoolean(bool value) {
  if (StorageOf(DataType) == TStorage::Int32 || StorageOf(DataType) == TStorage::Int64)
    return SetValue(TCellValue{int64_t{value ? 1 : 0}});
  if (IsTextType(DataType)) return SetValue(TCellValue{std::string(value ? "True" : "False")});
  AccessError("Boolean");
}

void TField::SaveToStream(TStream& stream) const {
  const std::string bytes = AsString();
  stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

void TField::LoadFromStream(TStream& stream) {
  stream.SetPosition(0);
  std::string bytes(static_cast<size_t>(stream.Size()), '\0');
  stream.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  SetValue(TCellValue{std::move(bytes)});
}
