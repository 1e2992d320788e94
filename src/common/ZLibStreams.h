// One-way stream adaptors over zlib. TZCompressionStream deflates what is written to it into a
// destination stream; TZDecompressionStream inflates what it reads from a source stream. Each
// works through one 64 KB buffer. Reading from the compressor, writing into the decompressor
// and moving either one's position raise "Invalid ZStream operation!". The caller owns the
// destination or source stream, which must outlive the adaptor.
#pragma once

#include <zlib.h>

#include <array>
#include <cstdint>
#include <memory>

#include "platform/Exceptions.h"
#include "platform/Streams.h"

class EZLibError : public Exception {
 public:
  using Exception::Exception;
};

class EZCompressionError : public EZLibError {
 public:
  using EZLibError::EZLibError;
};

class EZDecompressionError : public EZLibError {
 public:
  using EZLibError::EZLibError;
};

// zlib's text for a result code ("data error", "insufficient memory", ...).
const char* ZLibErrorText(int result);

constexpr int64_t kZStreamBufferSize = 65536;

class TZCompressionStream : public TStream {
 public:
  // Opens a deflate stream with zlib's plain initialisation at the given level (default
  // method, 32 KB window, memory level 8, default strategy).
  TZCompressionStream(TStream& destination, int level);
  // Ends the deflate stream; does not finish it (call Finish for a complete zlib stream).
  ~TZCompressionStream() override;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  // Answers the number of bytes taken so far for Seek(0, soCurrent); refuses every move.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  // Finishes the zlib stream and writes everything that is left to the destination.
  void Finish();

 private:
  void FlushBuffer();

  TStream& FDestination;
  z_stream FZ{};
  std::unique_ptr<uint8_t[]> FBuffer;
};

class TZDecompressionStream : public TStream {
 public:
  // Reads the zlib stream from the source's current position.
  explicit TZDecompressionStream(TStream& source);
  ~TZDecompressionStream() override;

  // Reads up to count plain bytes; fewer when the zlib stream or the source ends. At the
  // zlib stream's end, input fetched beyond it is given back to the source.
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  // Answers the number of bytes produced so far for Seek(0, soCurrent); refuses every move.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;

 private:
  TStream& FSource;
  z_stream FZ{};
  std::unique_ptr<uint8_t[]> FBuffer;
  bool FEnded = false;
};
