// The exception tree of the client, after the desktop class library's: every error the client
// raises is an Exception carrying a message in UTF-8. The transport reports results instead;
// the connection object turns them into these at one spot.
#pragma once

#include <exception>
#include <string>

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : Message(std::move(message)) {}
  const char* what() const noexcept override { return Message.c_str(); }

  std::string Message;
};

// The silent abort: unwinds the current action; the application's error display swallows it.
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
};

// Raised by Abort(): cancels the current action without a message.
[[noreturn]] inline void Abort() { throw EAbort(); }

// Text-to-value and formatting failures ("'abc' is not a valid integer value").
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

class EStreamError : public Exception {
 public:
  using Exception::Exception;
};

class EFilerError : public EStreamError {
 public:
  using EStreamError::EStreamError;
};

// A read that could not deliver the bytes asked for.
class EReadError : public EFilerError {
 public:
  EReadError() : EFilerError("Stream read error") {}
  using EFilerError::EFilerError;
};

class EWriteError : public EFilerError {
 public:
  EWriteError() : EFilerError("Stream write error") {}
  using EFilerError::EFilerError;
};

// A file that could not be opened or created ("Cannot open file \"%s\". reason").
class EFOpenError : public EFilerError {
 public:
  using EFilerError::EFilerError;
};

class EFCreateError : public EFilerError {
 public:
  using EFilerError::EFilerError;
};

// The class library's component errors ("''%s'' is not a valid component name").
class EComponentError : public Exception {
public:
  using Exception::Exception;
};

class EOutOfMemory : public Exception {
 public:
  EOutOfMemory() : Exception("Out of memory") {}
};
