#include "colour_codes.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "in_place_rewrite.h"
#include "present_rows.h"
#include "text/text_compare.h"

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

// The value of a hexadecimal digit, or -1.
constexpr auto kHexValue = [] {
  std::array<std::int8_t, 256> value{};
  for (int c = 0; c < 256; ++c) {
    value[static_cast<std::size_t>(c)] =
        static_cast<std::int8_t>(c >= '0' && c <= '9'   ? c - '0'
                                 : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                 : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                        : -1);
  }
  return value;
}();

// The six digits after a "#" as one number, letter case aside; -1 when one is not a digit.
std::int32_t DigitsValue(const char* digits) {
  std::int32_t value = 0;
  for (std::size_t i = 0; i < kCodeLength - 1; ++i) {
    const std::int8_t digit = kHexValue[static_cast<unsigned char>(digits[i])];
    if (digit < 0) return -1;
    value = value << 4 | digit;
  }
  return value;
}

struct ColourTable {
  std::vector<Pattern> patterns;
  // Open addressing by the code's value: row + 1 in each used slot, 0 in a free one.
  static constexpr std::size_t kSlots = 128;
  static_assert(kSlots >= 2 * kRowCount);
  std::array<std::int32_t, kSlots> slot_value{};
  std::array<std::int8_t, kSlots> slot_row{};

  static std::size_t SlotOf(std::int32_t value) {
    return (static_cast<std::uint32_t>(value) * 2654435761u >> 16) % kSlots;
  }

  ColourTable() {
    patterns.reserve(kRowCount);
    for (std::size_t row = 0; row < kRowCount; ++row) {
      patterns.emplace_back(kColourCodes[row].needle, Encoding::Utf8);
      const std::int32_t value = DigitsValue(kColourCodes[row].needle.data() + 1);
      std::size_t slot = SlotOf(value);
      while (slot_row[slot] != 0) slot = (slot + 1) % kSlots;
      slot_value[slot] = value;
      slot_row[slot] = static_cast<std::int8_t>(row + 1);
    }
  }

  // The row whose code starts at code (a "#" with room for six digits after it), or -1.
  int RowAt(const char* code) const {
    const std::int32_t value = DigitsValue(code + 1);
    if (value < 0) return -1;
    for (std::size_t slot = SlotOf(value); slot_row[slot] != 0; slot = (slot + 1) % kSlots) {
      if (slot_value[slot] == value) return slot_row[slot] - 1;
    }
    return -1;
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

// Calls visit(pos, row) for each code of the line, at its "#", earliest first. A "#" is rare
// enough in pages that memchr, which reads wider than the scans of byte_scan.h, finds it fastest.
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

// The codes of a line, found in one sweep, as many as fit.
struct FoundCodes {
  static constexpr std::size_t kCapacity = 512;
  std::uint32_t at[kCapacity];
  std::uint8_t row[kCapacity];
  std::size_t count = 0;
  bool complete = true;  // every code of the line is here
  // Whether a name could complete a code with the text before it. Codes never overlap (each is a
  // "#" and six digits), so replacing each in one sweep gives the line of the rows one after
  // another unless a name forms a new code. That code would start at a "#" in front of the name
  // and run into it; what stands between are digits of the line as read (a name in between would
  // have to be all digits), so that "#" is within six characters before the code that the name
  // replaced.
  bool name_may_form_a_code = false;
};

void FindCodes(std::string_view line, const ColourTable& table, FoundCodes& found) {
  ForEachCode(line, table, [&](std::size_t pos, std::size_t row) {
    const std::size_t from = pos >= kCodeLength - 1 ? pos - (kCodeLength - 1) : 0;
    found.name_may_form_a_code = found.name_may_form_a_code ||
                                 line.substr(from, pos - from).find('#') != std::string_view::npos;
    if (found.count == FoundCodes::kCapacity || pos > UINT32_MAX) {
      found.complete = false;
      return;
    }
    found.at[found.count] = static_cast<std::uint32_t>(pos);
    found.row[found.count] = static_cast<std::uint8_t>(row);
    ++found.count;
  });
}

// Every code replaced by its name, in place (names are shorter than codes); visit_codes(replace)
// calls replace(pos, row) for each code, earliest first.
template <class VisitCodes>
void ReplaceCodes(std::string& line, const VisitCodes& visit_codes) {
  InPlaceRewrite rewrite(line);
  visit_codes([&](std::size_t pos, std::size_t row) {
    rewrite.KeepUpTo(pos);
    rewrite.Put(kColourCodes[row].replacement);
    rewrite.SkipTo(pos + kCodeLength);
  });
  rewrite.Finish();
}

}  // namespace

// A name can complete a later row's code, so the rows act one after another where that can
// happen; elsewhere one sweep gives the same line. The codes found while checking are replaced
// from the list where it holds them all, so most lines are read once.
void ShortenColourCodes(std::string& line) {
  const ColourTable& table = Table();
  FoundCodes found;
  FindCodes(line, table, found);
  if (found.name_may_form_a_code) {
    ApplyPresentRows(line, table.patterns, kColourCodes,
                     [&table](std::string_view text, std::size_t first) {
                       return table.RowsPresent(text) & RowsFrom(first);
                     });
  } else if (found.complete) {
    ReplaceCodes(line, [&found](const auto& replace) {
      for (std::size_t k = 0; k < found.count; ++k) replace(found.at[k], found.row[k]);
    });
  } else {
    const std::string_view text = line;
    ReplaceCodes(line, [&](const auto& replace) { ForEachCode(text, table, replace); });
  }
}

}  // namespace slimtag
