#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace slimtag {

// Where the reader takes its bytes from; Read returns 0 only at the end.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::size_t Read(char* buffer, std::size_t size) = 0;
};

// Splits a stream into lines. A line ends at a carriage return or at a carriage return followed by
// a line feed; the terminator is not part of the line. A line feed alone stays inside the line. A
// last line without terminator is read like any other; an empty stream has no lines. The stream
// is read in large blocks, so only the current line is held, however long it is.
class LineReader {
 public:
  static constexpr std::size_t kBlockSize = std::size_t(1) << 20;

  explicit LineReader(ByteSource& source, std::size_t block_size = kBlockSize);

  // Reads the next line into line; false at the end of the stream.
  bool ReadLine(std::string& line);

 private:
  bool Fill();

  ByteSource& source_;
  // Not zeroed: a page of a few kilobytes touches only the start of it.
  std::unique_ptr<char[]> block_;
  std::size_t block_size_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool eof_ = false;
  bool skip_lf_ = false;  // the last line ended with a CR at the very end of a block
};

}  // namespace slimtag
