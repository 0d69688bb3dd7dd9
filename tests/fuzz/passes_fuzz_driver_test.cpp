// Runs the fuzz check over a fixed set of random inputs: pieces of the passes' needles, letter-case
// variants, blanks, Cyrillic letters in both encodings, stray bytes, and user texts.

#include <gtest/gtest.h>

#include <random>
#include <span>
#include <string>
#include <vector>

#include "passes/colour_codes.h"
#include "passes/empty_tags.h"
#include "passes/logical_tags.h"
#include "passes_fuzz_check.h"

namespace slimtag {
namespace {

std::vector<std::string> Pieces() {
  std::vector<std::string> pieces = {
      " ",     "  ",     "<",     ">",        "#",        "&nbsp;",    "&NbSp;", "&",
      "nbsp;", "<meta ", "name=", "\"",       "'",        "generator", "ProgId", "content=x",
      "<p>",   "</p>",   "\t",    "\xD0\x96", "\xD0\xB6", "\xC6",      "\xE6",   "\xFF",
      "\x80",  "\r",     "\n",    "x",        "ab",       "/"};
  auto add = [&](std::span<const PassRow> rows) {
    for (const PassRow& row : rows) {
      pieces.emplace_back(row.needle);
      pieces.emplace_back(row.needle.substr(0, row.needle.size() / 2));
      pieces.emplace_back(row.needle.substr(row.needle.size() / 2));
    }
  };
  add(kEmptyTags);
  add(kLogicalTags);
  add(kColourCodes);
  return pieces;
}

std::string RandomInput(std::mt19937& random, const std::vector<std::string>& pieces) {
  std::string input;
  // Sometimes user texts first, each a piece or two.
  if (random() % 2 == 0) {
    const int texts = static_cast<int>(random() % 10);
    for (int i = 0; i < texts; ++i) {
      const int count = static_cast<int>(random() % 3);
      for (int j = 0; j < count; ++j) input += pieces[random() % pieces.size()];
      input += '\0';
    }
  }
  const int count = static_cast<int>(random() % 20);
  for (int i = 0; i < count; ++i) {
    std::string piece = random() % 8 == 0 ? std::string(1, static_cast<char>(random()))
                                          : pieces[random() % pieces.size()];
    for (char& c : piece) {
      if (c >= 'a' && c <= 'z' && random() % 3 == 0) c = static_cast<char>(c - 'a' + 'A');
    }
    input += piece;
  }
  return input;
}

TEST(PassesFuzzDriver, FixedRandomInputsPassTheChecks) {
  const std::vector<std::string> pieces = Pieces();
  std::mt19937 random(20261207);
  for (int trial = 0; trial < 30000; ++trial) {
    const std::string input = RandomInput(random, pieces);
    const std::string fault =
        testing::CheckPassesOn(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    ASSERT_EQ(fault, "") << "trial " << trial;
  }
}

}  // namespace
}  // namespace slimtag
