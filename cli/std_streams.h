#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "lines/line_output.h"
#include "lines/line_reader.h"

namespace slimtag {

// A read or write on a standard stream that failed; error is errno.
struct StreamError : std::runtime_error {
  enum class Stream { kStandardInput, kStandardOutput };
  StreamError(Stream which, int error);
  Stream which;
  std::string stream;  // as messages name it: "стандартный ввод", "стандартный вывод"
  int error;
};

// Reads a file descriptor (standard input) to its end; counts the bytes read.
class FdSource : public ByteSource {
 public:
  explicit FdSource(int fd) : fd_(fd) {}
  std::size_t Read(char* buffer, std::size_t size) override;
  std::uint64_t BytesRead() const { return bytes_; }

 private:
  int fd_;
  std::uint64_t bytes_ = 0;
};

// Writes to a file descriptor (standard output) in blocks of at least kBlockSize, the last one
// at Flush: a page of short lines costs a write per block, not per line, and a full disk or a
// closed pipe still stops the filter at the first failed write. Counts the bytes written.
class FdSink : public ByteSink {
 public:
  static constexpr std::size_t kBlockSize = std::size_t(64) << 10;

  explicit FdSink(int fd) : fd_(fd) {}
  void Write(std::string_view bytes) override;
  // Writes what is held; the caller's last call, at the end of the output.
  void Flush();
  std::uint64_t BytesWritten() const { return bytes_; }

 private:
  void WriteAll(std::string_view bytes);

  int fd_;
  std::string held_;
  std::uint64_t bytes_ = 0;
};

// Reads from a string held in memory.
class StringSource : public ByteSource {
 public:
  explicit StringSource(std::string_view text) : text_(text) {}
  std::size_t Read(char* buffer, std::size_t size) override;

 private:
  std::string_view text_;
};

// Flushes and closes standard output, then standard error, at the end of the program. A write
// that failed on either (a full disk, a closed pipe) turns code into kExitFailed, with a message on
// standard error while that can still be written. Returns the exit code.
int CloseStandardStreams(int code);

}  // namespace slimtag
