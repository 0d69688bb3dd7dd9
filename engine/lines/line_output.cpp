#include "line_output.h"

namespace slimtag {

void OutputLine(std::string_view line, const OutputOptions& options, JoinState& join,
                ByteSink& sink, std::string_view terminator) {
  if (options.join_lines) {
    // The separator follows how the joined text ends, never how the next line begins.
    if (join.JoinedAnything) {
      const char last = join.JoinedLast;
      join.JoinSeparator.clear();
      if (last != '>' && last != '<') join.JoinSeparator.push_back(' ');
    }
    if (!join.JoinSeparator.empty()) {
      sink.Write(join.JoinSeparator);
      join.JoinedLast = join.JoinSeparator.back();
      join.JoinedAnything = true;
    }
    if (!line.empty()) {
      sink.Write(line);
      join.JoinedLast = line.back();
      join.JoinedAnything = true;
    }
    return;
  }
  if (options.drop_empty_lines && line.empty()) return;
  sink.WriteLine(line, terminator);
}

void FinishFile(const OutputOptions& options, JoinState& join, ByteSink& sink,
                std::string_view terminator) {
  if (!options.join_lines) return;
  sink.Write(terminator);
  join = JoinState{};
}

}  // namespace slimtag
