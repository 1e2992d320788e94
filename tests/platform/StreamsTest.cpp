#include "platform/Streams.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/Exceptions.h"

namespace {

std::string Content(TMemoryStream& stream) {
  return std::string(reinterpret_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
}

TEST(TMemoryStream, ReadsWritesAndSeeks) {
  TMemoryStream stream;
  EXPECT_EQ(stream.Write("hello", 5), 5);
  EXPECT_EQ(stream.Position(), 5);
  stream.SetPosition(1);
  stream.WriteBuffer("EL", 2);
  EXPECT_EQ(Content(stream), "hELlo");

  char buffer[8] = {};
  stream.SetPosition(3);
  EXPECT_EQ(stream.Read(buffer, 8), 2);  // short at the end
  EXPECT_EQ(std::string(buffer, 2), "lo");
  EXPECT_EQ(stream.Read(buffer, 8), 0);
  stream.SetPosition(3);
  EXPECT_THROW(stream.ReadBuffer(buffer, 3), EReadError);

  // Writing past the end leaves zeros in the gap, never stale bytes.
  stream.SetPosition(7);
  stream.WriteBuffer("!", 1);
  EXPECT_EQ(Content(stream), std::string("hELlo\0\0!", 8));
  EXPECT_THROW(stream.Seek(-1, TSeekOrigin::soBeginning), EStreamError);
  EXPECT_EQ(stream.Seek(-2, TSeekOrigin::soEnd), 6);
}

TEST(TMemoryStream, SetSizeClearAndSwap) {
  TMemoryStream stream;
  stream.WriteBuffer("abcdef", 6);
  stream.SetSize(3);
  EXPECT_EQ(stream.Position(), 3);  // moved back to the new end
  stream.SetSize(5);
  EXPECT_EQ(Content(stream), std::string("abc\0\0", 5));

  TMemoryStream other;
  other.WriteBuffer("xy", 2);
  other.SetPosition(1);
  stream.Swap(other);
  EXPECT_EQ(Content(stream), "xy");
  EXPECT_EQ(stream.Position(), 1);
  EXPECT_EQ(Content(other), std::string("abc\0\0", 5));

  stream.Clear();
  EXPECT_EQ(stream.Size(), 0);
  EXPECT_EQ(stream.Position(), 0);
  EXPECT_EQ(stream.Memory(), nullptr);
}

TEST(TMemoryStream, SavesAndLoadsFiles) {
  const auto path = std::filesystem::temp_directory_path() / ("zz_stream_" + std::to_string(::getpid()));
  TMemoryStream written;
  written.WriteBuffer("\0binary\xff", 8);
  written.SaveToFile(path.string());

  TMemoryStream read;
  read.WriteBuffer("old", 3);
  read.LoadFromFile(path.string());
  EXPECT_EQ(Content(read), std::string("\0binary\xff", 8));
  EXPECT_EQ(read.Position(), 0);
  std::filesystem::remove(path);

  try {
    read.LoadFromFile(path.string());
    FAIL() << "loaded a missing file";
  } catch (const EFOpenError& e) {
    EXPECT_NE(e.Message.find(path.string()), std::string::npos) << e.Message;
  }
  EXPECT_EQ(Content(read), std::string("\0binary\xff", 8));  // a failed load keeps the content
  EXPECT_THROW(written.SaveToFile("/nonexistent-folder/x.bin"), EFCreateError);
}

TEST(TFileStream, ReportsAFullDiskAsAWriteError) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  TFileStream full("/dev/full", fmOpenWrite);
  try {
    full.WriteBuffer("x", 1);
    FAIL() << "a write to a full device passed";
  } catch (const EWriteError& e) {
    EXPECT_NE(e.Message.find("No space left"), std::string::npos) << e.Message;
  }
}

}  // namespace
