#include "line_output.h"

namespace slimtag {

namespace {
constexpr std::string_view kLineEnd = "\r\n";
}

void OutputLine(std::string_view line, const OutputOptions& options, JoinState& join,
                ByteSink& sink) {
  if (options.join_lines) {
    // The separator follows how the joined text ends, never how the next line begins.
    if (!join.JoinedText.empty()) {
      const char last = join.JoinedText.back();
      join.JoinSeparator = (last == '>' || last == '<') ? "" : " ";
    }
    join.JoinedText += join.JoinSeparator;
    join.JoinedText += line;
    return;
  }
  if (options.drop_empty_lines && line.empty()) return;
  sink.Write(line);
  sink.Write(kLineEnd);
}

void FinishFile(const OutputOptions& options, JoinState& join, ByteSink& sink) {
  if (!options.join_lines) return;
  sink.Write(join.JoinedText);
  sink.Write(kLineEnd);
  join.JoinedText.clear();
  join.JoinedText.shrink_to_fit();  // a joined page may have been large
  join.JoinSeparator.clear();
}

}  // namespace slimtag
