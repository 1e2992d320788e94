#include "data/Recordset.h"

#include <cstring>

#include "platform/Exceptions.h"

namespace {

// Lengths in the arena are varints: one byte below 128, as most values are.
size_t PutVarint(char* out, uint64_t value) {
  size_t n = 0;
  while (value >= 0x80) {
    out[n++] = static_cast<char>(value | 0x80);
    value >>= 7;
  }
  out[n++] = static_cast<char>(value);
  return n;
}

uint64_t GetVarint(const char*& in) {
  uint64_t value = 0;
  for (int shift = 0;; shift += 7) {
    const auto byte = static_cast<uint8_t>(*in++);
    value |= uint64_t{byte & 0x7Fu} << shift;
    if (byte < 0x80) return value;
  }
}

}  // namespace

// ---- TColumnData ----

void TColumnData::SetNullBit(uint32_t row, bool isNull) {
  const size_t word = row / 64;
  if (word >= FNullBits.size()) FNullBits.resize(word + 1, 0);
  const uint64_t bit = uint64_t{1} << (row % 64);
  FNullBits[word] = isNull ? (FNullBits[word] | bit) : (FNullBits[word] & ~bit);
}

void TColumnData::AppendNull() {
  switch (Storage) {
    case TStorage::Int32: FInt32.push_back(0); break;
    case TStorage::Int64: FInt64.push_back(0); break;
    case TStorage::Double: FDouble.push_back(0); break;
    case TStorage::Bytes: FHandles.push_back(kNullHandle); return;
  }
  const auto row = static_cast<uint32_t>(Storage == TStorage::Int32   ? FInt32.size() - 1
                                         : Storage == TStorage::Int64 ? FInt64.size() - 1
                                                                      : FDouble.size() - 1);
  SetNullBit(row, true);
}

void TColumnData::AppendInt(int64_t value) {
  if (Storage == TStorage::Int32) {
    FInt32.push_back(static_cast<int32_t>(value));
    SetNullBit(static_cast<uint32_t>(FInt32.size() - 1), false);
  } else {
    FInt64.push_back(value);
    SetNullBit(static_cast<uint32_t>(FInt64.size() - 1), false);
  }
}

void TColumnData::AppendDouble(double value) {
  FDouble.push_back(value);
  SetNullBit(static_cast<uint32_t>(FDouble.size() - 1), false);
}

void TColumnData::AppendBytes(std::string_view bytes) { FHandles.push_back(StoreBytes(bytes)); }

uint32_t TColumnData::StoreBytes(std::string_view bytes) {
  const size_t needed = bytes.size() + 10;
  if (FBlocks.empty() || FLastBlockUsed + needed > FBlockSizes.back()) {
    if (FBlocks.size() >= kMaxBlocks) throw Exception("A column holds more text than a recordset can store (4 GB)");
    const size_t size = std::max(kBlockSize, needed);
    FBlocks.push_back(std::make_unique_for_overwrite<char[]>(size));
    FBlockSizes.push_back(size);
    FLastBlockUsed = 0;
  }
  char* at = FBlocks.back().get() + FLastBlockUsed;
  const size_t prefix = PutVarint(at, bytes.size());
  if (!bytes.empty()) std::memcpy(at + prefix, bytes.data(), bytes.size());
  const auto handle = static_cast<uint32_t>((FBlocks.size() - 1) << kBlockBits | FLastBlockUsed);
  FLastBlockUsed += prefix + bytes.size();
  // A value larger than a block fills a block of its own; the next value starts a new one.
  if (FLastBlockUsed >= kBlockSize) FLastBlockUsed = FBlockSizes.back();
  return handle;
}

bool TColumnData::IsNull(uint32_t row) const {
  if (Storage == TStorage::Bytes) return FHandles[row] == kNullHandle;
  return (FNullBits[row / 64] >> (row % 64)) & 1;
}

int64_t TColumnData::GetInt(uint32_t row) const { return Storage == TStorage::Int32 ? FInt32[row] : FInt64[row]; }

double TColumnData::GetDouble(uint32_t row) const { return FDouble[row]; }

