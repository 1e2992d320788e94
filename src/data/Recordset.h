// TRecordset: the rows of a result, column by column, shared by every dataset cloned from it
// (each clone keeps its own cursor). Values are held compactly: numbers in typed arrays with a
// null bit per cell, texts and binary values in a chunked byte arena addressed by a 32-bit
// handle. Rows are appended physically; Order lists them in their visible order, so that an
// insert or a delete moves only four bytes a row.
//
// Not synchronised: a recordset and its clones belong to one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "data/FieldTypes.h"

struct TColumnDef {
  std::string Name;
  TFieldType DataType = ftWideString;
  int32_t Size = 0;       // characters or bytes for texts and binaries; the scale for ftBCD
  int32_t Precision = 0;  // digits of an ftBCD column
  bool Required = false;  // the column never holds NULL
};

// One value as a dataset reads and writes it: NULL, an integer, a double or bytes.
struct TCellValue {
  std::variant<std::monostate, int64_t, double, std::string> Value;

  bool IsNull() const { return Value.index() == 0; }
  static TCellValue Null() { return {}; }
};

class TColumnData {
 public:
  explicit TColumnData(TStorage storage) : Storage(storage) {}

  void AppendNull();
  void AppendInt(int64_t value);
  void AppendDouble(double value);
  void AppendBytes(std::string_view bytes);
  void Set(uint32_t row, const TCellValue& value);
  void SetInt(uint32_t row, int64_t value);
  void SetDouble(uint32_t row, double value);
  void SetBytes(uint32_t row, std::string_view bytes);
  TCellValue Get(uint32_t row) const;
  bool IsNull(uint32_t row) const;
  int64_t GetInt(uint32_t row) const;
  double GetDouble(uint32_t row) const;
  std::string_view GetBytes(uint32_t row) const;
  size_t MemoryUsed() const;
  // What the values take, without capacity held for more: what sizes a copy of them.
  size_t BytesStored() const;

  const TStorage Storage;

 private:
  static constexpr uint32_t kNullHandle = 0xFFFFFFFF;
  static constexpr uint32_t kBlockBits = 20;
  static constexpr size_t kBlockSize = size_t{1} << kBlockBits;
  static constexpr uint32_t kMaxBlocks = (0xFFFFFFFFu >> kBlockBits);

  void SetNullBit(uint32_t row, bool isNull);
  uint32_t StoreBytes(std::string_view bytes);

  std::vector<int32_t> FInt32;
  std::vector<int64_t> FInt64;
  std::vector<double> FDouble;
  std::vector<uint64_t> FNullBits;  // numeric storages only
  std::vector<uint32_t> FHandles;   // bytes storage: block << 20 | offset, or kNullHandle
  std::vector<std::unique_ptr<char[]>> FBlocks;
  std::vector<size_t> FBlockSizes;  // capacity of each block
  size_t FLastBlockUsed = 0;
};

class TRecordset {
 public:
  explicit TRecordset(std::vector<TColumnDef> columns);

  const std::vector<TColumnDef>& Columns() const { return FColumns; }
  std::vector<TColumnDef>& Columns() { return FColumns; }
  int32_t ColumnCount() const { return static_cast<int32_t>(FColumns.size()); }
  int32_t RowCount() const { return static_cast<int32_t>(Order.size()); }

  TColumnData& Column(int32_t index) { return FData[static_cast<size_t>(index)]; }
  const TColumnData& Column(int32_t index) const { return FData[static_cast<size_t>(index)]; }

  // Appends a physical row of NULLs and answers its number; the caller places it in Order.
  uint32_t NewPhysicalRow();
  uint32_t PhysicalRow(int32_t position) const { return Order[static_cast<size_t>(position)]; }
  TCellValue Get(int32_t position, int32_t column) const;
  void Set(int32_t position, int32_t column, const TCellValue& value);
  // Inserts a row of values at position (0..RowCount) and answers the position.
  int32_t InsertRow(int32_t position, const std::vector<TCellValue>& values);
  void DeleteRow(int32_t position);
  size_t MemoryUsed() const;
  size_t BytesStored() const;

  std::vector<uint32_t> Order;

 private:
  std::vector<TColumnDef> FColumns;
  std::vector<TColumnData> FData;
  uint32_t FPhysicalRows = 0;
};
