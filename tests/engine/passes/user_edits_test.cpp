#include "passes/user_edits.h"

#include <gtest/gtest.h>

#include <string>

#include "pass_cases.h"

namespace slimtag {
namespace {

struct UserEditCase {
  const char* what;
  UserTexts texts;
  Encoding encoding;
  std::string before;
  std::string after;
};

std::ostream& operator<<(std::ostream& out, const UserEditCase& c) {
  return out << c.what;
}

UserTexts Pairs(std::initializer_list<std::pair<const char*, const char*>> pairs) {
  UserTexts texts;
  std::size_t i = 0;
  for (const auto& [find, replace] : pairs) {
    texts.find[i] = find;
    texts.replace[i] = replace;
    ++i;
  }
  return texts;
}

UserTexts Removals(std::initializer_list<const char*> removals) {
  UserTexts texts;
  std::size_t i = 0;
  for (const char* text : removals) texts.remove[i++] = text;
  return texts;
}

// Replacement and removal run one after the other, as the pipeline does.
std::string Apply(const UserEditCase& c) {
  std::string line = c.before;
  MakeUserReplacementPass(c.texts, c.encoding)(line);
  MakeUserRemovalPass(c.texts, c.encoding)(line);
  return line;
}

class UserEdits : public ::testing::TestWithParam<UserEditCase> {};

TEST_P(UserEdits, GiveTheLineOfTheRepeatedSearch) {
  EXPECT_EQ(Apply(GetParam()), GetParam().after);
}

constexpr auto kUtf8 = Encoding::Utf8;
constexpr auto k1251 = Encoding::Windows1251;

INSTANTIATE_TEST_SUITE_P(
    Cases, UserEdits,
    ::testing::Values(
        UserEditCase{"all boxes empty", UserTexts{}, kUtf8, "abc", "abc"},
        UserEditCase{"capitals find small letters", Pairs({{"FONT", "Span"}}), kUtf8,
                     "<font><FoNt>", "<Span><Span>"},
        UserEditCase{"removal forms a new occurrence", Removals({"ab"}), kUtf8, "xaabby", "xy"},
        UserEditCase{"shorter replacement forms a new occurrence", Pairs({{"ab", "a"}}), kUtf8,
                     "abbb", "a"},
        UserEditCase{"pairs chain", Pairs({{"x", "y"}, {"y", "z"}}), kUtf8, "xyx", "zzz"},
        UserEditCase{"an empty search box skips its pair", Pairs({{"", "q"}, {"a", ""}}), kUtf8,
                     "banana", "bnn"},
        UserEditCase{"removal deletes what a replacement inserted",
                     [] {
                       UserTexts t = Pairs({{"a", "[b]"}});
                       t.remove[2] = "[B]";
                       return t;
                     }(),
                     kUtf8, "cat", "ct"},
        UserEditCase{"blanks are ordinary text", Removals({" x "}), kUtf8, "a x b x", "ab x"},
        UserEditCase{"longer than the line", Removals({"abcdef"}), kUtf8, "abc", "abc"},
        // A replacement holding its search text ends with one sweep.
        UserEditCase{"replacement holds its search text", Pairs({{"a", "aa"}}), kUtf8, "aba",
                     "aabaa"},
        UserEditCase{"replacement differs only in case", Pairs({{"td", "TD"}}), kUtf8, "<td></td>",
                     "<TD></TD>"},
        UserEditCase{"Cyrillic letters fold in UTF-8", Pairs({{"привет", "Мир"}}), kUtf8, "ПРИВЕТ",
                     "Мир"},
        // The texts are written into a windows-1251 page in its own code.
        UserEditCase{"Cyrillic letters in a windows-1251 page", Pairs({{"ё", "Ж"}}), k1251,
                     "\xA8\xB8", "\xC6\xC6"},
        // "€" is in windows-1251, "✓" and "🌍" are not: they are written as references.
        UserEditCase{"replacement the page's code cannot hold", Pairs({{"x", "✓"}, {"y", "€🌍"}}),
                     k1251, "xy", "&#10003;\x88&#127757;"},
        UserEditCase{"replacement in a UTF-8 page stays as typed", Pairs({{"x", "✓"}}), kUtf8, "x",
                     "✓"},
        // A search text that the page's code cannot hold cannot stand in it.
        UserEditCase{"search text the page's code cannot hold",
                     [] {
                       UserTexts t = Pairs({{"✓", "x"}});
                       t.remove[0] = "日本";
                       return t;
                     }(),
                     k1251, "\xE2\x9C\x93", "\xE2\x9C\x93"}),
    [](const ::testing::TestParamInfo<UserEditCase>& info) {
      return testing::TestName(info.param.what);
    });

}  // namespace
}  // namespace slimtag
