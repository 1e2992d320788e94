// Exports a loaded recordset as one JSON document or as CSV with a header line.
#pragma once

#include <ostream>

#include "data/Recordset.h"

void WriteJson(const TRecordset& recordset, std::ostream& out);
void WriteCsv(const TRecordset& recordset, std::ostream& out);
