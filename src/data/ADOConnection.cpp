#include "data/ADOConnection.h"

#include <cstring>

#include "data/Field.h"
#include "platform/Streams.h"
#include "platform/SysUtils.h"

std::string TADOConnection::ConnectionStringValue(const std::string& connectionString, const std::string& key) {
  size_t start = 0;
  while (start < connectionString.size()) {
    size_t end = connectionString.find(';', start);
    if (end == std::string::npos) end = connectionString.size();
    const std::string part = connectionString.substr(start, end - start);
    const size_t equals = part.find('=');
    if (equals != std::string::npos && SameText(Trim(part.substr(0, equals)), key)) {
      std::string value = Trim(part.substr(equals + 1));
      if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
      return value;
    }
    start = end + 1;
  }
  return {};
}

void TADOConnection::Open() {
  const std::string fileName = ConnectionStringValue(ConnectionString, "Data Source");
  if (fileName.empty()) throw EDatabaseError("The connection string names no Data Source");
  char header[32] = {};
  try {
    TFileStream file(fileName, fmOpenRead);
    file.Read(header, sizeof header);
  } catch (const Exception&) {
    throw EDatabaseError("Could not find file '" + fileName + "'.");
  }
  // A Jet (or its successor's) database file names its engine at byte 4.
  if (std::memcmp(header + 4, "Standard Jet DB", 15) != 0 && std::memcmp(header + 4, "Standard ACE DB", 15) != 0)
    throw EDatabaseError("Unrecognized database format '" + fileName + "'.");
  FConnected = true;
}
