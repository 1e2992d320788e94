// The compressed payload that results, blobs and result files travel in:
//
//   offset 0, 8 bytes   plain size, signed 64-bit little-endian
//   offset 8, the rest  the plain content as one zlib stream (level 9, 32 KB window)
//
// Empty content has an empty payload. Both routines convert the whole content of a memory
// stream in place, whatever its position, and leave the position at 0. On failure the stream
// keeps what it held: the plain content for CompressStream, the payload for DecompressStream.
#pragma once

#include <memory>

#include "platform/Streams.h"

class TZCompressionStream;

constexpr int kPayloadSizeFieldBytes = 8;
constexpr int kPayloadCompressionLevel = 9;

// Raises EZCompressionError with zlib's text.
void CompressStream(TMemoryStream& stream, int level = kPayloadCompressionLevel);
// The payload of plain bytes held elsewhere, written into payload (emptied first); saves the
// copy into a stream when the content is already in memory.
void CompressBytes(const void* plain, int64_t size, TMemoryStream& payload, int level = kPayloadCompressionLevel);

// Compresses content that arrives in pieces into a payload written from the destination's
// position on; the size field is filled in by Finish, once the size is known. Raises
// EZCompressionError with zlib's text.
class TPayloadCompressor {
 public:
  TPayloadCompressor(TStream& destination, int level = kPayloadCompressionLevel);
  ~TPayloadCompressor();
  TPayloadCompressor(const TPayloadCompressor&) = delete;
  TPayloadCompressor& operator=(const TPayloadCompressor&) = delete;

  void Write(const void* plain, int64_t size);
  // Ends the payload and leaves the destination's position at its end. Content that stayed
  // empty gives an empty payload.
  void Finish();

 private:
  TStream& FDestination;
  int FLevel;
  int64_t FStart;
  int64_t FPlainSize = 0;
  std::unique_ptr<TZCompressionStream> FCompressor;
};

// Raises EZDecompressionError with zlib's text for invalid zlib data, and EReadError
// "Stream read error" for a stream of 1 to 7 bytes, a negative size (the low four bytes of the
// size field, read as a signed count) or a zlib stream that ends before that many bytes.
// Never allocates more than the zlib stream has produced, so a lying size field costs nothing.
void DecompressStream(TMemoryStream& stream);
// The same checks, with the plain content written to destination as it is inflated, in pieces
// of at most 1 MB: a payload of any size costs no more memory than that.
void DecompressStreamTo(TMemoryStream& payload, TStream& destination);
