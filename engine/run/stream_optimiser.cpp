#include "stream_optimiser.h"

#include "lines/utf16.h"
#include "text/declared_encoding.h"

namespace slimtag {

void OptimiseLines(LineReader& reader, const LinePipeline& pipeline, const OutputOptions& output,
                   LineEndRule rule, JoinState& join, std::string& line, ByteSink& sink) {
  const bool as_read = rule == LineEndRule::kAsRead;
  // Under the window's rule every line ends with CR LF, the joined one too, even in an empty
  // page; as read, the joined line takes the page's last terminator.
  std::string_view last = as_read ? std::string_view() : kCrLf;
  // The lines that a block holds whole go through the passes and out together where nothing ties
  // a line to the ones beside it: the written text is the same, a line at a time or at once.
  const bool whole_lines = !output.join_lines && pipeline.EditsWithinLines();
  for (;;) {
    if (whole_lines) {
      if (const std::string_view lines = reader.ReadWholeLines(); !lines.empty()) {
        pipeline.ApplyToLines(lines, line, output.drop_empty_lines, as_read,
                              [&sink](std::string_view piece) { sink.Write(piece); });
        continue;
      }
    }
    if (!reader.ReadLine(line)) break;
    pipeline.Apply(line);
    if (as_read) last = reader.Terminator();
    OutputLine(line, output, join, sink, last);
  }
  FinishFile(output, join, sink, last);
}

namespace {

class ViewSource : public ByteSource {
 public:
  explicit ViewSource(std::string_view text) : text_(text) {}
  std::size_t Read(char* buffer, std::size_t size) override {
    const std::size_t n = text_.copy(buffer, size);
    text_.remove_prefix(n);
    return n;
  }

 private:
  std::string_view text_;
};

}  // namespace

std::optional<LeftAlone> OptimiseWhole(std::string_view page, ByteSink& out,
                                       const RunOptions& options, const UserTexts& texts,
                                       LineEndRule rule) {
  PageSurvey survey(texts.NeedsPageEncoding(options), rule);
  survey.Feed(page);
  const PageKind kind = survey.Result();
  if (kind.left_alone) {
    out.Write(page);
    return kind.left_alone;
  }
  ViewSource source(page);
  PageText text(source, out, kind.utf16);
  OptimiseStream(text.In(), text.Out(), options, texts, kind.encoding, kind.line_ends);
  return std::nullopt;
}

void OptimiseStream(ByteSource& in, ByteSink& out, const RunOptions& options,
                    const UserTexts& texts, Encoding encoding, LineEndRule rule) {
  const LinePipeline pipeline(options, texts, encoding);
  LineReader reader(in, LineReader::kBlockSize, rule == LineEndRule::kAsRead);
  JoinState join;
  std::string line;
  OptimiseLines(
      reader, pipeline,
      OutputOptions{options.Ticked(Box::kJoinLines), options.Ticked(Box::kDropEmptyLines)}, rule,
      join, line, out);
}

}  // namespace slimtag
