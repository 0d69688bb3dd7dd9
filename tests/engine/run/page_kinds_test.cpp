#include <gtest/gtest.h>
#include <iconv.h>

#include <optional>
#include <random>
#include <string>
#include <vector>

#include "lines/utf16.h"
#include "run_world.h"

namespace slimtag {
namespace {

using testing::World;

// text converted by the C library, the program's own converters aside; nothing where it is not
// valid.
std::optional<std::string> Iconv(std::string text, const char* from, const char* to) {
  iconv_t cd = iconv_open(to, from);
  std::string out(text.size() * 4 + 8, '\0');
  char* in_ptr = text.data();
  char* out_ptr = out.data();
  std::size_t in_left = text.size(), out_left = out.size();
  const bool valid = iconv(cd, &in_ptr, &in_left, &out_ptr, &out_left) != std::size_t(-1);
  iconv_close(cd);
  out.resize(out.size() - out_left);
  return valid ? std::optional(out) : std::nullopt;
}

// Pages that are no text for the run, each beside a text page that the run does rewrite.
TEST(PageKinds, PagesThatAreNotTextKeepEveryByteAndAreNamedNotCounted) {
  // An encoded script: a short header, then binary with NUL bytes and bare CRs.
  std::string encoded = "<?php //0046a\r\nif(!extension_loaded('x')){die('loader');}?>\r\n";
  std::mt19937 rng(29);
  while (encoded.size() < 903) encoded.push_back(static_cast<char>(rng() % 4 == 0 ? 0 : rng()));
  encoded += "\r\x01\r";
  const std::string undeclarable = "<meta charset=\"utf-16le\">\r\n  x  \r\nend";
  const std::string iso2022 = "<meta charset=ISO-2022-JP>\r\n\x1b$B$3\x1b(B \r";
  for (const LineEndRule rule : {LineEndRule::kCrLf, LineEndRule::kByPage}) {
    World w;
    w.AddPage("enc.php", encoded);
    w.AddPage("a.htm", " a \r\n");
    w.AddPage("u.htm", undeclarable);
    w.AddPage("j.htm", iso2022);
    w.host.SetLineEnds(rule).Check(1).Check(2).Check(6).Check(14);
    ASSERT_EQ(w.Run(), RunOutcome::kStatistics);
    EXPECT_EQ(w.Page("enc.php"), encoded);
    EXPECT_EQ(w.Page("u.htm"), undeclarable);
    EXPECT_EQ(w.Page("j.htm"), iso2022);
    EXPECT_EQ(w.Page("a.htm"), "a\r\n");
    EXPECT_EQ(w.host.PagesDone(), std::vector<std::string>{"a.htm 5 3"});
    EXPECT_EQ(testing::Listing(w.dir.Page("~backup_14'05'09")), std::vector<std::string>{"a.htm"});
    const RunResult& result = w.host.Results().at(0);
    EXPECT_EQ(result.stats.FilesDone, 1);
    ASSERT_EQ(result.left_alone.size(), 3u);
    EXPECT_EQ(result.left_alone[0].name, "enc.php");
    EXPECT_EQ(result.left_alone[0].reason, LeftAlone::kNotText);
    EXPECT_EQ(result.left_alone[2].reason, LeftAlone::kNoEncoding);
    EXPECT_EQ(result.message,
              "1 файл(ов) обработано.\r\nРазмер до оптимизации: 5 байт.\r\nРазмер после "
              "оптимизации: 3 байт.\r\n\r\nУдалено: 2 байт. (40%)\r\n"
              "1 файл(ов) оставлено как есть: это не текст.\r\n"
              "2 файл(ов) оставлено как есть: их кодировка (UTF-16 без метки порядка байтов, "
              "UTF-32, UTF-7, ISO-2022) не поддерживается.");
  }
}

// A UTF-16 page comes out as the same page in UTF-8 does, in its own byte order.
TEST(PageKinds, Utf16PagesComeOutAsTheSamePageInUtf8) {
  const std::string page =
      "\xEF\xBB\xBF<p>  Привет, МИР&nbsp;😀  </p>  \r\n<b>мир</b>\r\nline\nfeed \r\n";
  const std::string lf_page = "\xEF\xBB\xBF  мир \n<i>x</i>  \nend";
  struct Rules {
    LineEndRule rule;
    std::vector<int> boxes;
  };
  const Rules rules[] = {{LineEndRule::kCrLf, {1, 2, 7, 10, 12}},
                         {LineEndRule::kByPage, {2, 8, 12, 13}},
                         {LineEndRule::kCrLf, {14}},
                         {LineEndRule::kByPage, {3, 14}}};
  for (const char* utf16 : {"UTF-16LE", "UTF-16BE"}) {
    for (const Rules& r : rules) {
      SCOPED_TRACE(std::string(utf16) + " rule " + std::to_string(int(r.rule)));
      World w;
      for (const std::string* p : {&page, &lf_page}) {
        const std::string name = p == &page ? "crlf" : "lf";
        w.AddPage(name + "8.htm", *p);
        w.AddPage(name + "16.htm", *Iconv(*p, "UTF-8", utf16));
      }
      w.host.SetLineEnds(r.rule).Field(1, "мир").Field(2, "world 🌍").Field(13, "line");
      for (int box : r.boxes) w.host.Check(box);
      ASSERT_EQ(w.Run(), RunOutcome::kStatistics);
      for (const char* name : {"crlf", "lf"}) {
        const std::string as_utf8 = w.Page(std::string(name) + "8.htm");
        EXPECT_EQ(w.Page(std::string(name) + "16.htm"), Iconv(as_utf8, "UTF-8", utf16)) << name;
      }
      EXPECT_EQ(w.host.Results().at(0).stats.FilesDone, 4);
    }
  }
}

// A page in a Cyrillic code page that it declares matches the user's texts in either case and
// gets the replacement in that code page, with references for what it cannot hold.
TEST(PageKinds, DeclaredCyrillicCodePagesAreMatchedAndWrittenInTheirOwnEncoding) {
  const struct {
    const char* declared;
    const char* iconv;
  } code_pages[] = {{"koi8-r", "KOI8-R"}, {"KOI8-U", "KOI8-U"}, {"iso-8859-5", "ISO-8859-5"},
                    {"ibm866", "IBM866"}, {"cp866", "IBM866"},  {"x-mac-cyrillic", "MAC-CYRILLIC"}};
  for (const auto& c : code_pages) {
    SCOPED_TRACE(c.declared);
    const std::string head = "<meta charset=\"" + std::string(c.declared) + "\">\r\n";
    World w;
    w.AddPage("a.htm", *Iconv(head + "МИР мир Мир, ЁЛКА ёлка\r\n", "UTF-8", c.iconv));
    w.host.Check(12).Check(13).Field(1, "мИр").Field(2, "Свет🌍").Field(13, "Ёлка");
    ASSERT_EQ(w.Run(), RunOutcome::kStatistics);
    EXPECT_EQ(w.Page("a.htm"),
              Iconv(head + "Свет&#127757; Свет&#127757; Свет&#127757;,  \r\n", "UTF-8", c.iconv));
  }
}

// The decoder against the C library on random UTF-16 text, cut into blocks anywhere.
TEST(Utf16, DecodingAndEncodingAgreeWithTheCLibrary) {
  std::mt19937 rng(16);
  const char16_t units[] = {u'a', u'\r', u'\n', u'Ж', 0x20AC, 0xFEFF, 0xD83D, 0xDE00, 0xDC00, 0};
  for (int round = 0; round < 2000; ++round) {
    const ByteOrder order = round % 2 ? ByteOrder::kBig : ByteOrder::kLittle;
    std::string bytes;
    for (std::size_t n = rng() % 12; n > 0; --n) {
      const char16_t u = units[rng() % std::size(units)];
      const char a = static_cast<char>(u & 0xFF), b = static_cast<char>(u >> 8);
      bytes += order == ByteOrder::kLittle ? std::string{a, b} : std::string{b, a};
    }
    if (!bytes.empty() && rng() % 8 == 0) bytes.pop_back();
    Utf16Decoder decoder(order);
    std::string utf8;
    for (std::size_t pos = 0; pos < bytes.size(); pos += 3) {
      decoder.Feed(std::string_view(bytes).substr(pos, 3), utf8);
    }
    const auto expected =
        Iconv(bytes, order == ByteOrder::kLittle ? "UTF-16LE" : "UTF-16BE", "UTF-8");
    EXPECT_EQ(decoder.Valid(), expected.has_value()) << round;
    if (!expected) continue;
    EXPECT_EQ(utf8, *expected) << round;
    std::string again;
    AppendUtf16(utf8, order, again);
    EXPECT_EQ(again, bytes) << round;
  }
}

}  // namespace
}  // namespace slimtag
