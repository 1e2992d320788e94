#include "data/DataSet.h"

#include <algorithm>

#include "data/RowsetXml.h"
#include "platform/SysUtils.h"

// ---- TDataSet ----

void TDataSet::Open() {
  if (Active()) return;
  if (CursorRecordset() == nullptr) throw EDatabaseError(Name + ": cannot open a dataset without a recordset");
  OpenCursor(false);
}

void TDataSet::Close() {
  FState = dsInactive;
  FBuffer.clear();
  FPosition = 0;
  FEof = FBof = true;
}

void TDataSet::OpenCursor(bool /*infoQuery*/) {
  const TRecordset* recordset = CursorRecordset();
  if (FFields.empty()) {
    for (int32_t i = 0; i < recordset->ColumnCount(); ++i)
      FFields.push_back(std::make_unique<TField>(*this, i, recordset->Columns()[static_cast<size_t>(i)]));
  }
  FState = dsBrowse;
  First();
}

void TDataSet::DestroyFieldObjects() { FFields.clear(); }

TField* TDataSet::FindField(std::string_view name) const {
  for (const auto& field : FFields)
    if (SameText(field->FieldName, name)) return field.get();
  return nullptr;
}

TField& TDataSet::FieldByName(std::string_view name) const {
  if (TField* field = FindField(name)) return *field;
  throw EDatabaseError("Field '" + std::string(name) + "' not found");
}

void TDataSet::CheckActive() const {
  if (!Active()) throw EDatabaseError("Cannot perform this operation on a closed dataset");
}

int32_t TDataSet::RecordCount() const {
  const TRecordset* recordset = CursorRecordset();
  return Active() && recordset ? recordset->RowCount() : 0;
}

void TDataSet::CheckBrowseMode() {
  CheckActive();
  if (FState == dsEdit || FState == dsInsert) Post();
}

void TDataSet::First() {
  CheckBrowseMode();
  FPosition = 0;
  FBof = true;
  FEof = RecordCount() == 0;
}

void TDataSet::Last() {
  CheckBrowseMode();
  FPosition = std::max(0, RecordCount() - 1);
  FEof = true;
  FBof = RecordCount() == 0;
}

void TDataSet::Next() {
  CheckBrowseMode();
  if (FPosition + 1 < RecordCount()) {
    ++FPosition;
    FBof = FEof = false;
  } else {
    FEof = true;
  }
}

void TDataSet::Prior() {
  CheckBrowseMode();
  if (FPosition > 0 && RecordCount() > 0) {
    --FPosition;
    FBof = FEof = false;
  } else {
    FBof = true;
  }
}

int32_t TDataSet::RecNo() const { return RecordCount() == 0 ? 0 : FPosition + 1; }

TCellValue TDataSet::CurrentValue(int32_t index) const {
  if (FState == dsEdit || FState == dsInsert) return FBuffer.at(static_cast<size_t>(index));
  if (RecordCount() == 0) return {};
  return CursorRecordset()->Get(FPosition, index);
}

void TDataSet::SetCurrentValue(int32_t index, TCellValue value) {
  if (FState != dsEdit && FState != dsInsert) throw EDatabaseError(Name + ": dataset not in edit or insert mode");
  FBuffer.at(static_cast<size_t>(index)) = std::move(value);
}

void TDataSet::StartEditing(TDataSetState state, int32_t insertAt) {
  FBuffer.assign(FFields.size(), TCellValue{});
  if (state == dsEdit) {
    for (size_t i = 0; i < FFields.size(); ++i) FBuffer[i] = CursorRecordset()->Get(FPosition, static_cast<int32_t>(i));
  }
  FInsertAt = insertAt;
  FPositionBeforeInsert = FPosition;
  FState = state;
}

void TDataSet::Edit() {
  CheckActive();
  if (FState == dsEdit || FState == dsInsert) return;
  if (RecordCount() == 0) return Insert();  // as the platform does: nothing to edit, so insert
  StartEditing(dsEdit, FPosition);
}

void TDataSet::Insert() {
  CheckBrowseMode();
  StartEditing(dsInsert, RecordCount() == 0 ? 0 : FPosition);
}

