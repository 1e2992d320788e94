// TField: one column of a dataset's current row, read and written in the forms the platform
// offers (AsString, AsInteger, AsFloat, AsBoolean, blob streams). Reads come from the edit
// buffer while the dataset is editing or inserting, otherwise from the recordset's row under
// the cursor. Text forms: floats with '.' and the shortest round-trip digits, dates
// "YYYY-MM-DD", times "HH:MM:SS", date-times "YYYY-MM-DD HH:MM:SS", booleans "True"/"False".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "data/FieldTypes.h"
#include "data/Recordset.h"
#include "platform/Exceptions.h"
#include "platform/Streams.h"

class TDataSet;

// Dataset and field errors ("Field 'X' not found", "Dataset not in edit or insert mode").
class EDatabaseError : public Exception {
 public:
  using Exception::Exception;
};

class TField {
 public:
  TField(TDataSet& dataSet, int32_t index, const TColumnDef& column);

  bool IsNull() const { return Value().IsNull(); }
  std::string AsString() const;
  int32_t AsInteger() const;
  int64_t AsLargeInt() const;
  double AsFloat() const;
  bool AsBoolean() const;
  void SetAsString(std::string_view text);
  void SetAsInteger(int32_t value) { SetAsLargeInt(value); }
  void SetAsLargeInt(int64_t value);
  void SetAsFloat(double value);
  void SetAsBoolean(bool value);
  void Clear();
  // Blob content: the value's bytes written to, or read (from the start) out of, a stream.
  void SaveToStream(TStream& stream) const;
  void LoadFromStream(TStream& stream);

  TCellValue Value() const;
  void SetValue(TCellValue value);

  TDataSet& DataSet;
  const int32_t Index;
  std::string FieldName;
  TFieldType DataType;
  int32_t Size;
  bool ReadOnly = false;

 private:
  [[noreturn]] void AccessError(const char* asType) const;
};
