#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "text_compare.h"

namespace slimtag {

// How far into a page its declared encoding is looked for.
inline constexpr std::size_t kDeclarationWindow = 1024;

// What a page's meta tag says it is written in: an encoding read here, or (none) one whose text
// is not ASCII-compatible (UTF-16 or UTF-32 without a byte-order mark, UTF-7, ISO-2022-*), which
// cannot be read as the page's bytes stand.
struct Declaration {
  std::optional<Encoding> encoding;
};

// The declaration in a page's first kDeclarationWindow bytes, in <meta charset=…> or
// <meta http-equiv="Content-Type" content="…; charset=…">, letter case aside, the value quoted or
// not, under the names browsers take: UTF-8, windows-1251, KOI8-R, KOI8-U, ISO-8859-5, IBM866,
// x-mac-cyrillic, or one of those not ASCII-compatible. The first meta tag that names a charset
// decides; a charset of any other name, no declaration, or a tag that does not close within the
// window gives nothing. Tags inside comments do not count.
std::optional<Declaration> DeclaredEncoding(std::string_view first_bytes);

// A page's encoding from its bytes, fed in order in blocks of any size: a page that says what it
// is in is taken at its word; only a page that says nothing is judged by whether it is valid
// UTF-8 (else windows-1251).
class EncodingGuess {
 public:
  void Feed(std::string_view block);
  // No later byte can change the result.
  bool Decided() const { return declared_.has_value() || validator_.Failed(); }
  // The guess, once every byte of the page (or enough to decide) was fed.
  Encoding Result();

 private:
  void Decide();  // on the declaration window, once it is full or the page ended

  std::string head_;  // the declaration window, until it is full
  bool head_done_ = false;
  std::optional<Declaration> declared_;
  Utf8Validator validator_;
};

// The guess for a page held whole.
Encoding GuessEncoding(std::string_view whole_page);

}  // namespace slimtag
