#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace slimtag {

// Where the reader takes its bytes from; Read returns 0 only at the end.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual std::size_t Read(char* buffer, std::size_t size) = 0;
};

// Splits a stream into lines. A line ends at a carriage return or at a carriage return followed by
// a line feed; the terminator is not part of the line. A line feed alone stays inside the line,
// unless lf_ends_lines is set: then it ends a line too, as pages written on Unix have it. A last
// line without terminator is read like any other; an empty stream has no lines. The stream is
// read in large blocks, so only the current line is held, however long it is.
class LineReader {
 public:
  static constexpr std::size_t kBlockSize = std::size_t(1) << 20;

  explicit LineReader(ByteSource& source, std::size_t block_size = kBlockSize,
                      bool lf_ends_lines = false);
  // Reads through the caller's block, which a run keeps from page to page.
  LineReader(ByteSource& source, char* block, std::size_t block_size, bool lf_ends_lines);

  // The caller's block holds the stream's first size bytes already, read from source; reading
  // goes on after them. Before the first read.
  void Preloaded(std::size_t size) { end_ = size; }

  // Reads the next line into line; false at the end of the stream.
  bool ReadLine(std::string& line);
  // The next lines at once where the block holds them whole, terminators included. Under the CR LF
  // rule (lf_ends_lines unset): up to the last that ends with CR LF in the block (some may end
  // with a CR alone). With lf_ends_lines: up to the last LF in the block, or to its first CR
  // alone where it holds one. Empty where the block holds no such end (the next
  // line runs past it, or a page under the CR LF rule ends its lines with LF alone; ReadLine reads
  // it), or at the end of the stream. The view holds until the next read. A page of many short
  // lines thus costs a copy of each block, not a call per line.
  std::string_view ReadWholeLines();
  // The terminator of the line read last: "\r\n", "\r", "\n", or empty for a last line without.
  std::string_view Terminator() const { return terminator_; }

 private:
  bool Fill();
  const char* FindEnd(const char* start, std::size_t size);

  ByteSource& source_;
  // Not zeroed: a page of a few kilobytes touches only the start of it.
  std::unique_ptr<char[]> owned_;
  char* block_;
  std::size_t block_size_;
  bool lf_ends_lines_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool eof_ = false;
  const char* next_cr_ = nullptr;  // in the block, or its end when there is none
  const char* next_lf_ = nullptr;
  std::string_view terminator_;
};

}  // namespace slimtag
