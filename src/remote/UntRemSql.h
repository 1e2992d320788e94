// TRmoHelper: what the windows see of the remote database client. It owns one connection and
// offers connect by name or address, and queries or whole tables opened into datasets, which
// then write their edits back. Runs on the GUI thread; every call blocks until the reply has
// been processed.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "platform/Format.h"
#include "remote/untRmoDbClient.h"

class TRmoHelper {
 public:
  explicit TRmoHelper(uint16_t port);

  // Resolves a name first when it is not a dotted address; false when it does not resolve,
  // the link does not open, or the handshake is refused. Never raises.
  bool ConnectServer(std::string host, int32_t port);
  void OpenQuery(TCustomADODataSet& dataSet, const std::string& text);
  // Format(format, arguments), then OpenQuery; the format error comes before anything is sent.
  TCustomADODataSet& OpenFormat(TCustomADODataSet& dataSet, const std::string& format,
                                std::initializer_list<TVarRec> arguments = {});
  TCustomADODataSet& OpenTable(const std::string& name, TCustomADODataSet& dataSet);

  TSocketClient::Ptr<TRmoClient> Client;
};

// The first IPv4 address of a name as dotted text; false (address untouched) when it has none
// or the name is longer than 255 bytes.
bool ResolveHost(const std::string& name, std::string& address);

using THostResolver = bool (*)(const std::string& name, std::string& address);
// Replaces the name service ResolveHost uses (tests); null restores the system's.
void SetHostResolver(THostResolver resolver);

// The facade of the last connect sequence; earlier ones live on.
extern TRmoHelper* RmoHelper;
