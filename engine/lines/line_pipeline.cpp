#include "line_pipeline.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <functional>
#include <thread>

#include "passes/line_passes.h"

namespace slimtag {

namespace {

// The pass of a row's function of the line. Each of these functions changes the length of the
// line whenever it changes the line: they delete, or replace by shorter text.
LinePass FunctionPassOf(void (*edit)(std::string&)) {
  return [edit](std::string& line) {
    const std::size_t before = line.size();
    edit(line);
    return line.size() != before;
  };
}

// Where text of whole lines can be cut into two texts of whole lines, at the first line end from
// from on; the text's size where no line ends there before the text's last. A line ends with a CR,
// a CR LF, or with lf_ends_lines a LF.
std::size_t CutFrom(std::string_view text, std::size_t from, bool lf_ends_lines) {
  const std::size_t end = text.find_first_of(lf_ends_lines ? "\r\n" : "\r", from);
  if (end == std::string_view::npos) return text.size();
  std::size_t cut = end + 1;
  if (text[end] == '\r' && cut < text.size() && text[cut] == '\n') ++cut;
  return cut;
}

unsigned ThreadsOfTheProcessor() {
  return std::clamp(std::thread::hardware_concurrency(), 1u, LinePipeline::kMostThreads);
}

}  // namespace

LinePipeline::LinePipeline(const RunOptions& options, const UserTexts& texts, Encoding encoding)
    : LinePipeline(options, texts, encoding, FastestScanningPasses()) {}

LinePipeline::LinePipeline(const RunOptions& options, const UserTexts& texts, Encoding encoding,
                           const ScanningPasses& scanning)
    : scanning_(scanning), threads_(ThreadsOfTheProcessor()) {
  for (std::size_t i = 0; i < kLinePassCount; ++i) {
    // What the builds share: every row but its edit.
    const LinePassRow& row = kLinePasses[i];
    if (!options.Ticked(row.box)) continue;
    // The rows that edit runs of blanks, which a copy of whole lines does as it goes.
    copy_edits_.Add(row.copied);
    LinePass pass;
    LinePass lf_lines_pass;
    if (row.make != nullptr) {
      pass = row.make(texts, encoding);
      within_lines_ = false;
    } else {
      pass = FunctionPassOf(scanning.edits[i]);
      if (scanning.lf_lines_edits[i] != scanning.edits[i]) {
        lf_lines_pass = FunctionPassOf(scanning.lf_lines_edits[i]);
      }
    }
    steps_.push_back({std::move(pass), std::move(lf_lines_pass), sign::kByRow[i],
                      sign::Formed(row.forms), row.copied != CopiedAs::kNot});
    scans_ = scans_ || (sign::kByRow[i] & sign::kScanned) != 0;
  }
}

LinePipeline::~LinePipeline() = default;
LinePipeline::LinePipeline(LinePipeline&&) noexcept = default;

void LinePipeline::Apply(std::string& line) const {
  // No pass changes an empty line.
  if (steps_.empty() || line.empty()) return;
  RunSteps(line,
           line.size() > kSurveyedLength ? sign::kEvery
           : scans_                      ? scanning_.survey_line(line)
                                         : EndSigns(line),
           false);
}

void LinePipeline::ApplyToLines(std::string_view lines, std::string& text, bool drop_empty_lines,
                                bool lf_ends_lines, const PieceWriter& write) const {
  const unsigned threads = shared_from_ != 0 && lines.size() >= shared_from_ ? threads_ : 1;
  std::unique_lock lock(shares_->mutex, std::defer_lock);
  if (threads < 2 || !lock.try_lock()) {
    ApplyToLinesHere(lines, text, drop_empty_lines, lf_ends_lines);
    write(text);
    return;
  }
  std::vector<std::unique_ptr<HelperThread>>& helpers = shares_->helpers;
  // Started once: where a thread cannot be started, trying again for every block would cost a
  // call each time.
  if (!shares_->started) {
    shares_->started = true;
    while (helpers.size() + 1 < threads) {
      std::unique_ptr<HelperThread> helper = HelperThread::Start();
      if (!helper) break;
      helpers.push_back(std::move(helper));
    }
  }
  // Every line goes through the passes alone, so pieces of whole lines give the lines of the
  // whole. The threads take the pieces one at a time, so that a helper that wakes late takes
  // fewer; this thread does the first into text, the others go to texts by piece.
  const std::size_t count =
      std::clamp<std::size_t>(lines.size() / kPieceLength, 1, kPiecesPerThread * threads);
  std::vector<std::size_t>& ends = shares_->ends;
  ends.clear();
  for (std::size_t i = 1; i <= count; ++i) {
    const std::size_t start = ends.empty() ? 0 : ends.back();
    const std::size_t end =
        i == count ? lines.size()
                   : CutFrom(lines, std::max(start, lines.size() * i / count), lf_ends_lines);
    if (end > start) ends.push_back(end);
    if (end == lines.size()) break;
  }
  std::vector<std::string>& texts = shares_->texts;
  if (texts.size() < ends.size()) texts.resize(ends.size());
  const auto piece = [&](std::size_t i) {
    const std::size_t start = i == 0 ? 0 : ends[i - 1];
    return lines.substr(start, ends[i] - start);
  };
  std::atomic<std::size_t> next{1};
  const auto take_pieces = [&] {
    for (std::size_t i; (i = next.fetch_add(1)) < ends.size();) {
      ApplyToLinesHere(piece(i), texts[i], drop_empty_lines, lf_ends_lines);
    }
  };
  const std::size_t posted = std::min(helpers.size(), ends.size() - 1);
  for (std::size_t i = 0; i < posted; ++i) helpers[i]->Post(take_pieces);
  std::exception_ptr failure;
  try {
    ApplyToLinesHere(piece(0), text, drop_empty_lines, lf_ends_lines);
    take_pieces();
  } catch (...) {
    failure = std::current_exception();
  }
  // Each helper reads the lines and writes its pieces until it has finished.
  for (std::size_t i = 0; i < posted; ++i) {
    try {
      helpers[i]->Wait();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  if (failure) std::rethrow_exception(failure);
  write(text);
  for (std::size_t i = 1; i < ends.size(); ++i) write(texts[i]);
}

void LinePipeline::ApplyToLinesHere(std::string_view lines, std::string& text,
                                    bool drop_empty_lines, bool lf_ends_lines) const {
  // The first steps as the lines are copied; the survey then sees what they formed.
  scanning_.copy_whole_lines(lines, text, copy_edits_, lf_ends_lines);
  RunSteps(text,
           text.size() > kSurveyedLength || !scans_ ? sign::kEvery : scanning_.survey_line(text),
           true, lf_ends_lines);
  if (drop_empty_lines) scanning_.drop_empty_lines(text, lf_ends_lines);
}

void LinePipeline::RunSteps(std::string& text, std::uint32_t signs, bool after_copy,
                            bool lf_ends_lines) const {
  for (const Step& step : steps_) {
    if ((after_copy && step.copied) || (step.signs != 0 && (signs & step.signs) == 0)) continue;
    const LinePass& pass = lf_ends_lines && step.lf_lines_pass ? step.lf_lines_pass : step.pass;
    if (pass(text)) signs |= step.forms;
  }
}

}  // namespace slimtag
