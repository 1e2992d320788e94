#include "common/PayloadCodec.h"

#include <zlib.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "common/ZLibStreams.h"
#include "platform/Exceptions.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Fill(TMemoryStream& stream, const Bytes& bytes) {
  stream.Clear();
  stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

Bytes Content(TMemoryStream& stream) { return Bytes(stream.Memory(), stream.Memory() + stream.Size()); }

Bytes TextLike(size_t size, uint32_t seed) {
  static const char* const words[] = {"<z:row ", "TREEID='", "' FPARENTID='", "报表", "REPORTTYPENAME='", "'/>\n"};
  std::mt19937 random(seed);
  Bytes bytes;
  bytes.reserve(size + 32);
  while (bytes.size() < size) {
    const std::string word = words[random() % 6] + std::to_string(random() % 1000);
    bytes.insert(bytes.end(), word.begin(), word.end());
  }
  bytes.resize(size);
  return bytes;
}

Bytes Payload(const Bytes& plain) {
  TMemoryStream stream;
  Fill(stream, plain);
  CompressStream(stream);
  return Content(stream);
}

TEST(PayloadCodec, CompressesTheThreeByteVectorExactly) {
  TMemoryStream stream;
  Fill(stream, {'a', 'b', 'c'});
  CompressStream(stream);
  const Bytes expected = {0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x78, 0xDA,
                          0x4B, 0x4C, 0x4A, 0x06, 0x00, 0x02, 0x4D, 0x01, 0x27};
  EXPECT_EQ(Content(stream), expected);
  EXPECT_EQ(stream.Position(), 0);

  stream.SetPosition(stream.Size());  // the position on entry does not matter
  DecompressStream(stream);
  EXPECT_EQ(Content(stream), (Bytes{'a', 'b', 'c'}));
  EXPECT_EQ(stream.Position(), 0);
}

TEST(PayloadCodec, RoundTripsAroundTheBufferSizeAndLarge) {
  for (const size_t size : {size_t{1}, size_t{65535}, size_t{65536}, size_t{65537}, size_t{200000}, size_t{5} << 20}) {
    const Bytes plain = TextLike(size, static_cast<uint32_t>(size));
    TMemoryStream stream;
    Fill(stream, plain);
    stream.SetPosition(static_cast<int64_t>(size));
    CompressStream(stream);
    ASSERT_GE(stream.Size(), 8);
    EXPECT_EQ(stream.Memory()[8], 0x78);
    EXPECT_EQ(stream.Memory()[9], 0xDA);
    DecompressStream(stream);
    EXPECT_EQ(stream.Position(), 0);
    EXPECT_TRUE(Content(stream) == plain) << "size " << size;
  }
  // Random bytes do not compress: the payload outgrows the content, and still comes back.
  std::mt19937 random(7);
  Bytes noise(300000);
  for (uint8_t& b : noise) b = static_cast<uint8_t>(random());
  TMemoryStream stream;
  Fill(stream, noise);
  CompressStream(stream);
  DecompressStream(stream);
  EXPECT_TRUE(Content(stream) == noise);
}

TEST(PayloadCodec, EmptyStaysEmpty) {
  TMemoryStream stream;
  CompressStream(stream);
  EXPECT_EQ(stream.Size(), 0);
  DecompressStream(stream);
  EXPECT_EQ(stream.Size(), 0);
}

