#include "common/PayloadCodec.h"

#include <algorithm>
#include <cstdint>

#include "common/ZLibStreams.h"

namespace {

void PutInt64LE(uint8_t* out, int64_t value) {
  const auto bits = static_cast<uint64_t>(value);
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(bits >> (8 * i));
}

int32_t GetInt32LE(const uint8_t* in) {
  const uint32_t bits = uint32_t{in[0]} | uint32_t{in[1]} << 8 | uint32_t{in[2]} << 16 | uint32_t{in[3]} << 24;
  return static_cast<int32_t>(bits);
}

// The plain content's buffer starts at a guess from the payload's size and doubles as zlib
// fills it, never past the size the payload claims.
constexpr int64_t kMinInitialPlainCapacity = 256 * 1024;
constexpr int64_t kExpectedCompressionRatio = 16;

}  // namespace

void CompressBytes(const void* plain, int64_t size, TMemoryStream& payload, int level) {
  payload.Clear();
  if (size <= 0) return;
  payload.Reserve(kPayloadSizeFieldBytes + size / kExpectedCompressionRatio + kZStreamBufferSize);
  uint8_t sizeField[kPayloadSizeFieldBytes];
  PutInt64LE(sizeField, size);
  payload.WriteBuffer(sizeField, sizeof sizeField);
  TZCompressionStream compressor(payload, level);
  compressor.WriteBuffer(plain, size);
  compressor.Finish();
  payload.SetPosition(0);
}

void CompressStream(TMemoryStream& stream, int level) {
  const int64_t plainSize = stream.Size();
  if (plainSize <= 0) return;
  stream.SetPosition(0);
  TMemoryStream payload;
  CompressBytes(stream.Memory(), plainSize, payload, level);
  stream.Swap(payload);
}

void DecompressStream(TMemoryStream& stream) {
  if (stream.Size() <= 0) return;
  stream.SetPosition(0);
  uint8_t sizeField[kPayloadSizeFieldBytes];
  stream.ReadBuffer(sizeField, sizeof sizeField);
  const int32_t plainSize = GetInt32LE(sizeField);
  if (plainSize < 0) throw EReadError();

  TMemoryStream plain;
  int64_t produced = 0;
  if (plainSize > 0) {
    TZDecompressionStream decompressor(stream);
    int64_t capacity =
        std::min<int64_t>(plainSize, std::max(kMinInitialPlainCapacity, stream.Size() * kExpectedCompressionRatio));
    plain.SetSizeForOverwrite(capacity);
    while (produced < plainSize) {
      if (produced == capacity) {
        capacity = std::min<int64_t>(plainSize, capacity * 2);
        plain.SetSizeForOverwrite(capacity);
      }
      const int64_t got = decompressor.Read(plain.Memory() + produced, capacity - produced);
      if (got == 0) break;
      produced += got;
    }
    if (produced < plainSize) throw EReadError();
  }
  plain.SetSize(produced);
  stream.Swap(plain);
  stream.SetPosition(0);
}
