#include "text_compare.h"

#include <cstring>
#include <string>

namespace slimtag {

const std::array<char16_t, 128> kWindows1251High = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  // C0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,  // C8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,  // D0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,  // D8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  // E0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,  // E8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,  // F0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,  // F8
};

namespace {

char32_t Windows1251ToCodePoint(unsigned char byte) {
  return byte < 0x80 ? char32_t(byte) : char32_t(kWindows1251High[byte - 0x80]);
}

std::optional<unsigned char> CodePointToWindows1251(char32_t cp) {
  if (cp < 0x80) return static_cast<unsigned char>(cp);
  for (std::size_t i = 0; i < kWindows1251High.size(); ++i) {
    if (kWindows1251High[i] != 0 && kWindows1251High[i] == cp) {
      return static_cast<unsigned char>(0x80 + i);
    }
  }
  return std::nullopt;
}

std::array<std::uint8_t, 256> MakeWindows1251Fold() {
  std::array<std::uint8_t, 256> fold{};
  for (int b = 0; b < 256; ++b) {
    const char32_t folded = FoldCodePoint(Windows1251ToCodePoint(static_cast<unsigned char>(b)));
    fold[b] = CodePointToWindows1251(folded).value_or(static_cast<unsigned char>(b));
  }
  return fold;
}

std::array<std::uint8_t, 256> MakeAsciiFold() {
  std::array<std::uint8_t, 256> fold{};
  for (int b = 0; b < 256; ++b)
    fold[b] = static_cast<std::uint8_t>(b >= 'A' && b <= 'Z' ? b + 32 : b);
  return fold;
}

// Length of the UTF-8 character starting at text[0], or 0 when it is not valid (overlong forms,
// surrogates and code points past U+10FFFF are invalid); -1 when the text ends inside it.
int Utf8CharLength(const unsigned char* p, std::size_t avail) {
  const unsigned char b = p[0];
  int len;
  char32_t min;
  if (b < 0x80) return 1;
  if (b >= 0xC2 && b <= 0xDF) {
    len = 2, min = 0x80;
  } else if (b >= 0xE0 && b <= 0xEF) {
    len = 3, min = 0x800;
  } else if (b >= 0xF0 && b <= 0xF4) {
    len = 4, min = 0x10000;
  } else {
    return 0;
  }
  char32_t cp = b & (0x7F >> len);
  for (int k = 1; k < len; ++k) {
    if (std::size_t(k) >= avail) return -1;
    if ((p[k] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (p[k] & 0x3F);
    // Reject overlongs and surrogates as soon as the second byte tells.
    if (k == 1 && len == 3 && ((b == 0xE0 && p[1] < 0xA0) || (b == 0xED && p[1] >= 0xA0))) return 0;
    if (k == 1 && len == 4 && ((b == 0xF0 && p[1] < 0x90) || (b == 0xF4 && p[1] >= 0x90))) return 0;
  }
  if (cp < min) return 0;
  return len;
}

// Validates text; returns how many bytes at the end form an incomplete (so far valid) character,
// or -1 when the text is invalid.
long ValidatePrefix(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    // ASCII runs are the bulk of every page: check eight bytes at a time.
    while (i + 8 <= n) {
      std::uint64_t word;
      std::memcpy(&word, p + i, 8);
      if (word & 0x8080808080808080ull) break;
      i += 8;
    }
    if (i >= n) break;
    if (p[i] < 0x80) {
      ++i;
      continue;
    }
    const int len = Utf8CharLength(p + i, n - i);
    if (len == 0) return -1;
    if (len < 0) return static_cast<long>(n - i);
    i += static_cast<std::size_t>(len);
  }
  return 0;
}

}  // namespace

const std::array<std::uint8_t, 256> kWindows1251Fold = MakeWindows1251Fold();
const std::array<std::uint8_t, 256> kAsciiFold = MakeAsciiFold();

std::size_t Utf8Length(std::string_view text, std::size_t pos) {
  const int length =
      Utf8CharLength(reinterpret_cast<const unsigned char*>(text.data()) + pos, text.size() - pos);
  return length > 0 ? static_cast<std::size_t>(length) : 0;
}

bool IsValidUtf8(std::string_view text) {
  return ValidatePrefix(text) == 0;
}

void Utf8Validator::Feed(std::string_view block) {
  if (!valid_ || block.empty()) return;
  if (!carry_.empty()) {
    // Complete the split character first; at most three bytes are carried.
    const std::size_t take = std::min<std::size_t>(4 - carry_.size(), block.size());
    std::string joined = carry_ + std::string(block.substr(0, take));
    const auto* p = reinterpret_cast<const unsigned char*>(joined.data());
    const int len = Utf8CharLength(p, joined.size());
    if (len == 0) {
      valid_ = false;
      return;
    }
    if (len < 0) {
      carry_ = joined;  // still incomplete: the block was shorter than the character
      return;
    }
    block.remove_prefix(static_cast<std::size_t>(len) - carry_.size());
    carry_.clear();
  }
  const long tail = ValidatePrefix(block);
  if (tail < 0) {
    valid_ = false;
    return;
  }
  carry_.assign(block.substr(block.size() - static_cast<std::size_t>(tail)));
}

namespace {

// Each character of valid UTF-8 text in windows-1251; unheld(code point) gives the text for a
// character that the code page does not hold, or nothing to give up.
template <class Unheld>
std::optional<std::string> ToWindows1251(std::string_view utf8, const Unheld& unheld) {
  std::string out;
  out.reserve(utf8.size());
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const int len = Utf8CharLength(p + i, utf8.size() - i);
    char32_t cp = p[i] & (0x7F >> (len == 1 ? 0 : len));
    for (int k = 1; k < len; ++k) cp = (cp << 6) | (p[i + k] & 0x3F);
    if (const auto byte = CodePointToWindows1251(cp)) {
      out.push_back(static_cast<char>(*byte));
    } else if (const std::optional<std::string> text = unheld(cp)) {
      out += *text;
    } else {
      return std::nullopt;
    }
    i += static_cast<std::size_t>(len);
  }
  return out;
}

}  // namespace

std::optional<std::string> EncodeForPage(std::string_view utf8, Encoding encoding) {
  if (!IsValidUtf8(utf8)) return std::nullopt;
  if (encoding == Encoding::Utf8) return std::string(utf8);
  return ToWindows1251(utf8, [](char32_t) { return std::optional<std::string>(); });
}

std::optional<std::string> EncodeReplacementForPage(std::string_view utf8, Encoding encoding) {
  if (!IsValidUtf8(utf8)) return std::nullopt;
  if (encoding == Encoding::Utf8) return std::string(utf8);
  return ToWindows1251(utf8, [](char32_t cp) {
    return std::optional<std::string>("&#" + std::to_string(static_cast<std::uint32_t>(cp)) + ";");
  });
}

}  // namespace slimtag
