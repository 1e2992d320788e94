#include "data/FieldTypes.h"

TStorage StorageOf(TFieldType type) {
  switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftBoolean:
    case ftAutoInc: return TStorage::Int32;
    case ftLargeint:
    case ftCurrency: return TStorage::Int64;
    case ftFloat:
    case ftDate:
    case ftTime:
    case ftDateTime: return TStorage::Double;
    default: return TStorage::Bytes;
  }
}

bool IsTextType(TFieldType type) {
  return type == ftString || type == ftWideString || type == ftMemo || type == ftUnknown;
}

bool IsBinaryType(TFieldType type) {
  return type == ftBytes || type == ftVarBytes || type == ftBlob || type == ftGraphic;
}

const char* FieldTypeName(TFieldType type) {
  switch (type) {
    case ftUnknown: return "Unknown";
    case ftString: return "String";
    case ftSmallint: return "Smallint";
    case ftInteger: return "Integer";
    case ftWord: return "Word";
    case ftBoolean: return "Boolean";
    case ftFloat: return "Float";
    case ftCurrency: return "Currency";
    case ftBCD: return "BCD";
    case ftDate: return "Date";
    case ftTime: return "Time";
    case ftDateTime: return "DateTime";
    case ftBytes: return "Bytes";
    case ftVarBytes: return "VarBytes";
    case ftAutoInc: return "AutoInc";
    case ftBlob: return "Blob";
    case ftMemo: return "Memo";
    case ftGraphic: return "Graphic";
    case ftWideString: return "WideString";
    case ftLargeint: return "Largeint";
  }
  return "Unknown";
}
