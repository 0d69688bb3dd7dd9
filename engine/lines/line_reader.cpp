#include "line_reader.h"

#include <cstring>

namespace slimtag {

namespace {
constexpr std::string_view kEndCrLf = "\r\n";
constexpr std::string_view kEndCr = "\r";
constexpr std::string_view kEndLf = "\n";

// Where the last CR LF of text ends; 0 when it holds none.
std::size_t EndOfLastCrLf(const char* text, std::size_t size) {
  for (std::size_t end = size; end >= 2;) {
#if defined(__GLIBC__)
    const void* lf = ::memrchr(text + 1, '\n', end - 1);
    if (lf == nullptr) return 0;
    end = static_cast<std::size_t>(static_cast<const char*>(lf) - text) + 1;
#else
    if (text[end - 1] != '\n') {
      --end;
      continue;
    }
#endif
    if (text[end - 2] == '\r') return end;
    --end;
  }
  return 0;
}

// Where the lines of text end that a reader with lf_ends_lines hands over at once: after its first
// CR alone (one that a byte other than LF follows), where it has one, else after its last LF; 0
// when it holds neither. A CR alone ends what is handed over, as a line after it that the passes
// empty would join it and that line's LF into a CR LF.
std::size_t EndOfWholeLines(const char* text, std::size_t size) {
  for (const char* at = text; at < text + size;) {
    const void* cr = std::memchr(at, '\r', static_cast<std::size_t>(text + size - at));
    if (cr == nullptr) break;
    const auto after = static_cast<std::size_t>(static_cast<const char*>(cr) - text) + 1;
    if (after == size) break;  // whether a LF follows is not known yet
    if (text[after] != '\n') return after;
    at = text + after + 1;
  }
#if defined(__GLIBC__)
  const void* lf = ::memrchr(text, '\n', size);
  return lf == nullptr ? 0 : static_cast<std::size_t>(static_cast<const char*>(lf) - text) + 1;
#else
  for (std::size_t end = size; end > 0; --end) {
    if (text[end - 1] == '\n') return end;
  }
  return 0;
#endif
}

// Where the next byte of the block is, found once and used until passed, so that a block of many
// short lines is searched once for each byte; the block's end when there is none.
const char* Next(char byte, const char* start, std::size_t size, const char*& cached) {
  if (cached == nullptr || cached < start) {
    const void* at = std::memchr(start, byte, size);
    cached = at ? static_cast<const char*>(at) : start + size;
  }
  return cached;
}
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
  const char* cr = Next('\r', start, size, next_cr_);
  if (lf_ends_lines_) {
    const char* lf = Next('\n', start, size, next_lf_);
    if (lf < cr) cr = lf;
  }
  return cr == end ? nullptr : cr;
}

std::string_view LineReader::ReadWholeLines() {
  if (pos_ == end_ && !Fill()) return {};
  const char* start = block_ + pos_;
  const std::size_t size = end_ - pos_;
  if (lf_ends_lines_) {
    const std::size_t whole = EndOfWholeLines(start, size);
    pos_ += whole;
    if (whole != 0) {
      terminator_ = start[whole - 1] == '\r'                 ? kEndCr
                    : whole >= 2 && start[whole - 2] == '\r' ? kEndCrLf
                                                             : kEndLf;
    }
    return std::string_view(start, whole);
  }
  // A block without a CR (a page that ends its lines with LF alone) is one line as far as it
  // goes; the search is kept for ReadLine.
  if (Next('\r', start, size, next_cr_) == start + size) return {};
  const std::size_t whole = EndOfLastCrLf(start, size);
  pos_ += whole;
  terminator_ = kEndCrLf;
  return std::string_view(start, whole);
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
