// The stand-in for the platform's ADO datasets. A dataset opens on a TRecordset (shared with
// its clones, each with its own cursor), makes one TField per column, and offers the
// platform's navigation and editing: Edit / Insert / Append fill an edit buffer that Post
// writes into the recordset after BeforePost, and Delete removes the current row after
// BeforeDelete. A handler that raises cancels the post or delete and leaves the rows as they
// were. Rows live in memory; the persisted form is the XML rowset (LoadFromFile, SaveToFile).
//
// A dataset belongs to one thread.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/Field.h"
#include "data/Recordset.h"

class TADOConnection;

enum TADOLockType { ltUnspecified = 0, ltReadOnly = 1, ltPessimistic = 2, ltOptimistic = 3, ltBatchOptimistic = 4 };

class TDataSet {
 public:
  using TDataSetNotifyEvent = std::function<void(TDataSet&)>;

  TDataSet() = default;
  virtual ~TDataSet() = default;
  TDataSet(const TDataSet&) = delete;
  TDataSet& operator=(const TDataSet&) = delete;

  bool Active() const { return FState != dsInactive; }
  void SetActive(bool active) { active ? Open() : Close(); }
  void Open();
  void Close();
  TDataSetState State() const { return FState; }

  const std::vector<std::unique_ptr<TField>>& Fields() const { return FFields; }
  int32_t FieldCount() const { return static_cast<int32_t>(FFields.size()); }
  TField* FindField(std::string_view name) const;
  // Raises EDatabaseError "Field 'name' not found".
  TField& FieldByName(std::string_view name) const;
  TField& Field(int32_t index) const { return *FFields.at(static_cast<size_t>(index)); }

  int32_t RecordCount() const;
  void First();
  void Next();
  void Prior();
  void Last();
  bool Eof() const { return FEof; }
  bool Bof() const { return FBof; }
  // The current row's number from 1; 0 when there is none.
  int32_t RecNo() const;

  void Edit();
  void Insert();
  void Append();
  void Post();
  void Cancel();
  void Delete();

  // Fields read and write the current value through these.
  TCellValue CurrentValue(int32_t index) const;
  void SetCurrentValue(int32_t index, TCellValue value);

  std::string Name;
  TDataSetNotifyEvent BeforePost;
  TDataSetNotifyEvent BeforeDelete;

 protected:
  // The recordset the dataset shows; null when it has none.
  virtual TRecordset* CursorRecordset() const = 0;
  // Opens on the recordset: makes the fields unless they exist, puts the cursor on the first row.
  virtual void OpenCursor(bool infoQuery);
  void DestroyFieldObjects();
  void CheckActive() const;
  // Leaves editing by posting it, as navigation does.
  void CheckBrowseMode();
  void StartEditing(TDataSetState state, int32_t insertAt);

  std::vector<std::unique_ptr<TField>> FFields;
  TDataSetState FState = dsInactive;
  int32_t FPosition = 0;
  bool FEof = true;
  bool FBof = true;
  std::vector<TCellValue> FBuffer;
  int32_t FInsertAt = 0;
  int32_t FPositionBeforeInsert = 0;
};

class TCustomADODataSet : public TDataSet {
 public:
  TADOConnection* Connection = nullptr;

  const std::shared_ptr<TRecordset>& Recordset() const { return FRecordset; }
  // Closes the dataset, takes the recordset and opens on it (stays closed for none).
  void SetRecordset(std::shared_ptr<TRecordset> recordset);
  // Closes, then reopens on source's recordset, sharing its rows with a cursor of its own.
  // Raises EDatabaseError when source has no recordset; the dataset then stays closed.
  void Clone(const TCustomADODataSet& source, TADOLockType lockType = ltUnspecified);
  // Closes, then opens on the recordset persisted in the file. On any error the dataset stays
  // closed without a recordset.
  void LoadFromFile(const std::string& fileName);
  // Opens on a persisted recordset held in memory, the same way.
  void LoadFromXml(std::string_view document);
  void SaveToFile(const std::string& fileName) const;
  void DestroyFields();
  void OpenCursor(bool infoQuery) override;
  // Re-reads the position after the recordset changed under the cursor.
  void Resync();

 protected:
  TRecordset* CursorRecordset() const override { return FRecordset.get(); }

  std::shared_ptr<TRecordset> FRecordset;
};

class TADOQuery : public TCustomADODataSet {
 public:
  std::string SQL;  // kept for the caller; no statement ever runs on the local connection
};