TEST(PayloadCodec, ReadsAnyValidZlibStreamAndStopsAtTheSizeField) {
  const Bytes plain = TextLike(100000, 3);
  // Another level and a smaller window than ours.
  Bytes zlibStream(compressBound(plain.size()) + 64);
  z_stream z{};
  ASSERT_EQ(deflateInit2(&z, 1, Z_DEFLATED, 10, 9, Z_DEFAULT_STRATEGY), Z_OK);
  z.next_in = const_cast<Bytef*>(plain.data());
  z.avail_in = static_cast<uInt>(plain.size());
  z.next_out = zlibStream.data();
  z.avail_out = static_cast<uInt>(zlibStream.size());
  ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  zlibStream.resize(z.total_out);
  deflateEnd(&z);

  Bytes payload = {0xA0, 0x86, 0x01, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};  // 100000; high half ignored
  payload.insert(payload.end(), zlibStream.begin(), zlibStream.end());
  TMemoryStream stream;
  Fill(stream, payload);
  DecompressStream(stream);
  EXPECT_TRUE(Content(stream) == plain);

  // A smaller size gives the first n bytes; zero gives nothing, whatever follows.
  payload[0] = 10, payload[1] = 0, payload[2] = 0;
  Fill(stream, payload);
  DecompressStream(stream);
  EXPECT_TRUE(Content(stream) == Bytes(plain.begin(), plain.begin() + 10));

  Fill(stream, {0, 0, 0, 0, 0, 0, 0, 0, 'g', 'a', 'r', 'b', 'a', 'g', 'e'});
  DecompressStream(stream);
  EXPECT_EQ(stream.Size(), 0);
}

TEST(PayloadCodec, FailuresKeepThePayload) {
  const Bytes good = Payload(TextLike(300000, 11));
  Bytes longer = good;
  longer[0] = static_cast<uint8_t>(longer[0] + 1);  // one byte more than the stream holds
  Bytes badHeader = good;
  badHeader[8] = 0x00;
  Bytes negative = good;
  negative[3] = 0x80;
  Bytes truncated(good.begin(), good.begin() + static_cast<long>(good.size() / 2));
  Bytes corruptBlock = good;
  for (size_t i = 20; i < 60; ++i) corruptBlock[i] ^= 0x5A;

  const struct {
    const char* name;
    Bytes payload;
    const char* message;
    bool isReadError;
  } cases[] = {
      {"one byte", {0x01}, "Stream read error", true},
      {"seven bytes", {1, 2, 3, 4, 5, 6, 7}, "Stream read error", true},
      {"size larger than the stream", longer, "Stream read error", true},
      {"negative size", negative, "Stream read error", true},
      {"stream cut off", truncated, "Stream read error", true},
      {"size field only", {5, 0, 0, 0, 0, 0, 0, 0}, "Stream read error", true},
      {"no zlib header", badHeader, "data error", false},
      {"damaged block", corruptBlock, "data error", false},
  };
  // Both ways of decompressing fail alike; the streaming one writes to a destination.
  const std::function<void(TMemoryStream&)> decompressors[] = {
      [](TMemoryStream& stream) { DecompressStream(stream); },
      [](TMemoryStream& stream) {
        TMemoryStream destination;
        DecompressStreamTo(stream, destination);
      },
  };
  for (const auto& decompress : decompressors) {
    for (const auto& c : cases) {
      TMemoryStream stream;
      Fill(stream, c.payload);
      try {
        decompress(stream);
        ADD_FAILURE() << c.name << ": accepted";
      } catch (const EReadError& e) {
        EXPECT_TRUE(c.isReadError) << c.name;
        EXPECT_EQ(e.Message, c.message) << c.name;
      } catch (const EZDecompressionError& e) {
        EXPECT_FALSE(c.isReadError) << c.name;
        EXPECT_EQ(e.Message, c.message) << c.name;
      }
      EXPECT_TRUE(Content(stream) == c.payload) << c.name << ": the payload was changed";
    }
  }
}

TEST(PayloadCodec, StreamsInPiecesAsInOne) {
  const Bytes plain = TextLike(3 * 1024 * 1024 + 17, 4);
  TMemoryStream whole;
  CompressBytes(plain.data(), static_cast<int64_t>(plain.size()), whole, 1);

  // Pieces of every size, after bytes the destination already held.
  TMemoryStream pieces;
  const Bytes prefix = {9, 9, 9};
  pieces.WriteBuffer(prefix.data(), 3);
  TPayloadCompressor compressor(pieces, 1);
  for (size_t at = 0, size = 1; at < plain.size(); at += size, size = size * 3 + 1) {
    compressor.Write(plain.data() + at, static_cast<int64_t>(std::min(size, plain.size() - at)));
  }
  compressor.Finish();
  EXPECT_EQ(pieces.Position(), pieces.Size());
  EXPECT_TRUE(Content(pieces) == [&] {
    Bytes expected = prefix;
    expected.insert(expected.end(), whole.Memory(), whole.Memory() + whole.Size());
    return expected;
  }());

  TMemoryStream plainOut;
  DecompressStreamTo(whole, plainOut);
  EXPECT_TRUE(Content(plainOut) == plain);

  TMemoryStream empty;
  TPayloadCompressor nothing(empty);
  nothing.Finish();
  EXPECT_EQ(empty.Size(), 0);
}

