#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Letter-case-blind comparison of page text, in the page's own encoding.
//
// Pages are bytes. A page is compared as UTF-8 or in one of the 8-bit Cyrillic code pages that
// browsers know (the one it declares; windows-1251 where it declares none and is not UTF-8). All
// fold the same letters: A-Z with a-z and every Cyrillic letter that windows-1251 holds with its
// other-case form. Folding never changes a byte count (a Cyrillic letter is two bytes in either
// case in UTF-8, one byte in a code page), so a match always has the byte length of its needle.
namespace slimtag {

// UTF-8 first, then the code pages in the order of kCodePages.
enum class Encoding { Utf8, Windows1251, Koi8R, Koi8U, Iso8859_5, Ibm866, MacCyrillic };
inline constexpr std::size_t kCodePageCount = 6;

// A comparison symbol: two bytes compare equal when their symbols do. In UTF-8 the symbol of a
// continuation byte depends on the lead byte before it, so symbols are computed with the previous
// byte at hand.
using Symbol = std::uint16_t;
inline constexpr Symbol kSymbolCount = 0x280;

// A-Z as a-z, and the other way; every other byte unchanged.
constexpr char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}
constexpr char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

// The folded (small-letter) form of a code point, for the letters above; any other code point is
// returned unchanged.
constexpr char32_t FoldCodePoint(char32_t cp) {
  if (cp >= U'A' && cp <= U'Z') return cp + 0x20;
  if (cp >= 0x410 && cp <= 0x42F) return cp + 0x20;                                  // А-Я
  if ((cp >= 0x401 && cp <= 0x40C) || cp == 0x40E || cp == 0x40F) return cp + 0x50;  // Ё Ђ … Џ
  if (cp == 0x490) return 0x491;                                                     // Ґ
  return cp;
}

// An 8-bit code page: the code point of each byte 0x80-0xFF (the bytes below are ASCII); 0 where
// it has no character.
struct CodePage {
  Encoding encoding;
  std::array<char16_t, 128> high;
};
extern const std::array<CodePage, kCodePageCount> kCodePages;

constexpr std::size_t CodePageIndex(Encoding encoding) {
  return static_cast<std::size_t>(encoding) - 1;
}

// Symbol of each byte in a page of each code page: its letter's small form.
extern const std::array<std::array<std::uint8_t, 256>, kCodePageCount> kCodePageFolds;
// Symbol of an ASCII byte (A-Z folded); bytes >= 0x80 map to themselves.
extern const std::array<std::uint8_t, 256> kAsciiFold;

// Whether two texts are equal with A-Z and a-z folded; every other byte only equals itself.
inline bool EqualAsciiNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (kAsciiFold[static_cast<unsigned char>(a[i])] !=
        kAsciiFold[static_cast<unsigned char>(b[i])]) {
      return false;
    }
  }
  return true;
}

inline Symbol Utf8Symbol(unsigned char byte, unsigned char previous) {
  if (byte < 0x80) return kAsciiFold[byte];
  if (byte == 0xD0 || byte == 0xD1) return 0x100;  // both leads of U+0400-U+047F
  if (byte < 0xC0) {
    if (previous == 0xD0 || previous == 0xD1) {
      const char32_t cp = (char32_t(previous & 0x1F) << 6) | (byte & 0x3F);
      return Symbol(0x200 + (FoldCodePoint(cp) - 0x400));
    }
    if (previous == 0xD2) return byte == 0x90 ? 0x91 : byte;  // Ґ -> ґ
  }
  return byte;
}

inline Symbol SymbolAt(Encoding encoding, std::string_view text, std::size_t pos) {
  const auto byte = static_cast<unsigned char>(text[pos]);
  if (encoding != Encoding::Utf8) return kCodePageFolds[CodePageIndex(encoding)][byte];
  return Utf8Symbol(byte, pos == 0 ? 0 : static_cast<unsigned char>(text[pos - 1]));
}

bool IsValidUtf8(std::string_view text);
// Length of the valid UTF-8 character at text[pos], 0 when there is none (or it is cut short).
std::size_t Utf8Length(std::string_view text, std::size_t pos);

// Checks UTF-8 validity of a stream fed in blocks of any size, a character possibly split between
// two blocks.
class Utf8Validator {
 public:
  void Feed(std::string_view block);
  // True when everything fed so far is valid UTF-8 and ends on a character boundary.
  bool Valid() const { return valid_ && carry_.empty(); }
  bool Failed() const { return !valid_; }

 private:
  bool valid_ = true;
  std::string carry_;
};

// The user's text (UTF-8) in the page's encoding; nothing when the encoding cannot hold it.
std::optional<std::string> EncodeForPage(std::string_view utf8, Encoding encoding);

// A replacement text (UTF-8) in the page's encoding, each character that the encoding cannot
// hold written as a decimal numeric character reference ("&#127757;"), which a browser shows as
// that character; nothing when the text is not valid UTF-8.
std::optional<std::string> EncodeReplacementForPage(std::string_view utf8, Encoding encoding);

}  // namespace slimtag
