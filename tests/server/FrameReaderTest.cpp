// The service's framing without a socket: every truncation and every fault as a byte string.
#include "FrameReader.h"

#include <gtest/gtest.h>

namespace {

using server::EncodeInt;
using server::TParse;

std::string Frame(int32_t command, const std::string& fields) {
  const auto length = static_cast<int32_t>(fields.size() + 4);
  return EncodeInt(length) + EncodeInt(length) + EncodeInt(command) + fields;
}

TEST(FrameReader, GathersCompleteFramesAndWaitsForMore) {
  const std::string exec = Frame(1, EncodeInt(8) + "select 1");
  const std::string blob = Frame(6, EncodeInt(3) + "upd" + EncodeInt(2) + "xy");
  const std::string keepAlive = Frame(4, "");
  for (const std::string& frame : {exec, blob, keepAlive}) {
    for (size_t cut = 0; cut < frame.size(); ++cut) {
      server::TRequest request;
      EXPECT_EQ(server::ParseFrame(frame.substr(0, cut), 1 << 20, request).Outcome, TParse::NeedMore) << cut;
    }
    server::TRequest request;
    const auto parsed = server::ParseFrame(frame + "next", 1 << 20, request);
    EXPECT_EQ(parsed.Outcome, TParse::Complete);
    EXPECT_EQ(parsed.Consumed, frame.size());
  }
  server::TRequest request;
  server::ParseFrame(blob, 1 << 20, request);
  EXPECT_EQ(request.Command, 6);
  EXPECT_EQ(request.Text, "upd");
  EXPECT_EQ(request.Payload, "xy");
  server::ParseFrame(exec, 1 << 20, request);
  EXPECT_EQ(request.Text, "select 1");
  EXPECT_EQ(request.Payload, "");

  EXPECT_EQ(server::ParseHandshake(EncodeInt(1)).Outcome, TParse::NeedMore);
  EXPECT_EQ(server::ParseHandshake(EncodeInt(1) + EncodeInt(7351)).Outcome, TParse::Complete);
}

TEST(FrameReader, RefusesWhatBreaksTheFraming) {
  const struct {
    const char* name;
    std::string bytes;
    const char* problem;
  } cases[] = {
      {"copies differ", EncodeInt(8) + EncodeInt(9) + EncodeInt(1) + EncodeInt(0), "differ"},
      {"too short", EncodeInt(2) + EncodeInt(2) + "ab", "too short"},
      {"above the limit", EncodeInt(0x7FFFFFFF) + EncodeInt(0x7FFFFFFF), "above the limit"},
      {"unknown command", Frame(99, ""), "unknown command 99"},
      {"text overruns", Frame(1, EncodeInt(100) + "abc"), "overruns"},
      {"negative text", Frame(22, EncodeInt(-1)), "overruns"},
      {"no text length", Frame(1, "ab"), "before its text length"},
      {"payload overruns", Frame(6, EncodeInt(1) + "u" + EncodeInt(50) + "x"), "payload length 50 overruns"},
  };
  for (const auto& c : cases) {
    server::TRequest request;
    const auto parsed = server::ParseFrame(c.bytes, 1 << 20, request);
    EXPECT_EQ(parsed.Outcome, TParse::Bad) << c.name;
    EXPECT_NE(parsed.Problem.find(c.problem), std::string::npos) << c.name << ": " << parsed.Problem;
  }
  EXPECT_EQ(server::ParseHandshake(EncodeInt(1) + EncodeInt(7352)).Outcome, TParse::Bad);
  EXPECT_EQ(server::ParseHandshake(EncodeInt(2) + EncodeInt(7351)).Outcome, TParse::Bad);
}

}  // namespace
