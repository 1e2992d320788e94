#include "common/ZLibStreams.h"

#include <algorithm>
#include <climits>

namespace {

constexpr const char* kInvalidOperation = "Invalid ZStream operation!";
// zlib counts in 32-bit unsigned ints; larger requests are fed in pieces of this size.
constexpr int64_t kMaxZChunk = 1 << 30;

template <typename Error>
int Check(int result) {
  if (result < 0) throw Error(ZLibErrorText(result));
  return result;
}

}  // namespace

const char* ZLibErrorText(int result) {
  switch (result) {
    case Z_ERRNO: return "file error";
    case Z_STREAM_ERROR: return "stream error";
    case Z_DATA_ERROR: return "data error";
    case Z_MEM_ERROR: return "insufficient memory";
    case Z_BUF_ERROR: return "buffer error";
    case Z_VERSION_ERROR: return "incompatible version";
    default: return "";
  }
}

// ---- TZCompressionStream ----

TZCompressionStream::TZCompressionStream(TStream& destination, int level)
    : FDestination(destination), FBuffer(std::make_unique_for_overwrite<uint8_t[]>(kZStreamBufferSize)) {
  Check<EZCompressionError>(deflateInit(&FZ, level));
  FZ.next_out = FBuffer.get();
  FZ.avail_out = kZStreamBufferSize;
}

TZCompressionStream::~TZCompressionStream() { deflateEnd(&FZ); }

void TZCompressionStream::FlushBuffer() {
  FDestination.WriteBuffer(FBuffer.get(), kZStreamBufferSize - FZ.avail_out);
  FZ.next_out = FBuffer.get();
  FZ.avail_out = kZStreamBufferSize;
}

int64_t TZCompressionStream::Write(const void* buffer, int64_t count) {
  const auto* input = static_cast<const uint8_t*>(buffer);
  int64_t left = count;
  while (left > 0) {
    const int64_t chunk = std::min(left, kMaxZChunk);
    FZ.next_in = const_cast<Bytef*>(input);
    FZ.avail_in = static_cast<uInt>(chunk);
    while (FZ.avail_in > 0) {
      Check<EZCompressionError>(deflate(&FZ, Z_NO_FLUSH));
      if (FZ.avail_out == 0) FlushBuffer();
    }
    input += chunk;
    left -= chunk;
  }
  return count;
}

void TZCompressionStream::Finish() {
  while (Check<EZCompressionError>(deflate(&FZ, Z_FINISH)) != Z_STREAM_END) {
    if (FZ.avail_out == 0) FlushBuffer();
  }
  FlushBuffer();
}

int64_t TZCompressionStream::Read(void*, int64_t) { throw EZCompressionError(kInvalidOperation); }

int64_t TZCompressionStream::Seek(int64_t offset, TSeekOrigin origin) {
  if (offset == 0 && origin == TSeekOrigin::soCurrent) return static_cast<int64_t>(FZ.total_in);
  throw EZCompressionError(kInvalidOperation);
}

// ---- TZDecompressionStream ----

TZDecompressionStream::TZDecompressionStream(TStream& source)
    : FSource(source), FBuffer(std::make_unique_for_overwrite<uint8_t[]>(kZStreamBufferSize)) {
  Check<EZDecompressionError>(inflateInit(&FZ));
}

TZDecompressionStream::~TZDecompressionStream() { inflateEnd(&FZ); }

int64_t TZDecompressionStream::Read(void* buffer, int64_t count) {
  auto* output = static_cast<uint8_t*>(buffer);
  int64_t produced = 0;
  while (produced < count && !FEnded) {
    if (FZ.avail_in == 0) {
      const int64_t fetched = FSource.Read(FBuffer.get(), kZStreamBufferSize);
      if (fetched == 0) break;
      FZ.next_in = FBuffer.get();
      FZ.avail_in = static_cast<uInt>(fetched);
    }
    FZ.next_out = output + produced;
    FZ.avail_out = static_cast<uInt>(std::min(count - produced, kMaxZChunk));
    const uInt before = FZ.avail_out;
    const int result = Check<EZDecompressionError>(inflate(&FZ, Z_NO_FLUSH));
    produced += before - FZ.avail_out;
    if (result == Z_STREAM_END) {
      FSource.Seek(-static_cast<int64_t>(FZ.avail_in), TSeekOrigin::soCurrent);
      FZ.avail_in = 0;
      FEnded = true;
    } else if (result == Z_NEED_DICT) {
      // Preset dictionaries are not supported; inflate would answer the same forever.
      FEnded = true;
    }
  }
  return produced;
}

int64_t TZDecompressionStream::Write(const void*, int64_t) { throw EZDecompressionError(kInvalidOperation); }

int64_t TZDecompressionStream::Seek(int64_t offset, TSeekOrigin origin) {
  if (offset == 0 && origin == TSeekOrigin::soCurrent) return static_cast<int64_t>(FZ.total_out);
  throw EZDecompressionError(kInvalidOperation);
}
