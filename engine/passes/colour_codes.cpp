#include "colour_codes.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "present_rows.h"
#include "text_compare.h"

namespace slimtag {

namespace {

constexpr std::size_t kRowCount = std::size(kColourCodes);
static_assert(kRowCount <= 64, "the rows present in a line are kept as a RowSet");

constexpr std::size_t kCodeLength = 7;  // "#" and six hexadecimal digits

constexpr bool AllCodesAreHashAndSixDigits() {
  for (const PassRow& row : kColourCodes) {
    if (row.needle.size() != kCodeLength || row.needle[0] != '#') return false;
    for (std::size_t i = 1; i < kCodeLength; ++i) {
      const char c = row.needle[i];
      if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    }
    if (row.replacement.find('#') != std::string_view::npos) return false;
  }
  return true;
}
static_assert(AllCodesAreHashAndSixDigits());

constexpr bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Names are shorter than codes, hold no "#" and are never made of hexadecimal digits alone.
constexpr bool NamesAreShortWordsWithALetterPastF() {
  for (const PassRow& row : kColourCodes) {
    if (row.replacement.size() >= kCodeLength) return false;
    bool past_f = false;
    for (const char c : row.replacement) past_f = past_f || !IsHexDigit(c);
    if (!past_f) return false;
  }
  return true;
}
static_assert(NamesAreShortWordsWithALetterPastF());

// The six characters after a "#", letter case folded, as one number.
std::uint64_t DigitsKey(const char* digits) {
  std::uint64_t key = 0;
  for (std::size_t i = 0; i < kCodeLength - 1; ++i) {
    key = key << 8 | kAsciiFold[static_cast<unsigned char>(digits[i])];
  }
  return key;
}

struct ColourTable {
  std::vector<Pattern> patterns;
  // (key, row) sorted by key, to tell which row a "#" starts.
  std::array<std::pair<std::uint64_t, std::size_t>, kRowCount> by_key{};

  ColourTable() {
    patterns.reserve(kRowCount);
    for (std::size_t row = 0; row < kRowCount; ++row) {
      patterns.emplace_back(kColourCodes[row].needle, Encoding::Utf8);
      by_key[row] = {DigitsKey(kColourCodes[row].needle.data() + 1), row};
    }
    std::sort(by_key.begin(), by_key.end());
  }

  // The row whose code starts at pos (a "#" with room for six digits after it), or -1.
  int RowAt(const char* code) const {
    const std::uint64_t key = DigitsKey(code + 1);
    const auto it = std::lower_bound(by_key.begin(), by_key.end(), std::pair{key, std::size_t{0}});
    return it != by_key.end() && it->first == key ? static_cast<int>(it->second) : -1;
  }

  // The rows whose code stands somewhere in the line, as a set of row numbers.
  RowSet RowsPresent(std::string_view line) const {
    RowSet rows = 0;
    const char* data = line.data();
    const std::size_t n = line.size();
    std::size_t pos = 0;
    while (pos + kCodeLength <= n) {
      const void* hit = std::memchr(data + pos, '#', n - kCodeLength + 1 - pos);
      if (hit == nullptr) break;
      pos = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
      if (const int row = RowAt(data + pos); row >= 0) rows |= RowSet{1} << row;
      ++pos;
    }
    return rows;
  }
};

const ColourTable& Table() {
  static const ColourTable table;
  return table;
}

// Calls visit(pos, row) for each code of the line, at its "#", earliest first.
template <class Visit>
void ForEachCode(std::string_view line, const ColourTable& table, const Visit& visit) {
  const char* data = line.data();
  const std::size_t n = line.size();
  for (std::size_t pos = 0; pos + kCodeLength <= n;) {
    const void* hit = std::memchr(data + pos, '#', n - kCodeLength + 1 - pos);
    if (hit == nullptr) return;
    pos = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
    const int row = table.RowAt(data + pos);
    if (row >= 0) {
      visit(pos, static_cast<std::size_t>(row));
      pos += kCodeLength;
    } else {
      ++pos;
    }
  }
}

// Whether a name could complete a code with the text before it. Codes never overlap (each is a
// "#" and six digits), so replacing each in one sweep gives the line of the rows one after another
// unless a name forms a new code. That code would start at a "#" in front of the name and run into
// it; what stands between are digits of the line as read (a name in between would have to be all
// digits), so that "#" is within six characters before the code that the name replaced.
bool NameMayFormACode(std::string_view line, const ColourTable& table) {
  bool may = false;
  ForEachCode(line, table, [&](std::size_t pos, std::size_t) {
    const std::size_t from = pos >= kCodeLength - 1 ? pos - (kCodeLength - 1) : 0;
    may = may || line.substr(from, pos - from).find('#') != std::string_view::npos;
  });
  return may;
}

// Every code replaced by its name in one sweep, in place: names are shorter than codes.
void ReplaceCodesInOneSweep(std::string& line, const ColourTable& table) {
  char* data = line.data();
  std::size_t done = 0;  // line[0, done) has been dealt with
  std::size_t out = 0;   // and its result is data[0, out)
  ForEachCode(line, table, [&](std::size_t pos, std::size_t row) {
    const std::string_view name = kColourCodes[row].replacement;
    if (out != done) std::memmove(data + out, data + done, pos - done);
    out += pos - done;
    std::memcpy(data + out, name.data(), name.size());
    out += name.size();
    done = pos + kCodeLength;
  });
  if (done == 0) return;
  std::memmove(data + out, data + done, line.size() - done);
  line.resize(out + line.size() - done);
}

}  // namespace

// A name can complete a later row's code, so the rows act one after another where that can
// happen; elsewhere one sweep gives the same line.
void ShortenColourCodes(std::string& line) {
  const ColourTable& table = Table();
  if (!NameMayFormACode(line, table)) {
    ReplaceCodesInOneSweep(line, table);
    return;
  }
  ApplyPresentRows(line, table.patterns, kColourCodes,
                   [&table](std::string_view text, std::size_t first) {
                     return table.RowsPresent(text) & RowsFrom(first);
                   });
}

}  // namespace slimtag
