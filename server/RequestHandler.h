// Runs one request against a backend and answers the reply bytes, knowing no sockets.
// Texts arrive and leave in the wire code page and meet the database in UTF-8; results go out
// as compressed XML rowsets, through the client's file route above a size threshold.
#pragma once

#include <cstdint>
#include <string>

#include "FrameReader.h"
#include "SqlBackend.h"
#include "common/WireCodePage.h"

namespace server {

struct THandlerOptions {
  TWireCodePage CodePage = TWireCodePage::GBK;
  int64_t FileRouteThreshold = int64_t{16} << 20;  // payload bytes; above them status 2
  int CompressionLevel = 1;                        // any zlib level reads back; 1 is quickest
};

struct TOutcome {
  int32_t Command = 0;
  std::string Reply;    // empty for commands without a reply
  int64_t Rows = 0;     // rows changed or returned
  int64_t Payload = 0;  // payload bytes sent or received
  std::string Error;    // the database's message, for the log
};

TOutcome HandleRequest(const TRequest& request, TSqlBackend& backend, const THandlerOptions& options);

std::string ErrorReply(const std::string& utf8Message, TWireCodePage codePage);

}  // namespace server
