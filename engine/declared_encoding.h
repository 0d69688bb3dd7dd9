#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "text_compare.h"

namespace slimtag {

// How far into a page its declared encoding is looked for.
inline constexpr std::size_t kDeclarationWindow = 1024;

// The encoding that a page declares in its first kDeclarationWindow bytes, in
// <meta charset=…> or <meta http-equiv="Content-Type" content="…; charset=…">, letter case aside,
// the value quoted or not: UTF-8 ("utf-8", "utf8") or windows-1251 ("windows-1251", "cp1251",
// "x-cp1251"). The first meta tag that names a charset decides; a charset of any other name, no
// declaration, or a tag that does not close within the window gives nothing. Tags inside
// comments do not count.
std::optional<Encoding> DeclaredEncoding(std::string_view first_bytes);

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
  std::optional<Encoding> declared_;
  Utf8Validator validator_;
};

// The guess for a page held whole.
Encoding GuessEncoding(std::string_view whole_page);

}  // namespace slimtag
