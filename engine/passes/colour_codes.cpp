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
      const std::uint64_t key = DigitsKey(data + pos + 1);
      const auto it =
          std::lower_bound(by_key.begin(), by_key.end(), std::pair{key, std::size_t{0}});
      if (it != by_key.end() && it->first == key) rows |= RowSet{1} << it->second;
      ++pos;
    }
    return rows;
  }
};

const ColourTable& Table() {
  static const ColourTable table;
  return table;
}

}  // namespace

// A name can complete a later row's code, so the rows act one after another, not as one sweep.
void ShortenColourCodes(std::string& line) {
  const ColourTable& table = Table();
  ApplyPresentRows(line, table.patterns, kColourCodes,
                   [&table](std::string_view text, std::size_t first) {
                     return table.RowsPresent(text) & RowsFrom(first);
                   });
}

}  // namespace slimtag
