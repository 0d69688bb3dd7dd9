#pragma once

// A text as the reader's byte source and a string as the output's sink, for tests that run lines
// through memory.

#include <algorithm>
#include <cstddef>
#include <limits>
#include <string>
#include <string_view>
#include <utility>

#include "lines/line_output.h"
#include "lines/line_reader.h"

namespace slimtag::testing {

// Gives the text, at most piece bytes a read.
class StringSource : public ByteSource {
 public:
  explicit StringSource(std::string text,
                        std::size_t piece = std::numeric_limits<std::size_t>::max())
      : text_(std::move(text)), piece_(piece) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    const std::size_t n = text_.copy(buffer, std::min(size, piece_), at_);
    at_ += n;
    return n;
  }

 private:
  std::string text_;
  std::size_t piece_;
  std::size_t at_ = 0;
};

class StringSink : public ByteSink {
 public:
  void Write(std::string_view bytes) override { text += bytes; }
  std::string text;
};

}  // namespace slimtag::testing
