#include "text/text_compare.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <clocale>
#include <cwctype>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "text/declared_encoding.h"

namespace slimtag {
namespace {

// The code point of one byte of a code page as the C library's converter sees it; 0 for none.
char32_t LibcCodePoint(const char* code_page, unsigned char byte) {
  iconv_t cd = iconv_open("UTF-32LE", code_page);
  if (cd == reinterpret_cast<iconv_t>(-1)) return 0xFFFFFFFF;
  char in[1] = {static_cast<char>(byte)};
  char out[8] = {};
  char* in_ptr = in;
  char* out_ptr = out;
  std::size_t in_left = 1, out_left = sizeof out;
  const std::size_t rc = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left);
  iconv_close(cd);
  if (rc == static_cast<std::size_t>(-1)) return 0;
  return char32_t(static_cast<unsigned char>(out[0])) | char32_t(static_cast<unsigned char>(out[1]))
                                                            << 8;
}

struct LibcCodePage {
  Encoding encoding;
  const char* name;
  // Where browsers read a byte otherwise than glibc: the byte and what they read.
  std::vector<std::pair<unsigned char, char16_t>> browsers;
};

const LibcCodePage kLibcCodePages[] = {
    {Encoding::Windows1251, "CP1251", {}},
    {Encoding::Koi8R, "KOI8-R", {}},
    {Encoding::Koi8U, "KOI8-U", {{0xAE, 0x045E}, {0xBE, 0x040E}}},
    {Encoding::Iso8859_5, "ISO-8859-5", {}},
    {Encoding::Ibm866, "IBM866", {}},
    {Encoding::MacCyrillic, "MAC-CYRILLIC", {{0xFF, 0x20AC}}},
};

TEST(CodePages, TablesAgreeWithTheCLibraryWhereBrowsersDo) {
  ASSERT_EQ(std::size(kLibcCodePages), kCodePageCount);
  for (const LibcCodePage& page : kLibcCodePages) {
    const CodePage& table = kCodePages[CodePageIndex(page.encoding)];
    ASSERT_EQ(table.encoding, page.encoding);
    for (int b = 0x80; b < 0x100; ++b) {
      char32_t expected = LibcCodePoint(page.name, static_cast<unsigned char>(b));
      for (const auto& [byte, cp] : page.browsers) expected = byte == b ? cp : expected;
      EXPECT_EQ(table.high[b - 0x80], expected) << page.name << " byte " << b;
    }
  }
}

TEST(CodePages, FoldExactlyTheLettersThatHaveAnotherCaseForm) {
  ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
  for (const CodePage& page : kCodePages) {
    const auto& fold = kCodePageFolds[CodePageIndex(page.encoding)];
    const auto code_point = [&page](unsigned char b) {
      return b < 0x80 ? char32_t(b) : char32_t(page.high[b - 0x80]);
    };
    for (int b = 0; b < 0x100; ++b) {
      const char32_t cp = code_point(static_cast<unsigned char>(b));
      const char32_t lower =
          cp == 0 ? 0 : static_cast<char32_t>(std::towlower(static_cast<wint_t>(cp)));
      EXPECT_EQ(cp == 0 ? 0 : code_point(fold[b]), lower)
          << "code page " << CodePageIndex(page.encoding) << " byte " << b;
    }
  }
  std::setlocale(LC_CTYPE, "C");
}

struct FoldCase {
  const char* a;
  const char* b;
  bool equal;
};

// Pairs of UTF-8 characters and whether the comparison takes them as one letter.
constexpr FoldCase kUtf8Cases[] = {
    {"A", "a", true},  {"Z", "z", true},  {"@", "`", false}, {"[", "{", false}, {"А", "а", true},
    {"Я", "я", true},  {"П", "п", true},  {"Р", "р", true},  {"Ё", "ё", true},  {"Ђ", "ђ", true},
    {"Ѓ", "ѓ", true},  {"Є", "є", true},  {"Ѕ", "ѕ", true},  {"І", "і", true},  {"Ї", "ї", true},
    {"Ј", "ј", true},  {"Љ", "љ", true},  {"Њ", "њ", true},  {"Ћ", "ћ", true},  {"Ќ", "ќ", true},
    {"Ў", "ў", true},  {"Џ", "џ", true},  {"Ґ", "ґ", true},  {"Ѐ", "ѐ", false}, {"Ѝ", "ѝ", false},
    {"Ä", "ä", false}, {"а", "б", false}, {"р", "Р", true},  {"я", "Я", true},  {"Ѣ", "ѣ", false},
};

TEST(Utf8Comparison, FoldsTheWindows1251LettersOnly) {
  for (const FoldCase& c : kUtf8Cases) {
    const std::string a = c.a, b = c.b;
    ASSERT_EQ(a.size(), b.size()) << c.a;
    bool same = true;
    for (std::size_t i = 0; i < a.size(); ++i)
      same &= SymbolAt(Encoding::Utf8, a, i) == SymbolAt(Encoding::Utf8, b, i);
    EXPECT_EQ(same, c.equal) << c.a << " " << c.b;
  }
}

struct Utf8Case {
  std::string text;
  bool valid;
};

const Utf8Case kUtf8Validity[] = {
    {"", true},
    {"plain ascii", true},
    {"Привет, мир", true},
    {"\xE2\x82\xAC", true},       // euro sign
    {"\xF0\x9F\x98\x80", true},   // emoji
    {"\xC0\xAF", false},          // overlong "/"
    {"\xE0\x80\xAF", false},      // overlong
    {"\xED\xA0\x80", false},      // surrogate
    {"\xF4\x90\x80\x80", false},  // past U+10FFFF
    {"\xD0", false},              // cut short
    {"abc\xD0\xB0\xB0", false},   // stray continuation
    {"\xFF", false},
    {"\xE2\x82", false},
    {std::string("a\0b", 3), true},
};

TEST(Utf8Validity, WholeTexts) {
  for (const Utf8Case& c : kUtf8Validity) EXPECT_EQ(IsValidUtf8(c.text), c.valid) << c.text;
}

TEST(Utf8Validity, BlocksSplitAnywhereAgreeWithTheWholeText) {
  std::mt19937 rng(7);
  const std::string pieces[] = {"a", "Ж", "€", "😀", "\xD0", "\xB0", "\xFF", "\xE2\x82", " "};
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const int n = static_cast<int>(rng() % 12);
    for (int i = 0; i < n; ++i) text += pieces[rng() % std::size(pieces)];
    Utf8Validator v;
    std::size_t pos = 0;
    while (pos < text.size()) {
      const std::size_t len = 1 + rng() % 3;
      v.Feed(std::string_view(text).substr(pos, len));
      pos += len;
    }
    EXPECT_EQ(v.Valid(), IsValidUtf8(text)) << text;
  }
}

