// Byte streams after the desktop class library: TStream is the interface, TMemoryStream a
// growable buffer owned by the stream, TFileStream a file opened for the stream's lifetime.
// TMappedFile maps a whole file for reading.
// Sizes and positions are 64-bit byte counts. A stream is used by one thread at a time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
 public:
  virtual ~TStream() = default;

  // Reads up to count bytes; answers how many were read (0 at the end).
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Writes up to count bytes; answers how many were written.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Moves the position; answers the new position.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

  virtual int64_t Size();
  virtual void SetSize(int64_t newSize);
  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }

  // All or nothing: a short read raises EReadError, a short write EWriteError.
  void ReadBuffer(void* buffer, int64_t count);
  void WriteBuffer(const void* buffer, int64_t count);
  // Copies count bytes from source's position (the whole of source from 0 when count is 0).
  int64_t CopyFrom(TStream& source, int64_t count);
};

class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  ~TMemoryStream() override;
  TMemoryStream(const TMemoryStream&) = delete;
  TMemoryStream& operator=(const TMemoryStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return FSize; }
  // Growing fills the new bytes with zeros; shrinking below the position moves the position
  // to the new end.
  void SetSize(int64_t newSize) override;
  // Like SetSize, but bytes that growing adds are left for the caller to overwrite.
  void SetSizeForOverwrite(int64_t newSize);

  uint8_t* Memory() { return FMemory; }
  const uint8_t* Memory() const { return FMemory; }
  // Empties the stream and releases its memory.
  void Clear();
  // Makes room for at least capacity bytes without changing size or content.
  void Reserve(int64_t capacity);
  // Exchanges content, size and position with another memory stream, without copying.
  void Swap(TMemoryStream& other) noexcept;

  void SaveToStream(TStream& destination) const;
  void LoadFromStream(TStream& source);
  void SaveToFile(const std::string& fileName) const;
  void LoadFromFile(const std::string& fileName);

 private:
  uint8_t* FMemory = nullptr;
  int64_t FSize = 0;
  int64_t FCapacity = 0;
  int64_t FPosition = 0;
};

enum TFileMode : unsigned {
  fmOpenRead = 0x0000,
  fmOpenWrite = 0x0001,
  fmOpenReadWrite = 0x0002,
  fmCreate = 0xFF00,
};

// A file stream; the file is closed when the stream is destroyed. Failing to open raises
// EFOpenError, failing to create EFCreateError, both naming the file and the system's reason.
class TFileStream : public TStream {
 public:
  TFileStream(const std::string& fileName, unsigned mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t newSize) override;
  const std::string& FileName() const { return FFileName; }

 private:
  std::string FFileName;
  int FHandle = -1;
};

// A whole file mapped read-only for the object's lifetime, without copying it into memory.
// Failing to open raises EFOpenError as TFileStream does.
class TMappedFile {
 public:
  explicit TMappedFile(const std::string& fileName);
  ~TMappedFile();
  TMappedFile(const TMappedFile&) = delete;
  TMappedFile& operator=(const TMappedFile&) = delete;

  std::string_view Bytes() const { return {static_cast<const char*>(FData), FSize}; }

 private:
  void* FData = nullptr;
  size_t FSize = 0;
};
