#pragma once

#include <string>
#include <string_view>

namespace slimtag {

// Where finished lines go; the temporary file in a run, a string in tests.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void Write(std::string_view bytes) = 0;
  // A line and its terminator, which a sink may take in one write.
  virtual void WriteLine(std::string_view line, std::string_view terminator) {
    Write(line);
    Write(terminator);
  }
};

// What the output step reads of the option boxes.
struct OutputOptions {
  bool join_lines = false;        // Check14
  bool drop_empty_lines = false;  // Check3, only while Check14 is not ticked
};

// The text that joining carries from one line of a file to the next. The joined text itself is
// written as it grows: the separator before the next line depends only on its last byte, so
// that is all that is kept of it, and a page of any size joins in little memory.
struct JoinState {
  bool JoinedAnything = false;  // the joined text so far is not empty
  char JoinedLast = 0;          // its last byte
  std::string JoinSeparator;
};

// Where lines end. kCrLf, the window's rule: a CR or a CR LF ends a line, a LF alone stays inside
// it, and every line is written with CR LF. kAsRead: a LF, CR LF or CR ends a line, and each line
// is written back with the terminator it had (a last line without one gets none), so that pages
// written on Unix are edited line by line and keep every byte no pass changes. kByPage: each page
// by its own line ends, kAsRead where no CR LF ends a line in it (a page written on Unix), the
// window's rule on every other page.
enum class LineEndRule { kCrLf, kAsRead, kByPage };

// Finds whether a text fed in pieces holds a CR LF, one across two pieces too.
class CrLfFinder {
 public:
  void Feed(std::string_view bytes) {
    if (found_ || bytes.empty()) return;
    found_ = (cr_last_ && bytes.front() == '\n') || bytes.find("\r\n") != std::string_view::npos;
    cr_last_ = bytes.back() == '\r';
  }
  bool Found() const { return found_; }
  // The rule kByPage gives a text that holds a CR LF or not.
  LineEndRule Rule() const { return found_ ? LineEndRule::kCrLf : LineEndRule::kAsRead; }

 private:
  bool found_ = false;
  bool cr_last_ = false;
};

// The terminator of every written line under the window's rule.
inline constexpr std::string_view kCrLf = "\r\n";

// Writes the finished line with its terminator (CR LF under the window's rule, the one it was
// read with when lines keep theirs), drops it when empty and dropping is on, or joins it.
void OutputLine(std::string_view line, const OutputOptions& options, JoinState& join,
                ByteSink& sink, std::string_view terminator = kCrLf);

// At the end of a file: with joining on, ends the joined text, the file's one line, with the
// terminator and empties the join state; otherwise does nothing. A file without lines gets the
// terminator alone.
void FinishFile(const OutputOptions& options, JoinState& join, ByteSink& sink,
                std::string_view terminator = kCrLf);

}  // namespace slimtag
