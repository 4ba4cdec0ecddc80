#pragma once
// The metadata reader's exceptions. Messages are kept as UTF-16 (the program's text);
// what() gives them as UTF-8.
#include <exception>
#include <string>

namespace tess {

// Root of everything the reader raises on its own, so that callers can tell the reader's
// refusals from faults of any other kind.
class EReaderException : public std::exception {
 public:
  explicit EReaderException(std::u16string message);
  const std::u16string& Message() const { return message_; }
  const char* what() const noexcept override { return utf8_.c_str(); }

 private:
  std::u16string message_;
  std::string utf8_;
};

// Stream failures.
class EStreamError : public EReaderException {
 public:
  using EReaderException::EReaderException;
};
// Fewer bytes arrived than an exact read asked for.
class EReadError : public EStreamError {
 public:
  EReadError();
};
// A file could not be opened for reading.
class EFOpenError : public EStreamError {
 public:
  EFOpenError(const std::u16string& fileName, const std::u16string& reason);
};

// The reader's own refusals of a container it cannot walk.
class EVexlExifException : public EReaderException {
 public:
  using EReaderException::EReaderException;
};
class EInvalidJPEGHeader : public EVexlExifException {
 public:
  EInvalidJPEGHeader();
};
class EInvalidPSDHeader : public EVexlExifException {
 public:
  EInvalidPSDHeader();
};
class EInvalidTiffData : public EVexlExifException {
 public:
  EInvalidTiffData();
};

}  // namespace tess