void TDataSet::Append() {
  CheckBrowseMode();
  StartEditing(dsInsert, RecordCount());
}

void TDataSet::Post() {
  CheckActive();
  if (FState != dsEdit && FState != dsInsert) throw EDatabaseError(Name + ": dataset not in edit or insert mode");
  // A raising handler cancels the post: state and buffer stay, the rows are untouched.
  if (BeforePost) BeforePost(*this);
  TRecordset* recordset = CursorRecordset();
  if (FState == dsEdit) {
    for (size_t i = 0; i < FBuffer.size(); ++i) recordset->Set(FPosition, static_cast<int32_t>(i), FBuffer[i]);
  } else {
    FPosition = recordset->InsertRow(FInsertAt, FBuffer);
  }
  FBuffer.clear();
  FState = dsBrowse;
  FBof = FEof = false;
}

void TDataSet::Cancel() {
  if (FState != dsEdit && FState != dsInsert) return;
  if (FState == dsInsert) FPosition = std::min(FPositionBeforeInsert, std::max(0, RecordCount() - 1));
  FBuffer.clear();
  FState = dsBrowse;
}

void TDataSet::Delete() {
  CheckActive();
  if (FState == dsInsert) return Cancel();
  if (RecordCount() == 0) throw EDatabaseError(Name + ": cannot perform this operation on an empty dataset");
  if (BeforeDelete) BeforeDelete(*this);
  FBuffer.clear();
  FState = dsBrowse;
  CursorRecordset()->DeleteRow(FPosition);
  FPosition = std::min(FPosition, std::max(0, RecordCount() - 1));
  FEof = RecordCount() == 0;
  FBof = RecordCount() == 0;
}

// ---- TCustomADODataSet ----

void TCustomADODataSet::SetRecordset(std::shared_ptr<TRecordset> recordset) {
  Close();
  FRecordset = std::move(recordset);
  if (FRecordset) Open();
}

void TCustomADODataSet::Clone(const TCustomADODataSet& source, TADOLockType /*lockType*/) {
  Close();
  if (!source.FRecordset) {
    FRecordset.reset();
    throw EDatabaseError(Name + ": the dataset to clone has no recordset");
  }
  DestroyFields();
  FRecordset = source.FRecordset;
  Open();
}

void TCustomADODataSet::LoadFromXml(std::string_view document) {
  Close();
  FRecordset.reset();
  DestroyFields();
  FRecordset = ReadRowsetXml(document);
  Open();
}

void TCustomADODataSet::LoadFromFile(const std::string& fileName) {
  Close();
  FRecordset.reset();
  // Mapped, not copied: a result file can hold hundreds of megabytes.
  const TMappedFile file(fileName);
  LoadFromXml(file.Bytes());
}

void TCustomADODataSet::SaveToFile(const std::string& fileName) const {
  if (!FRecordset) throw EDatabaseError(Name + ": no recordset to save");
  std::string document;
  WriteRowsetXml(*FRecordset, document);
  TFileStream file(fileName, fmCreate);
  file.WriteBuffer(document.data(), static_cast<int64_t>(document.size()));
}

void TCustomADODataSet::DestroyFields() {
  if (Active()) throw EDatabaseError(Name + ": cannot destroy the fields of an open dataset");
  DestroyFieldObjects();
}

void TCustomADODataSet::OpenCursor(bool infoQuery) {
  // Fields made for another recordset's columns are replaced.
  if (FRecordset && !FFields.empty()) {
    bool same = FieldCount() == FRecordset->ColumnCount();
    for (int32_t i = 0; same && i < FieldCount(); ++i) {
      const TColumnDef& column = FRecordset->Columns()[static_cast<size_t>(i)];
      same = Field(i).FieldName == column.Name && Field(i).DataType == column.DataType;
    }
    if (!same) DestroyFieldObjects();
  }
  TDataSet::OpenCursor(infoQuery);
}

void TCustomADODataSet::Resync() {
  if (!Active()) return;
  FPosition = std::min(FPosition, std::max(0, RecordCount() - 1));
  FEof = FEof || RecordCount() == 0;
}
