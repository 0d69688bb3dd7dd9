#include "stream_filter.h"

#include <cerrno>
#include <new>
#include <string>

#include "batch_report.h"
#include "declared_encoding.h"
#include "messages.h"
#include "std_streams.h"
#include "stream_optimiser.h"

namespace slimtag {

namespace {

// The whole of standard input: the encoding of the user's texts and the page's line ends depend
// on every line.
std::string ReadAll(ByteSource& in) {
  std::string whole;
  std::string block(std::size_t(1) << 16, '\0');
  while (const std::size_t n = in.Read(block.data(), block.size())) whole.append(block, 0, n);
  return whole;
}

}  // namespace

int RunFilter(const BatchArguments& arguments, int in_fd, int out_fd, std::ostream& err) {
  FdSource in(in_fd);
  FdSink out(out_fd);
  std::int64_t size_before = 0;
  try {
    const UserTexts& texts = arguments.texts;
    const bool by_page = arguments.line_ends == LineEndRule::kByPage;
    if (texts.NeedsPageEncoding(arguments.options) || by_page) {
      const std::string whole = ReadAll(in);
      StringSource source(whole);
      CrLfFinder line_ends;
      line_ends.Feed(whole);
      const Encoding encoding =
          texts.NeedsPageEncoding(arguments.options) ? GuessEncoding(whole) : Encoding::Utf8;
      OptimiseStream(source, out, arguments.options, texts, encoding,
                     by_page ? line_ends.Rule() : arguments.line_ends);
      size_before = static_cast<std::int64_t>(whole.size());
    } else {
      OptimiseStream(in, out, arguments.options, texts, Encoding::Utf8, arguments.line_ends);
      size_before = static_cast<std::int64_t>(in.BytesRead());
    }
    out.Flush();
  } catch (const StreamError& e) {
    const bool reading = e.which == StreamError::Stream::kStandardInput;
    if (!reading && e.error == EPIPE) return kExitFailed;  // the reader went away: no word
    err << "slimtag-batch: не удалось " << (reading ? "прочитать " : "записать ") << e.stream
        << ": " << ReasonText(e.error) << "\n";
    return kExitFailed;
  } catch (const std::bad_alloc&) {
    err << "slimtag-batch: страница со стандартного ввода не помещается в памяти\n";
    return kExitFailed;
  }
  if (arguments.verbose) {
    const auto size_after = static_cast<std::int64_t>(out.BytesWritten());
    err << VerboseLine({"-", size_before, size_after}) << "\n";
    if (size_before > 0) {
      err << WithLineFeeds(StatisticsText(1, size_before, size_after,
                                          PercentRemoved(size_before, size_after)))
          << "\n";
    }
  }
  return kExitStatistics;
}

}  // namespace slimtag
