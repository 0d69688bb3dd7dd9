#include "line_reader.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "line_output.h"

namespace slimtag {
namespace {

class StringSource : public ByteSource {
 public:
  explicit StringSource(std::string data) : data_(std::move(data)) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    const std::size_t n = std::min(size, data_.size() - pos_);
    data_.copy(buffer, n, pos_);
    pos_ += n;
    return n;
  }

 private:
  std::string data_;
  std::size_t pos_ = 0;
};

class StringSink : public ByteSink {
 public:
  void Write(std::string_view bytes) override { text += bytes; }
  std::string text;
};

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

}  // namespace
}  // namespace slimtag
