#include "lines/line_reader.h"

#include <gtest/gtest.h>

#include <iterator>
#include <limits>
#include <random>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "lines/line_output.h"
#include "lines/line_pipeline.h"
#include "passes/colour_codes.h"
#include "passes/empty_tags.h"
#include "passes/logical_tags.h"
#include "passes/scanning_passes.h"
#include "run/stream_optimiser.h"
#include "string_streams.h"

namespace slimtag {
namespace {

using testing::StringSink;

struct CrLfCase {
  std::vector<std::string> pieces;
  bool found;
};

// A page's line-end rule is decided on the pieces it is read in: a CR LF split between two of them
// counts, a LF CR or a lone CR does not.
TEST(CrLfFinder, FindsACrLfWithinAndAcrossPieces) {
  const CrLfCase cases[] = {
      {{"a\r\nb"}, true},         {{"a\r", "\nb"}, true},  {{"a\r", "", "\n"}, true},
      {{"a\r", "b\n"}, false},    {{"\n\r"}, false},       {{"a\rb\rc\n"}, false},
      {{"\r", "\r", "\n"}, true}, {{"a\n", "b\n"}, false}, {{}, false},
  };
  for (const CrLfCase& c : cases) {
    CrLfFinder finder;
    for (const std::string& piece : c.pieces) finder.Feed(piece);
    EXPECT_EQ(finder.Found(), c.found) << ::testing::PrintToString(c.pieces);
    EXPECT_EQ(finder.Rule(), c.found ? LineEndRule::kCrLf : LineEndRule::kAsRead);
  }
}
using testing::StringSource;

std::vector<std::string> Lines(const std::string& data, std::size_t block) {
  StringSource source(data);
  LineReader reader(source, block);
  std::vector<std::string> lines;
  std::string line;
  while (reader.ReadLine(line)) lines.push_back(line);
  return lines;
}

struct SplitCase {
  std::string data;
  std::vector<std::string> lines;
};

const SplitCase kSplitCases[] = {
    {"", {}},
    {"a", {"a"}},
    {"a\r\n", {"a"}},
    {"a\r\nb", {"a", "b"}},
    {"a\rb\r", {"a", "b"}},
    {"\r\n\r\n", {"", ""}},
    {"a\nb\n", {"a\nb\n"}},  // a line feed alone stays inside the line
    {"a\r\r\nb", {"a", "", "b"}},
    {"\n\r\n", {"\n"}},
    {std::string("x\0y\r\n", 5), {std::string("x\0y", 3)}},
};

TEST(LineReader, SplitsAtCrAndCrLfWhereverTheBlocksEnd) {
  for (const SplitCase& c : kSplitCases) {
    for (std::size_t block : {1u, 2u, 3u, 5u, 1u << 20}) {
      EXPECT_EQ(Lines(c.data, block), c.lines) << "block " << block;
    }
  }
}

// Lines and their terminators when a line feed alone ends a line too.
std::vector<std::string> LinesAsRead(const std::string& data, std::size_t block) {
  StringSource source(data);
  LineReader reader(source, block, true);
  std::vector<std::string> lines;
  std::string line;
  while (reader.ReadLine(line)) lines.push_back(line + "|" + std::string(reader.Terminator()));
  return lines;
}

TEST(LineReader, EndsLinesAtLfCrLfAndCrAndTellsWhichWhenAsked) {
  const SplitCase cases[] = {
      {"", {}},
      {"a", {"a|"}},
      {"a\nb\n", {"a|\n", "b|\n"}},
      {"a\r\nb\rc\nd", {"a|\r\n", "b|\r", "c|\n", "d|"}},
      {"\n\r\n\r", {"|\n", "|\r\n", "|\r"}},
      {"a\n\rb", {"a|\n", "|\r", "b|"}},
      {"a\r\r\nb\r", {"a|\r", "|\r\n", "b|\r"}},
  };
  for (const SplitCase& c : cases) {
    for (std::size_t block : {1u, 2u, 3u, 5u, 1u << 20}) {
      EXPECT_EQ(LinesAsRead(c.data, block), c.lines) << "block " << block;
    }
  }
}

// The lines and terminators of data by the rule, one byte at a time: what the reader must give.
std::vector<std::pair<std::string, std::string>> PlainLines(const std::string& data, bool lf) {
  std::vector<std::pair<std::string, std::string>> lines;
  std::string line;
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (data[i] == '\r') {
      const bool crlf = i + 1 < data.size() && data[i + 1] == '\n';
      lines.emplace_back(line, crlf ? "\r\n" : "\r");
      line.clear();
      i += crlf ? 1 : 0;
    } else if (lf && data[i] == '\n') {
      lines.emplace_back(line, "\n");
      line.clear();
    } else {
      line += data[i];
    }
  }
  if (!line.empty()) lines.emplace_back(line, "");
  return lines;
}

// Random streams of line ends, brackets and letters, up to a few hundred bytes, in blocks of every
// size from one byte to more than the stream, under both rules: the lines, their terminators and so
// every byte are those of the plain split.
TEST(LineReader, GivesThePlainSplitOnRandomStreams) {
  std::mt19937 random(7);
  const char bytes[] = {'a', '\r', '\n', '<', ' ', 'b', 'c', 'd'};
  for (int round = 0; round < 4000; ++round) {
    std::string data;
    const std::size_t length = round % 2 == 0 ? random() % 40 : random() % 400;
    for (std::size_t n = length; n > 0; --n) data += bytes[random() % sizeof bytes];
    const bool lf = round % 3 != 0;
    const std::size_t block = round % 4 == 0 ? std::size_t(1) << 20 : 1 + random() % 100;
    StringSource source(data);
    LineReader reader(source, block, lf);
    std::vector<std::pair<std::string, std::string>> lines;
    std::string line;
    while (reader.ReadLine(line)) lines.emplace_back(line, reader.Terminator());
    ASSERT_EQ(lines, PlainLines(data, lf)) << "block " << block << ", stream \"" << data << '"';
  }
}

// The joined text as the output step defines it: held whole, written at the end.
std::string JoinedAsHeld(const std::vector<std::string>& lines) {
  std::string joined, separator;
  for (const std::string& line : lines) {
    if (!joined.empty()) separator = (joined.back() == '>' || joined.back() == '<') ? "" : " ";
    joined += separator + line;
  }
  return joined + "\r\n";
}

TEST(LineOutput, JoinsWithABlankUnlessTheTextEndsWithABracket) {
  JoinState join;
  StringSink sink;
  const OutputOptions options{true, true};
  for (const char* line : {"", "<p>", "Hello", "", "world", "</p>", "<td>", "x"}) {
    OutputLine(line, options, join, sink);
  }
  FinishFile(options, join, sink);
  EXPECT_EQ(sink.text, "<p>Hello  world </p><td>x\r\n");
  EXPECT_FALSE(join.JoinedAnything);
  EXPECT_TRUE(join.JoinSeparator.empty());
}

TEST(LineOutput, JoinedTextWrittenAsItGrowsIsTheHeldOne) {
  std::mt19937 random(11);
  const char* pieces[] = {"", "<", ">", "a", " ", "<p>", "x<", ">y"};
  for (int round = 0; round < 5000; ++round) {
    std::vector<std::string> lines(random() % 8);
    for (std::string& line : lines) {
      for (std::size_t n = random() % 3; n > 0; --n) line += pieces[random() % std::size(pieces)];
    }
    JoinState join;
    StringSink sink;
    const OutputOptions options{true, false};
    for (const std::string& line : lines) OutputLine(line, options, join, sink);
    FinishFile(options, join, sink);
    EXPECT_EQ(sink.text, JoinedAsHeld(lines));
  }
}

TEST(LineOutput, DropsEmptyLinesOnlyWhenAsked) {
  for (bool drop : {false, true}) {
    JoinState join;
    StringSink sink;
    const OutputOptions options{false, drop};
    for (const char* line : {"a", "", " ", "b"}) OutputLine(line, options, join, sink);
    FinishFile(options, join, sink);
    EXPECT_EQ(sink.text, drop ? "a\r\n \r\nb\r\n" : "a\r\n\r\n \r\nb\r\n");
  }
}

// A stream through the run's reader and output one line at a time: what the lines of a block
// taken at once must give. As read, each line keeps its terminator and the joined one the last.
std::string OneLineAtATime(const std::string& data, const LinePipeline& pipeline,
                           const OutputOptions& output, bool as_read) {
  StringSource source(data);
  LineReader reader(source, LineReader::kBlockSize, as_read);
  StringSink sink;
  JoinState join;
  std::string line;
  std::string_view terminator = as_read ? std::string_view() : kCrLf;
  while (reader.ReadLine(line)) {
    pipeline.Apply(line);
    if (as_read) terminator = reader.Terminator();
    OutputLine(line, output, join, sink, terminator);
  }
  FinishFile(output, join, sink, terminator);
  return sink.text;
}

// Random pages of the tables' needles and their pieces, blanks, editors' meta tags that may close
// on a later line, and every kind of line end, in blocks of every size and reads of every length,
// with random boxes ticked (the user's texts and joining among them, which take a line at a time),
// in every build of the passes, under both rules of line ends, whole or shared among threads: the
// run writes the bytes of one line at a time.
TEST(WholeLines, GiveTheTextOfOneLineAtATime) {
  std::vector<std::string> pieces = {" ",
                                     "  ",
                                     "\r\n",
                                     "\r\n",
                                     "\r\n",
                                     "\r",
                                     "\n",
                                     "\r\n  ",
                                     "  \r\n",
                                     "<meta name=\"GENERATOR\"",
                                     "<meta name=ProgId\r\n>",
                                     "<meta name=ProgId\n>",
                                     "\n  ",
                                     "  \n",
                                     " content=\"x\">",
                                     "&nbsp;",
                                     "#FF0000",
                                     "<",
                                     ">"};
  for (const std::span<const PassRow> table :
       {std::span<const PassRow>(kEmptyTags), std::span<const PassRow>(kLogicalTags)}) {
    for (const PassRow& row : table) {
      pieces.emplace_back(row.needle);
      pieces.emplace_back(row.needle.substr(0, row.needle.size() / 2));
      pieces.emplace_back(row.needle.substr(row.needle.size() / 2));
    }
  }
  std::vector<const ScanningPasses*> builds = {&BaselineScanningPasses()};
  if (const ScanningPasses* avx2 = Avx2ScanningPasses()) builds.push_back(avx2);
  const int boxes[] = {1, 2, 3, 4, 7, 8, 9, 10, 11, 12, 13, 14};
  UserTexts texts;
  texts.find[0] = "b>";
  texts.replace[0] = "i>";
  texts.remove[0] = "\r\n";
  std::mt19937 random(2024);
  std::size_t whole = 0;
  for (int round = 0; round < 5000; ++round) {
    std::string data;
    for (std::size_t n = random() % (round % 2 == 0 ? 12 : 120); n > 0; --n) {
      data += pieces[random() % pieces.size()];
    }
    RunOptions options;
    for (const int box : boxes) {
      // Seldom the boxes that take a line at a time, so that most pages take whole lines.
      const bool ticked = box >= 12 ? random() % 6 == 0 : random() % 3 != 0;
      options.box[static_cast<std::size_t>(box)] = ticked ? 1 : 0;
    }
    const OutputOptions output{options.Ticked(Box::kJoinLines),
                               options.Ticked(Box::kDropEmptyLines)};
    const std::size_t block = round % 4 == 0 ? LineReader::kBlockSize : 1 + random() % 200;
    // Sometimes reads that stop short before the end, as a pipe gives them.
    const std::size_t piece =
        round % 3 == 0 ? 1 + random() % 64 : std::numeric_limits<std::size_t>::max();
    // Mostly texts shared among two to four threads from a few bytes on.
    const std::size_t shared_from = round % 5 == 0 ? 0 : 1 + random() % 256;
    const unsigned threads = 2 + random() % 3;
    for (const ScanningPasses* build : builds) {
      LinePipeline pipeline(options, texts, Encoding::Utf8, *build);
      pipeline.ShareFrom(shared_from, threads);
      for (const bool as_read : {false, true}) {
        StringSource source(data, piece);
        LineReader reader(source, block, as_read);
        StringSink sink;
        JoinState join;
        std::string line;
        OptimiseLines(reader, pipeline, output, as_read ? LineEndRule::kAsRead : LineEndRule::kCrLf,
                      join, line, sink);
        ASSERT_EQ(sink.text, OneLineAtATime(data, pipeline, output, as_read))
            << "block " << block << (as_read ? ", as read" : "") << ", page \"" << data << '"';
        whole += pipeline.EditsWithinLines() && !output.join_lines;
      }
    }
  }
  EXPECT_GT(whole, 4000u);
}

}  // namespace
}  // namespace slimtag
