// The compressed payload that results, blobs and result files travel in:
//
//   offset 0, 8 bytes   plain size, signed 64-bit little-endian
//   offset 8, the rest  the plain content as one zlib stream (level 9, 32 KB window)
//
// Empty content has an empty payload. Both routines convert the whole content of a memory
// stream in place, whatever its position, and leave the position at 0. On failure the stream
// keeps what it held: the plain content for CompressStream, the payload for DecompressStream.
#pragma once

#include "platform/Streams.h"

constexpr int kPayloadSizeFieldBytes = 8;
constexpr int kPayloadCompressionLevel = 9;

// Raises EZCompressionError with zlib's text.
void CompressStream(TMemoryStream& stream, int level = kPayloadCompressionLevel);
// The payload of plain bytes held elsewhere, written into payload (emptied first); saves the
// copy into a stream when the content is already in memory.
void CompressBytes(const void* plain, int64_t size, TMemoryStream& payload, int level = kPayloadCompressionLevel);

// Raises EZDecompressionError with zlib's text for invalid zlib data, and EReadError
// "Stream read error" for a stream of 1 to 7 bytes, a negative size (the low four bytes of the
// size field, read as a signed count) or a zlib stream that ends before that many bytes.
// Never allocates more than the zlib stream has produced, so a lying size field costs nothing.
void DecompressStream(TMemoryStream& stream);
