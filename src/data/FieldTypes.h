// The dataset's field types with the platform's ordinals, the dataset states, and the storage
// class each field type is kept in.
#pragma once

#include <cstdint>

enum TFieldType : int32_t {
  ftUnknown = 0,
  ftString = 1,
  ftSmallint = 2,
  ftInteger = 3,
  ftWord = 4,
  ftBoolean = 5,
  ftFloat = 6,
  ftCurrency = 7,
  ftBCD = 8,
  ftDate = 9,
  ftTime = 10,
  ftDateTime = 11,
  ftBytes = 12,
  ftVarBytes = 13,
  ftAutoInc = 14,
  ftBlob = 15,
  ftMemo = 16,
  ftGraphic = 17,
  ftWideString = 24,
  ftLargeint = 25,
};

enum TDataSetState : int32_t { dsInactive = 0, dsBrowse = 1, dsEdit = 2, dsInsert = 3 };

// How a column's values are held: 32-bit integers (small integer kinds and booleans), 64-bit
// integers (large integers; currency scaled by 10 000), doubles (floats; dates as days since
// 1899-12-30), or bytes (texts, exact decimals as text, binary values).
enum class TStorage { Int32, Int64, Double, Bytes };

TStorage StorageOf(TFieldType type);
bool IsTextType(TFieldType type);    // ftString, ftWideString, ftMemo, ftUnknown
bool IsBinaryType(TFieldType type);  // ftBytes, ftVarBytes, ftBlob, ftGraphic
const char* FieldTypeName(TFieldType type);
