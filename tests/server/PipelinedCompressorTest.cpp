// Deflating beside the writer: the same payload as compressing in line, a failing destination
// reported to the writer, and an unfinished compressor stopped cleanly.
#include "PipelinedCompressor.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/Exceptions.h"

namespace {

std::string Piece(size_t index, size_t size) {
  std::mt19937 random(static_cast<uint32_t>(index));
  std::string piece(size, ' ');
  for (char& c : piece) c = static_cast<char>('a' + random() % 6);
  return piece;
}

// Takes a number of bytes, then fails every write as a full disk would.
class TFillingStream : public TMemoryStream {
 public:
  explicit TFillingStream(int64_t room) : FRoom(room) {}
  int64_t Write(const void* buffer, int64_t count) override {
    if (Size() + count > FRoom) throw EWriteError("Stream write error: No space left on device");
    return TMemoryStream::Write(buffer, count);
  }

 private:
  int64_t FRoom;
};

TEST(PipelinedCompressor, GivesThePayloadOfTheWholeContent) {
  TMemoryStream inLine, pipelined;
  TPayloadCompressor reference(inLine, 1);
  server::TPipelinedCompressor compressor(pipelined, 1);
  for (size_t i = 0; i < 40; ++i) {
    std::string piece = Piece(i, 100000 + i);
    reference.Write(piece.data(), static_cast<int64_t>(piece.size()));
    compressor.Write(piece);
    EXPECT_TRUE(piece.empty());
  }
  reference.Finish();
  compressor.Finish();
  ASSERT_EQ(pipelined.Size(), inLine.Size());
  EXPECT_EQ(std::string_view(reinterpret_cast<const char*>(pipelined.Memory()), static_cast<size_t>(pipelined.Size())),
            std::string_view(reinterpret_cast<const char*>(inLine.Memory()), static_cast<size_t>(inLine.Size())));
}

TEST(PipelinedCompressor, ReportsAFailingDestinationToTheWriter) {
  TFillingStream destination(200000);
  server::TPipelinedCompressor compressor(destination, 0);  // stored, so the room runs out
  const auto writeAll = [&] {
    for (size_t i = 0; i < 100; ++i) {
      std::string piece = Piece(i, 100000);
      compressor.Write(piece);
    }
    compressor.Finish();
  };
  EXPECT_THROW(writeAll(), EWriteError);
}

TEST(PipelinedCompressor, StopsWhenLeftUnfinished) {
  TMemoryStream destination;
  {
    server::TPipelinedCompressor compressor(destination, 0);
    std::string piece = Piece(1, 500000);
    compressor.Write(piece);
  }
  // The piece in flight was still compressed before the thread was joined.
  EXPECT_GT(destination.Size(), 400000);  // stored blocks, less what zlib still held
}

}  // namespace
