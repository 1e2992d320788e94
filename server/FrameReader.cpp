#include "FrameReader.h"

#include <arpa/inet.h>
#include <cstring>

#include "remote/UntBaseProctol.h"

namespace server {

namespace {

int32_t IntAt(std::string_view bytes, size_t at) {
  uint32_t value;
  std::memcpy(&value, bytes.data() + at, 4);
  return static_cast<int32_t>(ntohl(value));
}

TParseResult Bad(std::string problem) { return {TParse::Bad, 0, std::move(problem)}; }

}  // namespace

std::string EncodeInt(int32_t value) {
  const uint32_t bits = htonl(static_cast<uint32_t>(value));
  return std::string(reinterpret_cast<const char*>(&bits), 4);
}

TParseResult ParseHandshake(std::string_view bytes) {
  if (bytes.size() < 8) return {TParse::NeedMore, 0, {}};
  if (IntAt(bytes, 0) != proto::kHandshakeHello || IntAt(bytes, 4) != proto::kHandshakeValue)
    return Bad("bad handshake " + std::to_string(IntAt(bytes, 0)) + ", " + std::to_string(IntAt(bytes, 4)));
  return {TParse::Complete, 8, {}};
}

TParseResult ParseFrame(std::string_view bytes, int64_t maxFrame, TRequest& request) {
  if (bytes.size() < 8) return {TParse::NeedMore, 0, {}};
  const int32_t length = IntAt(bytes, 0);
  if (length != IntAt(bytes, 4))
    return Bad("the two frame lengths differ (" + std::to_string(length) + ", " + std::to_string(IntAt(bytes, 4)) +
               ")");
  if (length < 4) return Bad("frame length " + std::to_string(length) + " is too short");
  if (length > maxFrame)
    return Bad("frame length " + std::to_string(length) + " is above the limit of " + std::to_string(maxFrame));
  const size_t total = 8 + static_cast<size_t>(length);
  if (bytes.size() < total) return {TParse::NeedMore, 0, {}};
  const std::string_view body = bytes.substr(8, static_cast<size_t>(length));
  request = TRequest{};
  request.Command = IntAt(body, 0);
  switch (request.Command) {
    case proto::CmdKeepAlive: break;
    case proto::CmdExecSQL:
    case proto::CmdOpenSQL:
    case proto::CmdBlobUpdate: {
      if (body.size() < 8) return Bad("the frame ends before its text length");
      const int32_t n = IntAt(body, 4);
      if (n < 0 || static_cast<size_t>(n) > body.size() - 8)
        return Bad("text length " + std::to_string(n) + " overruns its frame");
      request.Text = std::string(body.substr(8, static_cast<size_t>(n)));
      if (request.Command != proto::CmdBlobUpdate) break;
      const size_t at = 8 + static_cast<size_t>(n);
      if (body.size() < at + 4) return Bad("the frame ends before its payload length");
      const int32_t m = IntAt(body, at);
      if (m < 0 || static_cast<size_t>(m) > body.size() - at - 4)
        return Bad("payload length " + std::to_string(m) + " overruns its frame");
      request.Payload = std::string(body.substr(at + 4, static_cast<size_t>(m)));
      break;
    }
    default: return Bad("unknown command " + std::to_string(request.Command));
  }
  return {TParse::Complete, total, {}};
}

}  // namespace server
