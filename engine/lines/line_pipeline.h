#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "helper_thread.h"
#include "passes/run_options.h"
#include "passes/scanning_passes.h"
#include "text/text_compare.h"

namespace slimtag {

// The ticked passes in the run's fixed order (kLinePasses, line_passes.h), prepared for pages of
// one encoding.
//
// A short line is first surveyed in one scan for the signs that the passes act on (line_passes.h),
// and a pass whose signs the line does not hold is not called: on the pages' many short lines the
// calls would cost more than the scan. A pass that changed the line counts as having formed the
// signs that its edits can form: the signs of several bytes after a deletion, every sign after
// the user's replacements. Where the ticked passes need no sign that takes a scan (trimming the
// ends alone, say), the line is not scanned at all.
class LinePipeline {
 public:
  LinePipeline(const RunOptions& options, const UserTexts& texts, Encoding encoding);
  // With the scanning passes of one build, which tests compare.
  LinePipeline(const RunOptions& options, const UserTexts& texts, Encoding encoding,
               const ScanningPasses& scanning);
  ~LinePipeline();
  LinePipeline(LinePipeline&&) noexcept;

  void Apply(std::string& line) const;
  bool Empty() const { return steps_.empty(); }

  // Whether ApplyToLines may be used: every ticked pass edits within a line, whatever stands
  // beside it. The user's texts may hold a line end, so their passes take one line at a time.
  bool EditsWithinLines() const { return within_lines_; }
  // Gives write the lines, whole lines each ended by a CR or a CR LF, each as Apply gives it
  // alone and ended by CR LF; with lf_ends_lines, each ended by a LF, a CR LF or a CR and keeping
  // it: the passes take the lines in one call each. Then drops the lines left empty where the
  // output is to (Check3). The lines come in pieces, in their order, the first in text: a text of
  // a length to share (ShareFrom) is cut at line ends into pieces of about the same length, which
  // the threads (this one and helpers) put through the passes side by side, and handing them over
  // piece by piece holds a block's output once, not twice. A pass's failure in any piece is thrown
  // here, and write is then not called.
  using PieceWriter = std::function<void(std::string_view)>;
  void ApplyToLines(std::string_view lines, std::string& text, bool drop_empty_lines,
                    bool lf_ends_lines, const PieceWriter& write) const;

  // The length from which ApplyToLines shares its text, and the number of threads that share it:
  // from kSharedLength among the processor's cores, up to kMostThreads, unless set (0 bytes or one
  // thread: never shared). Large enough that a share's passes take longer than handing it over.
  static constexpr std::size_t kSharedLength = std::size_t(8) << 10;
  static constexpr unsigned kMostThreads = 4;
  // The pieces: a few per thread, of at least kPieceLength bytes.
  static constexpr std::size_t kPieceLength = std::size_t(4) << 10;
  static constexpr std::size_t kPiecesPerThread = 4;
  void ShareFrom(std::size_t length, unsigned threads) {
    shared_from_ = length;
    threads_ = threads;
  }

  // Lines up to this length are surveyed; on longer ones every pass looks for itself.
  static constexpr std::size_t kSurveyedLength = 2048;

 private:
  struct Step {
    LinePass pass;
    LinePass lf_lines_pass;  // on lines that a LF ends too, where it differs
    std::uint32_t signs;     // the pass runs on a line holding one of these; 0: on every line
    std::uint32_t forms;     // the signs that its edits can form
    bool copied;             // done as ApplyToLines copies the lines
  };
  // The ticked steps on text, skipping those that a pass's signs rule out and, after a copy of
  // whole lines, those that the copy did.
  void RunSteps(std::string& text, std::uint32_t signs, bool after_copy,
                bool lf_ends_lines = false) const;
  // ApplyToLines on one thread.
  void ApplyToLinesHere(std::string_view lines, std::string& text, bool drop_empty_lines,
                        bool lf_ends_lines) const;

  const ScanningPasses& scanning_;
  std::vector<Step> steps_;
  bool scans_ = false;  // some ticked pass waits for a sign that only a scan of the line finds
  bool within_lines_ = true;
  BlankEdits copy_edits_;  // the steps that ApplyToLines does as it copies
  std::size_t shared_from_ = kSharedLength;
  unsigned threads_;
  // The helpers, started with the first text long enough to share, where each piece of it ends
  // and the lines of each piece but the first. One caller at a time shares its text; another
  // meanwhile does its whole text itself.
  struct Shares {
    std::mutex mutex;
    bool started = false;
    std::vector<std::unique_ptr<HelperThread>> helpers;
    std::vector<std::size_t> ends;
    std::vector<std::string> texts;
  };
  std::unique_ptr<Shares> shares_ = std::make_unique<Shares>();
};

}  // namespace slimtag
