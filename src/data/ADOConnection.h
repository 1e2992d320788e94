// TADOConnection: the local connection the pooled queries share. It understands the Jet
// connection strings; opening checks that the Data Source names a readable Jet database file
// and raises EDatabaseError otherwise. No statement ever runs on it.
#pragma once

#include <cstdint>
#include <string>

class TADOConnection {
 public:
  std::string ConnectionString;
  int32_t ConnectionTimeout = 15;  // seconds
  bool LoginPrompt = true;

  bool Connected() const { return FConnected; }
  void SetConnected(bool connected) { connected ? Open() : Close(); }
  void Open();
  void Close() { FConnected = false; }

  // The value of a key of the connection string (case-insensitive, quotes removed); empty
  // when absent.
  static std::string ConnectionStringValue(const std::string& connectionString, const std::string& key);

 private:
  bool FConnected = false;
};