std::string_view TColumnData::GetBytes(uint32_t row) const {
  const uint32_t handle = FHandles[row];
  const char* at = FBlocks[handle >> kBlockBits].get() + (handle & (kBlockSize - 1));
  const uint64_t length = GetVarint(at);
  return {at, static_cast<size_t>(length)};
}

TCellValue TColumnData::Get(uint32_t row) const {
  if (IsNull(row)) return {};
  switch (Storage) {
    case TStorage::Int32:
    case TStorage::Int64: return TCellValue{GetInt(row)};
    case TStorage::Double: return TCellValue{GetDouble(row)};
    case TStorage::Bytes: return TCellValue{std::string(GetBytes(row))};
  }
  return {};
}

void TColumnData::Set(uint32_t row, const TCellValue& value) {
  if (Storage == TStorage::Bytes) {
    const auto* bytes = std::get_if<std::string>(&value.Value);
    FHandles[row] = bytes ? StoreBytes(*bytes) : kNullHandle;
    return;
  }
  SetNullBit(row, value.IsNull());
  if (value.IsNull()) return;
  switch (Storage) {
    case TStorage::Int32: FInt32[row] = static_cast<int32_t>(std::get<int64_t>(value.Value)); break;
    case TStorage::Int64: FInt64[row] = std::get<int64_t>(value.Value); break;
    case TStorage::Double: FDouble[row] = std::get<double>(value.Value); break;
    case TStorage::Bytes: break;
  }
}

void TColumnData::SetInt(uint32_t row, int64_t value) {
  if (Storage == TStorage::Int32)
    FInt32[row] = static_cast<int32_t>(value);
  else
    FInt64[row] = value;
  SetNullBit(row, false);
}

void TColumnData::SetDouble(uint32_t row, double value) {
  FDouble[row] = value;
  SetNullBit(row, false);
}

void TColumnData::SetBytes(uint32_t row, std::string_view bytes) { FHandles[row] = StoreBytes(bytes); }

size_t TColumnData::MemoryUsed() const {
  size_t bytes = FInt32.capacity() * 4 + FInt64.capacity() * 8 + FDouble.capacity() * 8 + FNullBits.capacity() * 8 +
                 FHandles.capacity() * 4;
  for (const size_t size : FBlockSizes) bytes += size;
  return bytes;
}

size_t TColumnData::BytesStored() const {
  size_t bytes = FInt32.size() * 4 + FInt64.size() * 8 + FDouble.size() * 8 + FHandles.size() * 4;
  if (!FBlockSizes.empty()) {
    for (size_t i = 0; i + 1 < FBlockSizes.size(); ++i) bytes += FBlockSizes[i];
    bytes += FLastBlockUsed;
  }
  return bytes;
}

// ---- TRecordset ----

TRecordset::TRecordset(std::vector<TColumnDef> columns) : FColumns(std::move(columns)) {
  FData.reserve(FColumns.size());
  for (const TColumnDef& column : FColumns) FData.emplace_back(StorageOf(column.DataType));
}

uint32_t TRecordset::NewPhysicalRow() {
  for (TColumnData& data : FData) data.AppendNull();
  return FPhysicalRows++;
}

TCellValue TRecordset::Get(int32_t position, int32_t column) const {
  return FData[static_cast<size_t>(column)].Get(PhysicalRow(position));
}

void TRecordset::Set(int32_t position, int32_t column, const TCellValue& value) {
  FData[static_cast<size_t>(column)].Set(PhysicalRow(position), value);
}

int32_t TRecordset::InsertRow(int32_t position, const std::vector<TCellValue>& values) {
  const uint32_t row = NewPhysicalRow();
  for (size_t c = 0; c < values.size() && c < FData.size(); ++c) FData[c].Set(row, values[c]);
  Order.insert(Order.begin() + position, row);
  return position;
}

void TRecordset::DeleteRow(int32_t position) { Order.erase(Order.begin() + position); }

size_t TRecordset::BytesStored() const {
  size_t bytes = Order.size() * 4;
  for (const TColumnData& data : FData) bytes += data.BytesStored();
  return bytes;
}

size_t TRecordset::MemoryUsed() const {
  size_t bytes = Order.capacity() * 4;
  for (const TColumnData& data : FData) bytes += data.MemoryUsed();
  return bytes;
}
