#include "std_streams.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "batch_arguments.h"
#include "run/messages.h"

namespace slimtag {

namespace {
std::string NameOf(StreamError::Stream which) {
  return which == StreamError::Stream::kStandardInput ? "стандартный ввод" : "стандартный вывод";
}
}  // namespace

StreamError::StreamError(Stream stream_which, int error_number)
    : std::runtime_error(NameOf(stream_which) + ": " + ReasonText(error_number)),
      which(stream_which),
      stream(NameOf(stream_which)),
      error(error_number) {}

std::size_t FdSource::Read(char* buffer, std::size_t size) {
  while (true) {
    const ssize_t n = ::read(fd_, buffer, size);
    if (n >= 0) {
      bytes_ += std::uint64_t(n);
      return std::size_t(n);
    }
    if (errno != EINTR) throw StreamError(StreamError::Stream::kStandardInput, errno);
  }
}

void FdSink::Write(std::string_view bytes) {
  // What is held stays under a block; a large write tops it up to one and goes out as it is, so
  // that a block of whole lines is not copied again.
  if (held_.capacity() < kBlockSize) held_.reserve(kBlockSize);
  if (held_.size() + bytes.size() < kBlockSize) {
    held_.append(bytes);
    return;
  }
  if (!held_.empty()) {
    const std::size_t top_up = kBlockSize - held_.size();
    held_.append(bytes.substr(0, top_up));
    bytes.remove_prefix(top_up);
    Flush();
  }
  if (bytes.size() >= kBlockSize) {
    WriteAll(bytes);
  } else {
    held_.append(bytes);
  }
}

void FdSink::Flush() {
  WriteAll(held_);
  held_.clear();
}

void FdSink::WriteAll(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      throw StreamError(StreamError::Stream::kStandardOutput, errno);
    }
    bytes_ += std::uint64_t(n);
    bytes.remove_prefix(std::size_t(n));
  }
}

std::size_t StringSource::Read(char* buffer, std::size_t size) {
  const std::size_t n = std::min(size, text_.size());
  std::memcpy(buffer, text_.data(), n);
  text_.remove_prefix(n);
  return n;
}

namespace {

// errno of the first failure in flushing and closing a stdio stream, 0 when all went well.
int FlushAndClose(std::FILE* stream, std::ostream& cxx_stream) {
  errno = 0;
  cxx_stream.flush();
  const bool cxx_failed = !cxx_stream;
  int error = cxx_failed ? (errno != 0 ? errno : EIO) : 0;
  errno = 0;
  if (std::fflush(stream) != 0 && error == 0) error = errno != 0 ? errno : EIO;
  if (std::ferror(stream) && error == 0) error = errno != 0 ? errno : EIO;
  const int fd = ::fileno(stream);
  // A descriptor closed before we started has nothing to close; anything else that fails to
  // close (NFS reports a lost write only here) is a write error.
  if (fd >= 0 && ::close(fd) != 0 && errno != EBADF && error == 0) error = errno;
  return error;
}

}  // namespace

int CloseStandardStreams(int code) {
  const int out_error = FlushAndClose(stdout, std::cout);
  if (out_error != 0) {
    // A reader that went away (`slimtag-batch … | head -1`) needs no word, as with sed: the
    // status alone says that not everything was written.
    if (out_error != EPIPE) {
      std::cerr << "slimtag-batch: не удалось записать стандартный вывод: " << ReasonText(out_error)
                << "\n";
    }
    code = kExitFailed;
  }
  if (FlushAndClose(stderr, std::cerr) != 0) code = kExitFailed;
  return code;
}

}  // namespace slimtag
