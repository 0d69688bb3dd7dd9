#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "line_output.h"
#include "line_reader.h"

// Pages that Notepad and Word save as UTF-16 start with a byte-order mark. The run reads them as
// UTF-8 and writes them back as UTF-16, so that every pass works on them as on any other page.
namespace slimtag {

enum class ByteOrder { kLittle, kBig };

// The byte order of the mark that a page starts with (FF FE or FE FF), if it does.
std::optional<ByteOrder> Utf16Mark(std::string_view first_bytes);

// UTF-16 fed in blocks of any size, as UTF-8; a unit or a surrogate pair split between two
// blocks is carried over. The mark is a character like any other (U+FEFF).
class Utf16Decoder {
 public:
  explicit Utf16Decoder(ByteOrder order) : order_(order) {}
  // Appends the UTF-8 of the block's whole characters to out; an unpaired surrogate becomes
  // U+FFFD, and the text is then not valid.
  void Feed(std::string_view block, std::string& out);
  // Everything fed so far is valid UTF-16 and ends on a character boundary.
  bool Valid() const { return valid_ && carry_size_ == 0 && high_ == 0; }

 private:
  ByteOrder order_;
  bool valid_ = true;
  unsigned char carry_ = 0;  // the first byte of a unit cut by a block's end
  std::size_t carry_size_ = 0;
  char16_t high_ = 0;  // a high surrogate waiting for its low one
};

// Appends valid UTF-8 as UTF-16 in the byte order.
void AppendUtf16(std::string_view utf8, ByteOrder order, std::string& out);

// A UTF-16 page read as UTF-8.
class Utf16Source : public ByteSource {
 public:
  Utf16Source(ByteSource& page, ByteOrder order) : page_(page), decoder_(order) {}
  std::size_t Read(char* buffer, std::size_t size) override;

 private:
  ByteSource& page_;
  Utf16Decoder decoder_;
  std::string raw_;
  std::string decoded_;
  std::size_t taken_ = 0;  // of decoded_
};

// Lines written as UTF-8 into a UTF-16 page. A write is whole characters: lines end at ASCII
// bytes, and the passes edit whole characters.
class Utf16Sink : public ByteSink {
 public:
  Utf16Sink(ByteSink& page, ByteOrder order) : page_(page), order_(order) {}
  void Write(std::string_view bytes) override;
  void WriteLine(std::string_view line, std::string_view terminator) override;

 private:
  ByteSink& page_;
  ByteOrder order_;
  std::string encoded_;
};

}  // namespace slimtag

namespace slimtag {

// A page's bytes as the passes see them: as they stand, or through UTF-16 in its byte order.
class PageText {
 public:
  PageText(ByteSource& in, ByteSink& out, std::optional<ByteOrder> utf16) : in_(in), out_(out) {
    if (utf16) {
      utf16_in_.emplace(in, *utf16);
      utf16_out_.emplace(out, *utf16);
    }
  }
  ByteSource& In() { return utf16_in_ ? *utf16_in_ : in_; }
  ByteSink& Out() { return utf16_out_ ? *utf16_out_ : out_; }

 private:
  ByteSource& in_;
  ByteSink& out_;
  std::optional<Utf16Source> utf16_in_;
  std::optional<Utf16Sink> utf16_out_;
};

}  // namespace slimtag
