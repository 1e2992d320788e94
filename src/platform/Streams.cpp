#include "platform/Streams.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <sys/mman.h>
#include <sys/stat.h>

#include "platform/Exceptions.h"

namespace {

std::string SystemReason(int error) { return std::strerror(error); }

}  // namespace

// ---- TStream ----

int64_t TStream::Size() {
  const int64_t position = Seek(0, TSeekOrigin::soCurrent);
  const int64_t size = Seek(0, TSeekOrigin::soEnd);
  Seek(position, TSeekOrigin::soBeginning);
  return size;
}

void TStream::SetSize(int64_t) { throw EStreamError("Stream size cannot be changed"); }

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError();
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError();
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  constexpr int64_t kChunk = 64 * 1024;
  auto buffer = std::make_unique_for_overwrite<uint8_t[]>(kChunk);
  const int64_t total = count;
  while (count > 0) {
    const int64_t n = std::min(count, kChunk);
    source.ReadBuffer(buffer.get(), n);
    WriteBuffer(buffer.get(), n);
    count -= n;
  }
  return total;
}

// ---- TMemoryStream ----

TMemoryStream::~TMemoryStream() { std::free(FMemory); }

void TMemoryStream::Reserve(int64_t capacity) {
  if (capacity <= FCapacity) return;
  void* grown = std::realloc(FMemory, static_cast<size_t>(capacity));
  if (grown == nullptr) throw EOutOfMemory();
  FMemory = static_cast<uint8_t*>(grown);
  FCapacity = capacity;
}

void TMemoryStream::SetSize(int64_t newSize) {
  const int64_t oldSize = FSize;
  SetSizeForOverwrite(newSize);
  if (newSize > oldSize) std::memset(FMemory + oldSize, 0, static_cast<size_t>(newSize - oldSize));
}

void TMemoryStream::SetSizeForOverwrite(int64_t newSize) {
  if (newSize < 0) throw EStreamError("Invalid stream size");
  if (newSize > FCapacity) Reserve(newSize);
  FSize = newSize;
  FPosition = std::min(FPosition, FSize);
}

void TMemoryStream::Clear() {
  std::free(FMemory);
  FMemory = nullptr;
  FSize = FCapacity = FPosition = 0;
}

void TMemoryStream::Swap(TMemoryStream& other) noexcept {
  std::swap(FMemory, other.FMemory);
  std::swap(FSize, other.FSize);
  std::swap(FCapacity, other.FCapacity);
  std::swap(FPosition, other.FPosition);
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || FPosition >= FSize) return 0;
  const int64_t n = std::min(count, FSize - FPosition);
  std::memcpy(buffer, FMemory + FPosition, static_cast<size_t>(n));
  FPosition += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  const int64_t end = FPosition + count;
  if (end > FCapacity) Reserve(std::max(end, FCapacity + FCapacity / 2));
  // A write past the end leaves no undefined gap behind it.
  if (FPosition > FSize) std::memset(FMemory + FSize, 0, static_cast<size_t>(FPosition - FSize));
  std::memcpy(FMemory + FPosition, buffer, static_cast<size_t>(count));
  FPosition = end;
  FSize = std::max(FSize, end);
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t target = offset;
  if (origin == TSeekOrigin::soCurrent) target += FPosition;
  if (origin == TSeekOrigin::soEnd) target += FSize;
  if (target < 0) throw EStreamError("Invalid stream position");
  FPosition = target;
  return FPosition;
}

void TMemoryStream::SaveToStream(TStream& destination) const { destination.WriteBuffer(FMemory, FSize); }

void TMemoryStream::LoadFromStream(TStream& source) {
  source.SetPosition(0);
  const int64_t count = source.Size();
  TMemoryStream loaded;
  loaded.SetSize(count);
  source.ReadBuffer(loaded.FMemory, count);
  Swap(loaded);
  FPosition = 0;
}

void TMemoryStream::SaveToFile(const std::string& fileName) const {
  TFileStream file(fileName, fmCreate);
  SaveToStream(file);
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
  TFileStream file(fileName, fmOpenRead);
  LoadFromStream(file);
}

// ---- TFileStream ----

TFileStream::TFileStream(const std::string& fileName, unsigned mode) : FFileName(fileName) {
  if (mode == fmCreate) {
    FHandle = ::open(fileName.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (FHandle < 0) throw EFCreateError("Cannot create file \"" + fileName + "\". " + SystemReason(errno));
    return;
  }
  const int access = (mode & 3) == fmOpenWrite ? O_WRONLY : (mode & 3) == fmOpenReadWrite ? O_RDWR : O_RDONLY;
  FHandle = ::open(fileName.c_str(), access | O_CLOEXEC);
  if (FHandle < 0) throw EFOpenError("Cannot open file \"" + fileName + "\". " + SystemReason(errno));
}

TFileStream::~TFileStream() {
  if (FHandle >= 0) ::close(FHandle);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  int64_t done = 0;
  auto* bytes = static_cast<uint8_t*>(buffer);
  while (done < count) {
    const ssize_t n = ::read(FHandle, bytes + done, static_cast<size_t>(count - done));
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      throw EReadError("Stream read error: " + SystemReason(errno) + " (" + FFileName + ")");
    }
    done += n;
  }
  return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  int64_t done = 0;
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  while (done < count) {
    const ssize_t n = ::write(FHandle, bytes + done, static_cast<size_t>(count - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      // A full disk or a revoked file must not pass as a short write that nobody reads.
      throw EWriteError("Stream write error: " + SystemReason(errno) + " (" + FFileName + ")");
    }
    done += n;
  }
  return done;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  const int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                     : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                        : SEEK_END;
  const off_t result = ::lseek(FHandle, offset, whence);
  if (result < 0) throw EStreamError("Invalid stream position (" + FFileName + ")");
  return result;
}

void TFileStream::SetSize(int64_t newSize) {
  if (::ftruncate(FHandle, newSize) != 0)
    throw EStreamError("Stream size cannot be changed: " + SystemReason(errno) + " (" + FFileName + ")");
  if (Position() > newSize) SetPosition(newSize);
}

// ---- TMappedFile ----

TMappedFile::TMappedFile(const std::string& fileName) {
  const int handle = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (handle < 0) throw EFOpenError("Cannot open file \"" + fileName + "\". " + SystemReason(errno));
  struct stat status {};
  if (::fstat(handle, &status) != 0) {
    const int error = errno;
    ::close(handle);
    throw EFOpenError("Cannot open file \"" + fileName + "\". " + SystemReason(error));
  }
  FSize = static_cast<size_t>(status.st_size);
  if (FSize > 0) {
    FData = ::mmap(nullptr, FSize, PROT_READ, MAP_PRIVATE | MAP_POPULATE, handle, 0);
    if (FData == MAP_FAILED) {
      const int error = errno;
      FData = nullptr;
      ::close(handle);
      throw EReadError("Stream read error: " + SystemReason(error) + " (" + fileName + ")");
    }
  }
  ::close(handle);
}

TMappedFile::~TMappedFile() {
  if (FData != nullptr) ::munmap(FData, FSize);
}
