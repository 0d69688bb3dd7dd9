#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "line_output.h"
#include "text/declared_encoding.h"
#include "text/text_compare.h"
#include "utf16.h"

namespace slimtag {

// Why a page is left as it is, whatever the boxes.
enum class LeftAlone {
  kNotText,     // it holds a NUL byte (an encoded script, an image under a page's name), or is
                // UTF-16 that is not valid
  kNoEncoding,  // it declares an encoding that cannot be read as its bytes stand
};

// How a page is to be rewritten, or why not.
struct PageKind {
  std::optional<LeftAlone> left_alone;
  std::optional<ByteOrder> utf16;      // a UTF-16 page: read and written in this byte order
  Encoding encoding = Encoding::Utf8;  // what the user's texts are compared in
  LineEndRule line_ends = LineEndRule::kCrLf;
};

// Looks at a page's bytes, fed in order in blocks of any size: its byte-order mark, NUL bytes,
// its declared encoding and, where asked, its encoding for the user's texts and its line ends
// (kByPage decided for it). A UTF-16 page is looked at as its text, in UTF-8.
class PageSurvey {
 public:
  PageSurvey(bool with_encoding, LineEndRule line_ends)
      : with_encoding_(with_encoding), line_ends_(line_ends) {}
  void Feed(std::string_view block);
  // No later byte can change the result.
  bool Decided() const { return nul_; }
  // Once every byte of the page (or enough to decide) was fed.
  PageKind Result();

 private:
  void FeedText(std::string_view text);

  bool with_encoding_;
  LineEndRule line_ends_;
  std::string start_;  // until it holds the two bytes of a mark
  bool started_ = false;
  std::optional<Utf16Decoder> utf16_;
  std::optional<ByteOrder> order_;
  std::string decoded_;
  std::string window_;  // the declaration window
  EncodingGuess guess_;
  CrLfFinder crlf_;
  bool nul_ = false;
};

}  // namespace slimtag
