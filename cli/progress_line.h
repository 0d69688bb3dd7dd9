#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

namespace slimtag {

// The one-line progress display on a terminal's standard error: pages done of the total, the
// bytes read so far and the page in hand. Redrawn at most ten times a second, so that a run over
// thousands of small pages is not slowed by the terminal; erased at the end. Does nothing when
// standard error is not a terminal.
class ProgressLine {
 public:
  using Clock = std::function<std::int64_t()>;  // milliseconds, steady
  static constexpr std::int64_t kRedrawInterval = 100;

  // width: the terminal's columns (0 when unknown); the line is cut to fit.
  ProgressLine(std::ostream& err, bool enabled, Clock now, int width);

  void SetTotal(std::int64_t pages) { total_ = pages; }
  void StartPage(const std::string& name);
  void FinishPage(std::int64_t size_before);
  // Prints a whole line (a page's figures) above the display.
  void PrintLine(const std::string& text);
  // Removes the display, at the end of the run.
  void Erase();

  // What the display shows now.
  std::string Text() const;

 private:
  void Draw();

  std::ostream& err_;
  bool enabled_;
  Clock now_;
  int width_;
  std::int64_t total_ = 0;
  std::int64_t done_ = 0;
  std::int64_t bytes_ = 0;
  std::string page_;
  bool shown_ = false;
  bool drawn_once_ = false;
  std::int64_t last_draw_ = 0;
};

// The steady clock in milliseconds.
std::int64_t SteadyMilliseconds();

}  // namespace slimtag
