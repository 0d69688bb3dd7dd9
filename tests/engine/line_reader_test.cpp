#include "line_reader.h"

#include <gtest/gtest.h>

#include <string>
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

TEST(LineOutput, JoinsWithABlankUnlessTheTextEndsWithABracket) {
  JoinState join;
  StringSink sink;
  const OutputOptions options{true, true};
  for (const char* line : {"", "<p>", "Hello", "", "world", "</p>", "<td>", "x"}) {
    OutputLine(line, options, join, sink);
  }
  EXPECT_EQ(sink.text, "");
  FinishFile(options, join, sink);
  EXPECT_EQ(sink.text, "<p>Hello  world </p><td>x\r\n");
  EXPECT_TRUE(join.JoinedText.empty());
  EXPECT_TRUE(join.JoinSeparator.empty());
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
