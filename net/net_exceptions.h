// The exceptions of the network layer. Callers tell socket failures (ENetSocketError, carrying
// the Windows socket error number) apart from unexpected server replies (ENetProtocolReplyError,
// carrying the reply code); the message of each is the text shown and logged.
#pragma once

#include <cstdint>
#include <string>

#include "common/exception.h"

namespace zarn {

class ENetException : public Exception {
 public:
  using Exception::Exception;
};

// Groups of related failures.
class ENetStackError : public ENetException {
 public:
  using ENetException::ENetException;
};
class ENetSocketHandleError : public ENetException {
 public:
  using ENetException::ENetException;
};
class ENetTCPConnectionError : public ENetException {
 public:
  using ENetException::ENetException;
};
// A failure that callers treat as an ordinary end (the peer closed the connection).
class ENetSilentException : public ENetException {
 public:
  using ENetException::ENetException;
};

class ENetStackCanNotLoadWinsock : public ENetException {
 public:
  explicit ENetStackCanNotLoadWinsock(const std::string& library)
      : ENetException(library + " could not be loaded.") {}
};

class ENetStackInitializationFailed : public ENetStackError {
 public:
  ENetStackInitializationFailed() : ENetStackError("Winsock Initialization Error.") {}
};

class ENetStackSetSizeExceeded : public ENetStackError {
 public:
  ENetStackSetSizeExceeded() : ENetStackError("Set Size Exceeded.") {}
};

class ENetAlreadyConnected : public ENetException {
 public:
  ENetAlreadyConnected() : ENetException("Already connected.") {}
};

class ENetInvalidSocket : public ENetException {
 public:
  ENetInvalidSocket() : ENetException("Cannot allocate socket.") {}
};

class ENetCouldNotBindSocket : public ENetSocketHandleError {
 public:
  ENetCouldNotBindSocket()
      : ENetSocketHandleError("Could not bind socket. Address and port are already in use.") {}
};

// A failed socket call: "Socket Error # <number>\r\n<text of the number>".
class ENetSocketError : public ENetException {
 public:
  explicit ENetSocketError(int error_code);
  int ErrorCode() const noexcept { return error_code_; }

 private:
  int error_code_;
};

class ENetConnClosedGracefully : public ENetSilentException {
 public:
  ENetConnClosedGracefully() : ENetSilentException("Connection Closed Gracefully.") {}
};

// A reply whose code the step does not accept; the message is the reply's last line.
class ENetProtocolReplyError : public ENetException {
 public:
  ENetProtocolReplyError(std::int16_t reply_code, const std::string& reply_text)
      : ENetException(reply_text), reply_code_(reply_code) {}
  std::int16_t ReplyCode() const noexcept { return reply_code_; }

 private:
  std::int16_t reply_code_;
};

class ENetNoDataToRead : public ENetTCPConnectionError {
 public:
  ENetNoDataToRead() : ENetTCPConnectionError("No data to read.") {}
};

class ENetNotEnoughDataInBuffer : public ENetTCPConnectionError {
 public:
  ENetNotEnoughDataInBuffer() : ENetTCPConnectionError("Not enough data in buffer.") {}
};

// A reply line or a listing beyond the bounds that keep the client's memory small. The
// connection that carried it is closed, since the rest of the stream can no longer be trusted.
class ENetLimitExceeded : public ENetTCPConnectionError {
 public:
  using ENetTCPConnectionError::ENetTCPConnectionError;
};

// The server's size of a file differs from the size the caller expects.
class ENetFTPSizeMismatch : public ENetException {
 public:
  ENetFTPSizeMismatch(const std::string& name, std::int64_t remote, std::int64_t expected)
      : ENetException("Size of " + name + " on the server is " + std::to_string(remote) +
                      " bytes, not " + std::to_string(expected) + ".") {}
};

class ENetFTPFileAlreadyExists : public ENetException {
 public:
  ENetFTPFileAlreadyExists() : ENetException("Destination file already exists.") {}
};

// The local file of a download cannot be created: "Cannot create file <path>".
class EFCreateError : public Exception {
 public:
  explicit EFCreateError(const std::string& path) : Exception("Cannot create file " + path) {}
};

// An existing file that cannot be opened: "Cannot open file <path>".
class EFOpenError : public Exception {
 public:
  explicit EFOpenError(const std::string& path) : Exception("Cannot open file " + path) {}
};

class EWriteError : public Exception {
 public:
  EWriteError() : Exception("Stream write error") {}
};

class EReadError : public Exception {
 public:
  EReadError() : Exception("Stream read error") {}
};

}  // namespace zarn