TEST(EncodeForPage, KeepsUtf8AndConvertsToWindows1251WhereItCan) {
  EXPECT_EQ(EncodeForPage("Ёлка", Encoding::Utf8), "Ёлка");
  EXPECT_EQ(EncodeForPage("Ёлка", Encoding::Windows1251), "\xA8\xEB\xEA\xE0");
  EXPECT_EQ(EncodeForPage("a№b", Encoding::Windows1251),
            "a\xB9"
            "b");
  EXPECT_EQ(EncodeForPage("日本", Encoding::Windows1251), std::nullopt);
  EXPECT_EQ(EncodeForPage("\xFF", Encoding::Utf8), std::nullopt);
  EXPECT_EQ(EncodeForPage("", Encoding::Windows1251), "");
}

TEST(EncodeReplacementForPage, WritesWhatTheCodePageCannotHoldAsReferences) {
  EXPECT_EQ(EncodeReplacementForPage("Ёлка", Encoding::Windows1251), "\xA8\xEB\xEA\xE0");
  EXPECT_EQ(EncodeReplacementForPage("a🌍b", Encoding::Windows1251), "a&#127757;b");
  EXPECT_EQ(EncodeReplacementForPage("日本", Encoding::Windows1251), "&#26085;&#26412;");
  EXPECT_EQ(EncodeReplacementForPage("€✓", Encoding::Windows1251), "\x88&#10003;");
  EXPECT_EQ(EncodeReplacementForPage("a🌍b", Encoding::Utf8), "a🌍b");
  EXPECT_EQ(EncodeReplacementForPage("\xFF", Encoding::Windows1251), std::nullopt);
  EXPECT_EQ(EncodeReplacementForPage("", Encoding::Windows1251), "");
}

