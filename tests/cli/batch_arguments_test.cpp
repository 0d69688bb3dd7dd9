#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "batch_arguments.h"
#include "batch_harness.h"

namespace slimtag {
namespace {

using testing::Batch;
using testing::BatchResult;

const char* const kPageNames[] = {"index.html", "b.htm", "-x.htm"};
// Every option these cases use changes this page: --check 2,7 (the blank and "&nbsp;"), --nbsp,
// --replace a b, --remove foo.
constexpr const char* kPage = "foo a&nbsp;b \r\n";

struct ArgumentCase {
  const char* name;
  std::vector<std::string> args;
  int code;
  std::set<std::string> processed;
  std::string err;  // after "slimtag-batch: " for a usage error
};

// Options before, between and after FOLDER and the NAMEs; an option taking values takes exactly
// its count, never FOLDER or a NAME.
const ArgumentCase kArgumentCases[] = {
    {"--check before", {"--check", "2,7", "{pages}", "index.html"}, 0, {"index.html"}, ""},
    {"--check between", {"{pages}", "--check", "2,7", "index.html"}, 0, {"index.html"}, ""},
    {"--check after", {"{pages}", "index.html", "--check", "2,7"}, 0, {"index.html"}, ""},
    {"--check=LIST", {"--check=2,7", "{pages}", "b.htm"}, 0, {"b.htm"}, ""},
    {"--check twice", {"--check", "2", "{pages}", "--check", "7", "b.htm"}, 0, {"b.htm"}, ""},
    {"--replace before", {"--replace", "a", "b", "{pages}", "index.html"}, 0, {"index.html"}, ""},
    {"--replace between NAMEs",
     {"{pages}", "index.html", "--replace", "a", "b", "b.htm"},
     0,
     {"index.html", "b.htm"},
     ""},
    {"--remove before", {"--remove", "foo", "{pages}", "b.htm"}, 0, {"b.htm"}, ""},
    {"--remove after", {"{pages}", "--remove", "foo"}, 0, {"index.html", "b.htm", "-x.htm"}, ""},
    {"-- ends the options", {"--nbsp", "--", "{pages}", "-x.htm"}, 0, {"-x.htm"}, ""},
    {"an option after -- is a NAME",
     {"{pages}", "--", "--nbsp"},
     64,
     {},
     "«--nbsp» не является страницей папки «{pages}»"},
    {"--replace with one value takes FOLDER",
     {"--replace", "onlyone", "{pages}"},
     64,
     {},
     "не указана ПАПКА"},
    {"--replace missing its second value at the end",
     {"{pages}", "--replace", "a"},
     64,
     {},
     "параметру --replace нужны два значения: ЧТО и НА_ЧТО"},
    {"a value may start with a dash",
     {"{pages}", "--replace", "a", "--nbsp", "b.htm"},
     0,
     {"b.htm"},
     ""},
    {"--check without its list",
     {"{pages}", "--check"},
     64,
     {},
     "параметру --check нужен список номеров флажков (например, 1,2,8)"},
    {"--remove without its text",
     {"{pages}", "--remove"},
     64,
     {},
     "параметру --remove нужен ТЕКСТ"},
    {"--check a", {"--check", "a", "{pages}"}, 64, {}, "--check: «a» не является числом"},
    {"--check 2,", {"--check", "2,", "{pages}"}, 64, {}, "--check: «» не является числом"},
    {"--check 15",
     {"--check", "15", "{pages}"},
     64,
     {},
     "--check: флажка с номером 15 нет (номера от 1 до 14)"},
    {"a fourth pair",
     {"--replace", "a", "b", "--replace", "c", "d", "{pages}", "--replace", "e", "f", "--replace",
      "g", "h"},
     64,
     {},
     "--replace можно указать не более трёх раз"},
    {"a flag given a value",
     {"--nbsp=1", "{pages}"},
     64,
     {},
     "параметр --nbsp не принимает значения"},
    {"-r given a value",
     {"--recursive=0", "{pages}"},
     64,
     {},
     "параметр --recursive не принимает значения"},
    {"unknown option", {"{pages}", "--bogus"}, 64, {}, "неизвестный параметр «--bogus»"},
    {"unknown short option", {"-x", "{pages}"}, 64, {}, "неизвестный параметр «-x»"},
    {"no FOLDER", {"--nbsp"}, 64, {}, "не указана ПАПКА"},
    {"NAMEs with --recursive",
     {"-r", "{pages}", "index.html"},
     64,
     {},
     "с --recursive ИМЕНА не указываются"},
    {"--report xml",
     {"--report", "xml", "{pages}"},
     64,
     {},
     "--report: формата «xml» нет (есть json)"},
    {"--line-ends cr",
     {"{pages}", "--line-ends", "cr"},
     64,
     {},
     "--line-ends: значения «cr» нет (есть auto, lf и crlf)"},
    {"NAMEs with FOLDER -", {"-", "a.htm"}, 64, {}, "с ПАПКОЙ «-» ИМЕНА не указываются"},
    {"--backup with FOLDER -", {"--backup", "-"}, 64, {}, "--backup нельзя сочетать с ПАПКОЙ «-»"},
};

TEST(BatchArguments, EachOptionTakesExactlyItsValuesWhereverItStands) {
  for (const ArgumentCase& c : kArgumentCases) {
    SCOPED_TRACE(c.name);
    Batch b;
    for (const char* name : kPageNames) b.AddPage(name, kPage);
    const BatchResult r = b.Run(c.args);
    EXPECT_EQ(r.code, c.code);
    if (c.code == 0) {
      EXPECT_TRUE(r.out.starts_with(std::to_string(c.processed.size()) + " файл(ов) обработано.\n"))
          << r.out;
      EXPECT_EQ(r.err, "");
    } else {
      EXPECT_EQ(r.out, "");
      EXPECT_EQ(r.err, b.Expand("slimtag-batch: " + c.err +
                                "\nИспользование: slimtag-batch [ПАРАМЕТР]... ПАПКА [ИМЯ]...\n"
                                "  или:  slimtag-batch [ПАРАМЕТР]... ФАЙЛ...\n"
                                "Подробнее: slimtag-batch --help\n"));
    }
    for (const char* name : kPageNames) {
      EXPECT_EQ(b.Page(name) != kPage, c.processed.contains(name)) << name;
    }
  }
}

// Each box's flag ticks that box alone, as --check with its number does; the passes' own tests
// say what the boxes do to a page.
TEST(BatchArguments, EachFlagTicksItsOwnBoxAsCheckWithItsNumberDoes) {
  const std::pair<const char*, Box> kFlags[] = {
      {"--trim-start", Box::kTrimStart},
      {"--trim-end", Box::kTrimEnd},
      {"--drop-empty-lines", Box::kDropEmptyLines},
      {"--editor-meta", Box::kEditorMeta},
      {"--backup", Box::kBackup},
      {"--nbsp", Box::kSpaceEntity},
      {"--tag-blanks", Box::kTagBlanks},
      {"--empty-tags", Box::kEmptyTags},
      {"--logical-tags", Box::kLogicalTags},
      {"--colours", Box::kColours},
      {"--join-lines", Box::kJoinLines},
  };
  const auto parsed = [](const std::string& flag) {
    const char* argv[] = {"slimtag-batch", flag.c_str(), "folder"};
    std::ostringstream out, err;
    BatchArguments arguments;
    EXPECT_EQ(ParseBatchArguments(3, argv, out, err, arguments), std::nullopt) << err.str();
    return arguments.options.box;
  };
  for (const auto& [flag, box] : kFlags) {
    SCOPED_TRACE(flag);
    RunOptions expected;
    expected.Tick(box);
    EXPECT_EQ(parsed(flag), expected.box);
    EXPECT_EQ(parsed("--check=" + std::to_string(static_cast<int>(box))), expected.box);
  }
}

TEST(BatchArguments, HelpIsRussianWithTheOneSynopsis) {
  Batch b;
  const BatchResult r = b.Run({"--help"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(r.out.find("Использование: slimtag-batch [ПАРАМЕТР]... ПАПКА [ИМЯ]...\n") !=
              std::string::npos)
      << r.out;
  for (const char* english : {"Usage", "Positionals", "Options", "REQUIRED", "TEXT", "INT",
                              "FOLDER", "NAME", "[OPTIONS]"}) {
    EXPECT_EQ(r.out.find(english), std::string::npos) << english << " in\n" << r.out;
  }
  for (const char* option : {"--check",
                             "--trim-start",
                             "--trim-end",
                             "--drop-empty-lines",
                             "--editor-meta",
                             "--backup",
                             "--nbsp",
                             "--tag-blanks",
                             "--empty-tags",
                             "--logical-tags",
                             "--colours",
                             "--join-lines",
                             "--replace",
                             "--remove",
                             "--recursive",
                             "--dry-run",
                             "--verbose",
                             "--report",
                             "--line-ends",
                             "--help",
                             "--version",
                             "Коды возврата:",
                             "64  ошибка в аргументах"}) {
    EXPECT_NE(r.out.find(option), std::string::npos) << option << " missing from\n" << r.out;
  }
}

TEST(BatchArguments, ManualPageNamesEveryOptionOfTheHelpAndEveryExitCode) {
  std::ifstream in(SLIMTAG_MAN_PAGE);
  ASSERT_TRUE(in) << SLIMTAG_MAN_PAGE;
  const std::string page{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  Batch b;
  const std::string help = b.Run({"--help"}).out;
  const std::regex option(R"((^|[ ,])(--?[a-z][a-z-]*))");
  int found = 0;
  for (auto it = std::sregex_iterator(help.begin(), help.end(), option);
       it != std::sregex_iterator(); ++it) {
    // A bold line (.B, .BI, .BR) that holds the option, its dashes written \-, as a word.
    std::string roff;
    for (char c : std::string((*it)[2]))
      roff += c == '-' ? std::string(R"(\\-)") : std::string(1, c);
    const std::regex entry_line(R"(\n\.B[IR]? (.* )?)" + roff + R"(( .*)?\n)");
    const bool entry = std::regex_search(page, entry_line);
    EXPECT_TRUE(entry) << (*it)[2] << " has no entry in the manual page";
    ++found;
  }
  EXPECT_GE(found, 25);
  for (const char* code : {"\n.B 0\n", "\n.B 1\n", "\n.B 2\n", "\n.B 64\n"}) {
    EXPECT_NE(page.find(code), std::string::npos) << code;
  }
  EXPECT_NE(page.find(".SH ПРИМЕРЫ"), std::string::npos);
}

}  // namespace
}  // namespace slimtag
