// The statement texts that write a dataset's edits back: the target table found in the
// recorded SELECT text, and the DELETE, UPDATE and INSERT texts built from a row's fields.
// The first field is the row key. Text values are quoted with single quotes doubled inside.
// Failures raise: the silent abort after an information box for an unusable SELECT text, the
// platform's conversion errors for a field that cannot give the form asked for.
#pragma once

#include <string>
#include <vector>

#include "data/DataSet.h"

namespace writeback {

// 'O''Brien' for O'Brien.
std::string QuotedSqlText(const std::string& text);

// The table of the last SELECT loaded: the first non-empty token after "from" in the lower-cased
// text, split at single blanks.
std::string FindTable(const std::string& selectText);

std::string DeleteStatement(const std::string& table, const TDataSet& dataSet);

// "Update t Set a=1,b='x' where ID=5", or empty when the row has nothing to assign besides the
// key and blob fields. Blob fields are left to the blob updates.
std::string UpdateStatement(const std::string& table, const TDataSet& dataSet);

// "insert into t(ID,A) values (6,1)" for the fields that are not blobs.
std::string InsertStatement(const std::string& table, const TDataSet& dataSet);

// "select max(ID) as myid from t": the query for a new key.
std::string NewKeyQuery(const std::string& table, const TDataSet& dataSet);

// "update t set PIC=:Pbob where ID=5" for one blob field.
std::string BlobUpdateStatement(const std::string& table, const TField& blob, const TDataSet& dataSet);

// The blob fields of the row, in field order.
std::vector<const TField*> BlobFields(const TDataSet& dataSet);

}  // namespace writeback