struct DeclarationCase {
  const char* what;
  std::string page;
  std::optional<Encoding> encoding;
  bool unreadable = false;  // declares an encoding that is not ASCII-compatible
};

const DeclarationCase kDeclarationCases[] = {
    {"meta charset, quoted", R"(<html><head><meta charset="utf-8">)", Encoding::Utf8},
    {"meta charset, unquoted", "<META CHARSET=UTF8>", Encoding::Utf8},
    {"meta charset, single quotes", "<meta charset='Windows-1251' />", Encoding::Windows1251},
    {"http-equiv content type",
     R"(<meta http-equiv="Content-Type" content="text/html; charset=windows-1251">)",
     Encoding::Windows1251},
    {"http-equiv in capitals, content first",
     R"(<META CONTENT="text/html; CHARSET=CP1251" HTTP-EQUIV="CONTENT-TYPE">)",
     Encoding::Windows1251},
    {"http-equiv unquoted, x-cp1251",
     "<meta http-equiv=content-type content='text/html;charset=x-cp1251'>", Encoding::Windows1251},
    {"blanks around the charset", R"(<meta charset=" utf-8 ">)", Encoding::Utf8},
    {"another encoding", R"(<meta charset="iso-8859-1"><meta charset="utf-8">)", std::nullopt},
    {"the first declaration decides",
     R"(<meta name="x" content="charset=utf-8"><meta charset="cp1251"><meta charset="utf-8">)",
     Encoding::Windows1251},
    {"content without http-equiv", R"(<meta content="text/html; charset=utf-8">)", std::nullopt},
    {"no declaration", "<html><head><title>x</title>", std::nullopt},
    {"metadata is another tag", R"(<metadata charset="utf-8">)", std::nullopt},
    {"inside a comment", R"(<!-- <meta charset="utf-8"> --><meta charset="cp1251">)",
     Encoding::Windows1251},
    {"beyond the first 1024 bytes", std::string(1020, ' ') + R"(<meta charset="utf-8">)",
     std::nullopt},
    {"within the first 1024 bytes", std::string(1000, ' ') + R"(<meta charset="utf-8">)",
     Encoding::Utf8},
    {"empty page", "", std::nullopt},
    {"koi8-r", R"(<meta charset="KOI8-R">)", Encoding::Koi8R},
    {"koi8-u", "<meta http-equiv=Content-Type content='text/html; charset=koi8-u'>",
     Encoding::Koi8U},
    {"iso-8859-5", "<meta charset=ISO_8859-5>", Encoding::Iso8859_5},
    {"cp866", R"(<meta charset="cp866">)", Encoding::Ibm866},
    {"x-mac-cyrillic", R"(<meta charset="x-mac-cyrillic">)", Encoding::MacCyrillic},
    {"utf-16 without a mark", R"(<meta charset="utf-16le">)", std::nullopt, true},
    {"utf-32", R"(<meta charset="UTF-32">)", std::nullopt, true},
    {"iso-2022-jp", R"(<meta charset="iso-2022-jp">)", std::nullopt, true},
};

TEST(DeclaredEncoding, ReadsTheMetaTagsOfThePagesFirstBytes) {
  for (const DeclarationCase& c : kDeclarationCases) {
    const std::optional<Declaration> declared = DeclaredEncoding(c.page);
    EXPECT_EQ(declared.has_value(), c.encoding || c.unreadable) << c.what;
    EXPECT_EQ(declared ? declared->encoding : std::nullopt, c.encoding) << c.what;
  }
}

}  // namespace
}  // namespace slimtag
