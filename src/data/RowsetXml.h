// The XML persistence form of a recordset (docs: shared formats, "ADO XML rowset"): the reader
// that turns a received result into a recordset, and the writer that turns a recordset into a
// document. Reader errors raise ERowsetError naming what is wrong and where (line and byte
// offset, or row and column); nothing half-read is ever returned.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "data/Recordset.h"
#include "data/XmlReader.h"

namespace rowset {

constexpr std::string_view kSchemaUri = "uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882";
constexpr std::string_view kDatatypeUri = "uuid:C2F41010-65B3-11d1-A29F-00AA00C14882";
constexpr std::string_view kRowsetUri = "urn:schemas-microsoft-com:rowset";
constexpr std::string_view kRowUri = "#RowsetSchema";

}  // namespace rowset

// Reads a whole document (UTF-8, or UTF-16 with a byte order mark).
std::shared_ptr<TRecordset> ReadRowsetXml(std::string_view document);

// Writes the recordset's rows in their visible order. Characters that XML cannot carry are
// replaced by U+FFFD; the number replaced is stored in *replaced when given.
void WriteRowsetXml(const TRecordset& recordset, std::string& out, size_t* replaced = nullptr);
// The same document in pieces of about pieceSize bytes, each handed to sink once full. The sink
// may take the piece's content (by swapping in another string); whatever string it leaves is
// cleared and filled with the next piece, so memory stays near pieceSize whatever the rows.
void WriteRowsetXml(const TRecordset& recordset, const std::function<void(std::string& piece)>& sink,
                    size_t pieceSize = size_t{1} << 20, size_t* replaced = nullptr);
