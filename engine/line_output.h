#pragma once

#include <string>
#include <string_view>

namespace slimtag {

// Where finished lines go; the temporary file in a run, a string in tests.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Write(std::string_view bytes) = 0;
};

// What the output step reads of the option boxes.
struct OutputOptions {
  bool join_lines = false;         // Check14
  bool drop_empty_lines = false;   // Check3, only while Check14 is not ticked
};

// The text that joining carries from one line of a file to the next.
struct JoinState {
  std::string JoinedText;
  std::string JoinSeparator;
};

// Writes the finished line with CR LF, drops it when empty and dropping is on, or joins it.
void OutputLine(std::string_view line, const OutputOptions& options, JoinState& join,
                ByteSink& sink);

// At the end of a file: with joining on, writes the joined text as the file's one line and
// empties the join state; otherwise does nothing.
void FinishFile(const OutputOptions& options, JoinState& join, ByteSink& sink);

}  // namespace slimtag
