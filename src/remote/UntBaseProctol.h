// The database protocol's constants. Every integer is a signed 32-bit big-endian value; a
// text is its bytes in the wire code page, preceded by its length in bytes.
//
// Handshake, once per link, no frame:   1, 7351            answer: 1001 accepts
// Request frame:  L, L, command, fields (L counts the bytes after the second L)
//   1  CmdExecSQL     n, text                      L = n + 8        reply: status
//   4  CmdKeepAlive   -                            L = 4            no reply
//   6  CmdBlobUpdate  n, text, m, payload          L = n + m + 12   no reply
//   22 CmdOpenSQL     n, text                      L = n + 8        reply: result
// Status reply:  status (-1: then e, error text)
// Result reply:  status (-1: then e, error text; 1: memory route; other: file route), m, payload
#pragma once

#include <cstdint>

namespace proto {

constexpr int32_t kHandshakeHello = 1;
constexpr int32_t kHandshakeValue = 7351;
constexpr int32_t kHandshakeAccepted = 1001;

constexpr int32_t CmdExecSQL = 1;
constexpr int32_t CmdKeepAlive = 4;
constexpr int32_t CmdBlobUpdate = 6;
constexpr int32_t CmdOpenSQL = 22;

constexpr int32_t kStatusError = -1;
constexpr int32_t kStatusInMemory = 1;

// The blob update's one parameter.
constexpr const char* kBlobParameter = "Pbob";
// The longest payload a reply may announce; anything longer means the reply is out of step.
constexpr int64_t kMaxPayloadBytes = int64_t{1} << 30;

}  // namespace proto
