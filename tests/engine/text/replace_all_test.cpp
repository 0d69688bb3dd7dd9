#include "text/replace_all.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "reference_replace_all.h"

namespace slimtag {
namespace {

using testing::EditBuffer;
using testing::ReferenceReplaceAll;

std::string Replaced(std::string line, std::string_view needle, std::string_view replacement,
                     Encoding encoding = Encoding::Utf8) {
  ReplaceAll(line, needle, replacement, encoding);
  return line;
}

TEST(EditBuffer, ReplaceSelectionKeepsTheTextAroundIt) {
  EditBuffer t;
  t.PutText("abcdef");
  t.Select(2, 2);
  t.ReplaceSelection("XYZ");
  EXPECT_EQ(t.GetText(), "abXYZef");
  t.Select(0, 3);
  t.ReplaceSelection("");
  EXPECT_EQ(t.GetText(), "YZef");
}

struct FindCase {
  const char* text;
  const char* needle;
  Encoding encoding;
  std::size_t position;
};

const FindCase kFindCases[] = {
    {"<P>text</p>", "</P>", Encoding::Utf8, 8},
    {"<P>TEXT</P>", "</p>", Encoding::Utf8, 8},
    {"abc", "abcd", Encoding::Utf8, 0},
    {"", "a", Encoding::Utf8, 0},
    {"Привет МИР", "мир", Encoding::Utf8, 14},
    {"привет", "ПРИВЕТ", Encoding::Utf8, 1},
    {"ёЁ", "ЁЁ", Encoding::Utf8, 1},
    // A match never starts inside a UTF-8 character: "Р" is D0 A0, "а" is D0 B0.
    {"Ра", "\xA0", Encoding::Windows1251, 2},
    {"\xD0\xE0", "\xF0\xC0", Encoding::Windows1251, 1},  // "Ра" against "рА" in windows-1251
    {"\xA8", "\xB8", Encoding::Windows1251, 1},          // Ё and ё
    {"\xC0", "\xE0\xE0", Encoding::Windows1251, 0},
    {"x\xA5y", "\xB4Y", Encoding::Windows1251, 2},  // Ґ and ґ
};

TEST(FindNoCase, IgnoresLetterCaseOfLatinAndCyrillicLetters) {
  for (const FindCase& c : kFindCases) {
    EXPECT_EQ(FindNoCase(c.text, c.needle, c.encoding), c.position) << c.text << " / " << c.needle;
  }
}

TEST(FindNoCase, MatchesNoOtherCharacterThanItself) {
  // "ä" and "Ä" differ; so do the invalid-looking halves of two-byte characters.
  EXPECT_EQ(FindNoCase("Ä", "ä", Encoding::Utf8), 0u);
  EXPECT_EQ(FindNoCase("ѐ", "Ѐ", Encoding::Utf8), 0u);
  EXPECT_EQ(FindNoCase("я", "Я", Encoding::Utf8), 1u);
}

struct ReplaceCase {
  const char* line;
  const char* needle;
  const char* replacement;
  const char* expected;
};

// Every repetition searches from the first character again.
const ReplaceCase kReplaceCases[] = {
    {"<  a", "< ", "<", "<a"},
    {"     ", "  ", "", " "},
    {"xaabby", "ab", "", "xy"},
    {"abbb", "ab", "a", "a"},
    {"", "ab", "", ""},
    {"no needle here", "zz", "", "no needle here"},
    {"&&nbsp;nbsp;", "&nbsp;", "", ""},
    {"AbAB", "ab", "-", "--"},
    {"14:05:09", ":", "'", "14'05'09"},
    {"aaaa", "aa", "b", "bb"},
    {"aab", "ab", "ba", "baa"},
    {"ПриВЕТ привет", "привет", "hi", "hi hi"},
};

TEST(ReplaceAll, RepeatsFromTheFirstCharacterUntilTheNeedleIsGone) {
  for (const ReplaceCase& c : kReplaceCases) {
    EXPECT_EQ(Replaced(c.line, c.needle, c.replacement), c.expected)
        << c.line << " / " << c.needle << " / " << c.replacement;
  }
}

TEST(ReplaceAll, ReportsWhetherTheLineChanged) {
  std::string line = "abc";
  EXPECT_FALSE(ReplaceAll(line, "x", "y", Encoding::Utf8));
  EXPECT_TRUE(ReplaceAll(line, "B", "b", Encoding::Utf8));  // same text, still a replacement
  EXPECT_EQ(line, "abc");
}

TEST(ReplaceAll, ReplacementHoldingItsNeedleGivesOneSweep) {
  EXPECT_EQ(Replaced("a b a", "a", "aa"), "aa b aa");
  EXPECT_EQ(Replaced("xAx", "a", "A"), "xAx");
  EXPECT_EQ(Replaced("abab", "AB", "[ab]"), "[ab][ab]");
}

TEST(ReplaceAll, RunawayGrowthEndsWithOneSweep) {
  // "ab" -> "bba" doubles the b's before every a; 40 a's would need 2^40 bytes.
  const std::string line = std::string(40, 'a') + "b";
  std::string expected = std::string(39, 'a') + "bba";
  EXPECT_EQ(Replaced(line, "ab", "bba"), expected);
  // A few a's finish well inside the bound and give the exact result.
  EXPECT_EQ(Replaced("aaab", "ab", "bba"), std::string(8, 'b') + "aaa");
}

TEST(ReplaceAll, LongNeedleUsesTheFallbackAutomatonWithTheSameResult) {
  std::mt19937 rng(11);
  std::string needle;
  for (int i = 0; i < 60000; ++i) needle.push_back(static_cast<char>('!' + rng() % 90));
  const std::string line = "x" + needle.substr(0, 30000) + needle + needle.substr(30000) + "y";
  // Removing the inner copy forms the needle again out of its two halves.
  EXPECT_EQ(Replaced(line, needle, ""), "xy");
}

// Pieces of random lines: letters in both cases, brackets, blanks, Cyrillic in UTF-8.
struct Alphabet {
  Encoding encoding;
  std::vector<std::string> pieces;
};

const Alphabet kAlphabets[] = {
    {Encoding::Utf8, {"a", "A", "b", "B"}},
    {Encoding::Utf8, {"a", "b"}},
    {Encoding::Utf8, {"<", ">", " ", "p", "P", "/"}},
    {Encoding::Utf8, {"а", "А", "ё", "Ё", "б", "x", "Ґ", "ґ"}},
    {Encoding::Windows1251, {"\xE0", "\xC0", "\xA8", "\xB8", "a", "A", "\x98", "\xFF"}},
    {Encoding::Windows1251, {"&", "n", "N", "b", "s", "p", ";"}},
};

std::string RandomText(std::mt19937& rng, const Alphabet& alphabet, std::size_t max_pieces) {
  std::string text;
  const std::size_t n = rng() % (max_pieces + 1);
  for (std::size_t i = 0; i < n; ++i) text += alphabet.pieces[rng() % alphabet.pieces.size()];
  return text;
}

// The needle's own period makes overlapping occurrences; pick those often.
std::string RandomNeedle(std::mt19937& rng, const Alphabet& alphabet) {
  if (rng() % 3 == 0) {
    const std::string unit = RandomText(rng, alphabet, 2);
    std::string needle;
    const std::size_t repeats = 1 + rng() % 3;
    for (std::size_t i = 0; i < repeats; ++i) needle += unit;
    if (!needle.empty()) return needle;
  }
  std::string needle;
  while (needle.empty()) needle = RandomText(rng, alphabet, 4);
  return needle;
}

// A reference that runs away (a replacement holding its needle) is cut off after max_steps
// replacements or max_length bytes; short lines need far less to finish when they finish at all.
void CompareWithReference(std::uint32_t seed, std::size_t rounds, std::size_t max_line_pieces,
                          std::size_t max_steps = 20000, std::size_t max_length = 4096) {
  std::mt19937 rng(seed);
  std::size_t compared = 0;
  for (std::size_t round = 0; round < rounds; ++round) {
    const Alphabet& alphabet = kAlphabets[rng() % std::size(kAlphabets)];
    const std::string needle = RandomNeedle(rng, alphabet);
    const std::string replacement = RandomText(rng, alphabet, rng() % 2 ? 2 : 5);
    const std::string line = RandomText(rng, alphabet, max_line_pieces);
    std::string fast = line;
    ReplaceAll(fast, Pattern(needle, alphabet.encoding), replacement);
    const auto expected =
        ReferenceReplaceAll(line, needle, replacement, alphabet.encoding, max_steps, max_length);
    if (expected) {
      ++compared;
      ASSERT_EQ(fast, *expected) << "line [" << line << "] needle [" << needle << "] repl ["
                                 << replacement << "]";
    } else if (FindNoCase(replacement, needle, alphabet.encoding) != 0) {
      std::string sweep = line;
      ReplaceAllOneSweep(sweep, Pattern(needle, alphabet.encoding), replacement);
      ASSERT_EQ(fast, sweep) << "line [" << line << "] needle [" << needle << "]";
    }
  }
  EXPECT_GT(compared, rounds / 2);
}

TEST(ReplaceAll, AgreesWithTheSearchFromTheStartOnShortRandomLines) {
  CompareWithReference(1, 20000, 24, 1000, 1024);
}

TEST(ReplaceAll, AgreesWithTheSearchFromTheStartOnLongRandomLines) {
  CompareWithReference(2, 100, 1500);
}

// The search as the comparison defines it: every start tried, every symbol compared.
std::size_t PlainFind(std::string_view text, std::string_view needle, Encoding encoding,
                      std::size_t from) {
  for (std::size_t pos = from; pos + needle.size() <= text.size(); ++pos) {
    bool equal = true;
    for (std::size_t k = 0; k < needle.size() && equal; ++k) {
      equal = SymbolAt(encoding, text, pos + k) == SymbolAt(encoding, needle, k);
    }
    if (equal) return pos;
  }
  return Pattern::npos;
}

// A needle made of one short piece repeated, sometimes with another piece at its end, on a text of
// the same pieces: the checks at the rare byte fail late and often.
std::string SelfSimilar(std::mt19937& rng, const Alphabet& alphabet, std::size_t repeats) {
  const std::string unit = alphabet.pieces[rng() % alphabet.pieces.size()] +
                           (rng() % 2 ? alphabet.pieces[rng() % alphabet.pieces.size()] : "");
  std::string text;
  for (std::size_t i = 0; i < repeats; ++i) text += unit;
  if (rng() % 2) text += alphabet.pieces[rng() % alphabet.pieces.size()];
  return text;
}

TEST(PatternFind, AgreesWithThePlainSearchOnRandomAndSelfSimilarTexts) {
  std::mt19937 rng(12);
  for (int round = 0; round < 6000; ++round) {
    const Alphabet& alphabet = kAlphabets[rng() % std::size(kAlphabets)];
    const bool similar = round % 2 == 0;
    const std::string needle =
        similar ? SelfSimilar(rng, alphabet, 1 + rng() % 60) : RandomNeedle(rng, alphabet);
    const std::string text = similar ? SelfSimilar(rng, alphabet, rng() % 400) +
                                           RandomText(rng, alphabet, 3) +
                                           SelfSimilar(rng, alphabet, rng() % 100)
                                     : RandomText(rng, alphabet, 60);
    if (needle.empty()) continue;
    const Pattern pattern(needle, alphabet.encoding);
    const std::size_t from = text.empty() ? 0 : rng() % (text.size() + 1);
    const std::size_t expected = PlainFind(text, needle, alphabet.encoding, from);
    ASSERT_EQ(pattern.Find(text, from), expected)
        << "text [" << text << "] needle [" << needle << "] from " << from;
    ASSERT_EQ(pattern.FindByAutomaton(text, from), expected)
        << "text [" << text << "] needle [" << needle << "] from " << from;
  }
}

TEST(ReplaceAllOneSweep, ReplacesEachOccurrenceOfTheLineAsItStoodOnce) {
  std::string line = "aaaa";
  ReplaceAllOneSweep(line, Pattern("aa", Encoding::Utf8), "a");
  EXPECT_EQ(line, "aa");
  line = "<  a";
  ReplaceAllOneSweep(line, Pattern("< ", Encoding::Utf8), "<");
  EXPECT_EQ(line, "< a");
}

}  // namespace
}  // namespace slimtag
