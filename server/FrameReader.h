// The service's side of the framing, without a socket: fed the bytes of a link as they come,
// it answers whether they hold a complete handshake or request frame, need more, or are bad.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace server {

struct TRequest {
  int32_t Command = 0;
  std::string Text;     // commands 1, 6, 22: in the wire code page
  std::string Payload;  // command 6: the compressed blob
};

enum class TParse { Complete, NeedMore, Bad };

struct TParseResult {
  TParse Outcome = TParse::NeedMore;
  size_t Consumed = 0;  // bytes of a complete handshake or frame
  std::string Problem;  // what is wrong with a bad one
};

// The 8-byte handshake: 1, then 7351.
TParseResult ParseHandshake(std::string_view bytes);
// One request frame: L, L, command, fields. maxFrame bounds L.
TParseResult ParseFrame(std::string_view bytes, int64_t maxFrame, TRequest& request);

std::string EncodeInt(int32_t value);

}  // namespace server