// The process's peak of virtual memory in KiB: it rises with any large allocation, touched or not.
long VirtualPeakKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmPeak:", 0) == 0) return std::stol(line.substr(7));
  return -1;
}

TEST(PayloadCodec, ALyingSizeFieldFailsWithoutAllocatingIt) {
  // 2 GiB - 1 claimed, a few bytes of data: must fail at once, without reserving the claim.
  Bytes payload = Payload({'a', 'b', 'c'});
  payload[0] = 0xFF, payload[1] = 0xFF, payload[2] = 0xFF, payload[3] = 0x7F;
  TMemoryStream stream;
  Fill(stream, payload);
  const long peakBefore = VirtualPeakKiB();
  ASSERT_GT(peakBefore, 0);
  EXPECT_THROW(DecompressStream(stream), EReadError);
  EXPECT_LT(VirtualPeakKiB() - peakBefore, 512 * 1024) << "the claimed size was allocated";
  EXPECT_TRUE(Content(stream) == payload);
}

TEST(PayloadCodec, AdaptorsRefuseTheWrongDirection) {
  TMemoryStream target;
  TZCompressionStream compressor(target, 9);
  char byte = 0;
  const auto expectInvalid = [](auto operation) {
    try {
      operation();
      ADD_FAILURE() << "allowed";
    } catch (const EZLibError& e) {
      EXPECT_EQ(e.Message, "Invalid ZStream operation!");
    }
  };
  expectInvalid([&] { compressor.Read(&byte, 1); });
  expectInvalid([&] { compressor.Seek(1, TSeekOrigin::soBeginning); });
  EXPECT_THROW(compressor.Read(&byte, 1), EZCompressionError);

  TMemoryStream source;
  TZDecompressionStream decompressor(source);
  expectInvalid([&] { decompressor.Write(&byte, 1); });
  expectInvalid([&] { decompressor.Seek(0, TSeekOrigin::soEnd); });
  EXPECT_THROW(decompressor.Write(&byte, 1), EZDecompressionError);
  EXPECT_EQ(decompressor.Position(), 0);
}

TEST(PayloadCodec, DecompressorGivesBackInputBeyondTheStreamEnd) {
  Bytes bytes = Payload({'x', 'y'});
  const int64_t streamEnd = static_cast<int64_t>(bytes.size());
  bytes.insert(bytes.end(), {'t', 'a', 'i', 'l'});
  TMemoryStream source;
  Fill(source, bytes);
  source.SetPosition(8);
  TZDecompressionStream decompressor(source);
  char plain[16];
  EXPECT_EQ(decompressor.Read(plain, sizeof plain), 2);
  EXPECT_EQ(source.Position(), streamEnd);
}

TEST(PayloadCodec, ZLibTexts) {
  const struct {
    int result;
    const char* text;
  } cases[] = {{Z_ERRNO, "file error"},       {Z_STREAM_ERROR, "stream error"},
               {Z_DATA_ERROR, "data error"},  {Z_MEM_ERROR, "insufficient memory"},
               {Z_BUF_ERROR, "buffer error"}, {Z_VERSION_ERROR, "incompatible version"}};
  for (const auto& c : cases) EXPECT_STREQ(ZLibErrorText(c.result), c.text);
  // A level zlib does not know fails at initialisation with zlib's text.
  TMemoryStream stream;
  Fill(stream, {'a'});
  try {
    CompressStream(stream, 42);
    FAIL() << "level 42 accepted";
  } catch (const EZCompressionError& e) {
    EXPECT_EQ(e.Message, "stream error");
  }
  EXPECT_EQ(Content(stream), (Bytes{'a'}));  // plain content kept
}

}  // namespace
