#include "line_reader.h"

#include <cstring>

namespace slimtag {

namespace {
constexpr std::string_view kEndCrLf = "\r\n";
constexpr std::string_view kEndCr = "\r";
constexpr std::string_view kEndLf = "\n";
}  // namespace

LineReader::LineReader(ByteSource& source, std::size_t block_size, bool lf_ends_lines)
    : source_(source),
      owned_(new char[block_size == 0 ? 1 : block_size]),
      block_(owned_.get()),
      block_size_(block_size == 0 ? 1 : block_size),
      lf_ends_lines_(lf_ends_lines) {}

LineReader::LineReader(ByteSource& source, char* block, std::size_t block_size, bool lf_ends_lines)
    : source_(source), block_(block), block_size_(block_size), lf_ends_lines_(lf_ends_lines) {}

const char* LineReader::FindEnd(const char* start, std::size_t size) {
  const char* end = start + size;
  // Where the next CR and LF of the block are, found once and used until passed, so that a block
  // of many short lines is searched once for each byte.
  const auto next = [&](char byte, const char*& cached) {
    if (cached == nullptr || cached < start) {
      const void* at = std::memchr(start, byte, size);
      cached = at ? static_cast<const char*>(at) : end;
    }
    return cached;
  };
  const char* cr = next('\r', next_cr_);
  if (lf_ends_lines_) {
    const char* lf = next('\n', next_lf_);
    if (lf < cr) cr = lf;
  }
  return cr == end ? nullptr : cr;
}

bool LineReader::Fill() {
  if (eof_) return false;
  pos_ = 0;
  next_cr_ = next_lf_ = nullptr;
  end_ = source_.Read(block_, block_size_);
  if (end_ == 0) eof_ = true;
  return end_ != 0;
}

bool LineReader::ReadLine(std::string& line) {
  line.clear();
  if (pos_ == end_ && !Fill()) return false;
  for (;;) {
    const char* start = block_ + pos_;
    const char* found = FindEnd(start, end_ - pos_);
    if (found == nullptr) {
      line.append(start, end_ - pos_);
      pos_ = end_;
      if (!Fill()) {
        terminator_ = {};
        return true;  // last line without terminator
      }
      continue;
    }
    const auto at = static_cast<std::size_t>(found - block_);
    line.append(start, at - pos_);
    pos_ = at + 1;
    if (*found == '\n') {
      terminator_ = kEndLf;
      return true;
    }
    terminator_ = kEndCrLf;
    if (pos_ < end_) {
      if (block_[pos_] == '\n') {
        ++pos_;
      } else {
        terminator_ = kEndCr;
      }
    } else if (!Fill()) {
      terminator_ = kEndCr;  // the stream ends with this CR
    } else if (block_[pos_] == '\n') {
      ++pos_;
    } else {
      terminator_ = kEndCr;
    }
    return true;
  }
}

}  // namespace slimtag
