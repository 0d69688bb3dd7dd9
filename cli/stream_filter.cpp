#include "stream_filter.h"

#include <cerrno>
#include <new>
#include <optional>
#include <string>

#include "batch_report.h"
#include "run/messages.h"
#include "run/stream_optimiser.h"
#include "std_streams.h"

namespace slimtag {

namespace {

// The whole of standard input.
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
  std::optional<LeftAlone> left_alone;
  try {
    // Held whole: a NUL byte anywhere makes it a page to leave as it is, and the encoding of the
    // user's texts and the page's line ends depend on every line.
    const std::string whole = ReadAll(in);
    size_before = static_cast<std::int64_t>(whole.size());
    left_alone = OptimiseWhole(whole, out, arguments.options, arguments.texts, arguments.line_ends);
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
  if (left_alone) {
    // Not a failure: the page went through as it is, and the user is told why.
    err << "slimtag-batch: -: " << LeftAlonePageText(*left_alone) << "\n";
    return kExitStatistics;
  }
  if (arguments.verbose) {
    const auto size_after = static_cast<std::int64_t>(out.BytesWritten());
    err << VerboseLine({"-", size_before, size_after}) << "\n";
    RunStats stats;
    stats.AddPage(size_before, size_after);
    if (!stats.NothingSelected()) err << WithLineFeeds(StatisticsText(stats)) << "\n";
  }
  return kExitStatistics;
}

}  // namespace slimtag
