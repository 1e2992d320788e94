#include "common/PayloadCodec.h"

#include <algorithm>
#include <cstdint>
#include <memory>

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

TPayloadCompressor::TPayloadCompressor(TStream& destination, int level)
    : FDestination(destination), FLevel(level), FStart(destination.Position()) {}

TPayloadCompressor::~TPayloadCompressor() = default;

void TPayloadCompressor::Write(const void* plain, int64_t size) {
  if (size <= 0) return;
  if (!FCompressor) {
    const uint8_t sizeField[kPayloadSizeFieldBytes] = {};  // filled in by Finish
    FDestination.WriteBuffer(sizeField, sizeof sizeField);
    FCompressor = std::make_unique<TZCompressionStream>(FDestination, FLevel);
  }
  FCompressor->WriteBuffer(plain, size);
  FPlainSize += size;
}

void TPayloadCompressor::Finish() {
  if (!FCompressor) return;
  FCompressor->Finish();
  FCompressor.reset();
  const int64_t end = FDestination.Position();
  uint8_t sizeField[kPayloadSizeFieldBytes];
  PutInt64LE(sizeField, FPlainSize);
  FDestination.SetPosition(FStart);
  FDestination.WriteBuffer(sizeField, sizeof sizeField);
  FDestination.SetPosition(end);
}

void CompressBytes(const void* plain, int64_t size, TMemoryStream& payload, int level) {
  payload.Clear();
  if (size <= 0) return;
  payload.Reserve(kPayloadSizeFieldBytes + size / kExpectedCompressionRatio + kZStreamBufferSize);
  TPayloadCompressor compressor(payload, level);
  compressor.Write(plain, size);
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

namespace {

// The plain size that the payload's size field announces; the stream is left behind the field.
int32_t ReadPlainSize(TMemoryStream& payload) {
  payload.SetPosition(0);
  uint8_t sizeField[kPayloadSizeFieldBytes];
  payload.ReadBuffer(sizeField, sizeof sizeField);
  const int32_t plainSize = GetInt32LE(sizeField);
  if (plainSize < 0) throw EReadError();
  return plainSize;
}

}  // namespace

void DecompressStream(TMemoryStream& stream) {
  if (stream.Size() <= 0) return;
  const int32_t plainSize = ReadPlainSize(stream);

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

void DecompressStreamTo(TMemoryStream& payload, TStream& destination) {
  if (payload.Size() <= 0) return;
  const int32_t plainSize = ReadPlainSize(payload);
  if (plainSize == 0) return;
  constexpr int64_t kPiece = 1 << 20;
  const auto piece = std::make_unique_for_overwrite<uint8_t[]>(kPiece);
  TZDecompressionStream decompressor(payload);
  int64_t produced = 0;
  while (produced < plainSize) {
    const int64_t got = decompressor.Read(piece.get(), std::min<int64_t>(kPiece, plainSize - produced));
    if (got == 0) throw EReadError();
    destination.WriteBuffer(piece.get(), got);
    produced += got;
  }
}
