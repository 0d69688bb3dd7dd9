#include "line_reader.h"

#include <cstring>

namespace slimtag {

LineReader::LineReader(ByteSource& source, std::size_t block_size)
    : source_(source),
      block_(new char[block_size == 0 ? 1 : block_size]),
      block_size_(block_size == 0 ? 1 : block_size) {}

bool LineReader::Fill() {
  if (eof_) return false;
  pos_ = 0;
  end_ = source_.Read(block_.get(), block_size_);
  if (end_ == 0) eof_ = true;
  return end_ != 0;
}

bool LineReader::ReadLine(std::string& line) {
  line.clear();
  if (pos_ == end_ && !Fill()) return false;
  if (skip_lf_) {
    // A CR LF split between two blocks: the LF belongs to the line before.
    skip_lf_ = false;
    if (block_[pos_] == '\n') {
      ++pos_;
      if (pos_ == end_ && !Fill()) return false;
    }
  }
  for (;;) {
    const char* start = block_.get() + pos_;
    const void* cr = std::memchr(start, '\r', end_ - pos_);
    if (cr == nullptr) {
      line.append(start, end_ - pos_);
      pos_ = end_;
      if (!Fill()) return true;  // last line without terminator
      continue;
    }
    const auto at = static_cast<std::size_t>(static_cast<const char*>(cr) - block_.get());
    line.append(start, at - pos_);
    pos_ = at + 1;
    if (pos_ < end_) {
      if (block_[pos_] == '\n') ++pos_;
    } else {
      skip_lf_ = true;
    }
    return true;
  }
}

}  // namespace slimtag
