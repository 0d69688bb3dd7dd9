#include "page_survey.h"

#include <algorithm>
#include <cstring>

namespace slimtag {

void PageSurvey::FeedText(std::string_view text) {
  if (nul_ || text.empty()) return;
  nul_ = std::memchr(text.data(), 0, text.size()) != nullptr;
  if (line_ends_ == LineEndRule::kByPage) crlf_.Feed(text);
  if (utf16_) return;  // the mark, not a meta tag, tells a UTF-16 page's encoding
  if (window_.size() < kDeclarationWindow) {
    window_.append(text.substr(0, kDeclarationWindow - window_.size()));
  }
  if (with_encoding_ && !guess_.Decided()) guess_.Feed(text);
}

void PageSurvey::Feed(std::string_view block) {
  if (!started_) {
    // A mark is two bytes, which may come in two blocks.
    if (start_.size() + block.size() < 2) {
      start_.append(block);
      return;
    }
    started_ = true;
    if (!start_.empty()) {
      start_.append(block);
      block = start_;
    }
    order_ = Utf16Mark(block);
    if (order_) utf16_.emplace(*order_);
  }
  if (utf16_) {
    decoded_.clear();
    utf16_->Feed(block, decoded_);
    FeedText(decoded_);
  } else {
    FeedText(block);
  }
  if (!start_.empty()) start_ = std::string();
}

PageKind PageSurvey::Result() {
  if (!started_) {
    started_ = true;
    FeedText(start_);  // a page of one byte, or none
  }
  PageKind kind;
  kind.utf16 = order_;
  if (nul_ || (utf16_ && !utf16_->Valid())) {
    kind.left_alone = LeftAlone::kNotText;
    return kind;
  }
  if (!utf16_) {
    const std::optional<Declaration> declared = DeclaredEncoding(window_);
    if (declared && !declared->encoding) {
      kind.left_alone = LeftAlone::kNoEncoding;
      return kind;
    }
    if (with_encoding_) kind.encoding = guess_.Result();
  }
  kind.line_ends = line_ends_ == LineEndRule::kByPage ? crlf_.Rule() : line_ends_;
  return kind;
}

}  // namespace slimtag
