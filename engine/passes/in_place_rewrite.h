#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace slimtag {

// Rewrites a text in place, front to back, for passes whose edits never make it longer: what is
// written never outruns what is read. The text kept between two edits moves down as the edits
// are met, and the rest of it once at the end.
class InPlaceRewrite {
 public:
  explicit InPlaceRewrite(std::string& text) : text_(text), data_(text.data()) {}

  // Where reading has got to.
  std::size_t Read() const { return in_; }
  // Keeps the text from where reading has got to up to to.
  void KeepUpTo(std::size_t to) {
    if (out_ != in_) std::memmove(data_ + out_, data_ + in_, to - in_);
    out_ += to - in_;
    in_ = to;
  }
  // Writes bytes, which must not reach past what has been read.
  void Put(std::string_view bytes) {
    std::memcpy(data_ + out_, bytes.data(), bytes.size());
    out_ += bytes.size();
  }
  void Put(char byte) { data_[out_++] = byte; }
  // Leaves out the text up to from.
  void SkipTo(std::size_t from) { in_ = from; }
  // Keeps the rest; the text is then as long as what was written and kept.
  void Finish() {
    if (out_ == in_) return;  // nothing was left out
    const std::size_t n = text_.size();
    std::memmove(data_ + out_, data_ + in_, n - in_);
    text_.resize(out_ + n - in_);
  }

 private:
  std::string& text_;
  char* data_;
  std::size_t in_ = 0;   // text[0, in_) has been read
  std::size_t out_ = 0;  // and its result is data_[0, out_)
};

}  // namespace slimtag
