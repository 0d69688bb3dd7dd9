#pragma once

// A front end for tests: a file list, option boxes and fields set by the test, and a record of
// everything the run tells it, in the order it happened.

#include <array>
#include <atomic>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "run/run_host.h"

namespace slimtag::testing {

// What the host and the platform saw, in one sequence, so that a test can tell what came before
// what.
struct Timeline {
  std::vector<std::string> events;
  void Add(std::string event) { events.push_back(std::move(event)); }
};

inline std::string StartedEvent(const std::string& name) {
  return "started " + name;
}
inline std::string MessageEvent(const std::string& text, MessageIcon icon) {
  return (icon == MessageIcon::kWarning ? "warning " : "information ") + text;
}

class FakeHost : public RunHost {
 public:
  // As the window asks: each page's new content through slimtag.tmp in the working directory.
  FakeHost(Timeline& timeline, std::string folder) : timeline_(timeline) {
    request_.temp_file = kTempFileName;
    request_.folder = folder;
    request_.list_folder = std::move(folder);
  }

  FakeHost& AddEntry(std::string name, bool selected = true) {
    request_.entries.push_back({std::move(name), selected});
    return *this;
  }
  FakeHost& Check(int box, int state = 1) {
    request_.options.box.at(static_cast<std::size_t>(box)) = state;
    return *this;
  }
  // The window's field TextN: 1 to 6 the replacement pairs, 13 to 15 the removal texts.
  FakeHost& Field(int field, std::string text) {
    UserTexts& t = request_.texts;
    if (field >= 13) {
      t.remove.at(std::size_t(field - 13)) = std::move(text);
    } else {
      (field % 2 == 1 ? t.find : t.replace).at(std::size_t((field - 1) / 2)) = std::move(text);
    }
    return *this;
  }
  FakeHost& SetListPath(std::string path) {
    request_.list_folder = std::move(path);
    return *this;
  }
  FakeHost& SetLineEnds(LineEndRule rule) {
    request_.line_ends = rule;
    return *this;
  }
  // As the batch tool asks: each page's new content beside it, and the run going on past a page
  // that fails.
  FakeHost& KeepGoingBesideEachPage() {
    request_.temp_file.clear();
    request_.keep_going = true;
    return *this;
  }
  // The flag the run reads before each page.
  FakeHost& SetStop(const std::atomic<bool>* stop) {
    request_.stop = stop;
    return *this;
  }
  const RunRequest& Request() const { return request_; }

  void PageStarted(const std::string& name) override {
    last_started_ = name;
    timeline_.Add(StartedEvent(name));
    if (on_started) on_started(name);
  }
  // Called with each page as it is started: another program at work while the run is.
  std::function<void(const std::string&)> on_started;
  void PageDone(const std::string& name, std::int64_t before, std::int64_t after) override {
    pages_done_.push_back(name + " " + std::to_string(before) + " " + std::to_string(after));
    page_ends_.push_back("done " + pages_done_.back());
  }
  void PageFailed(const std::string& name, const FileError& error) override {
    page_ends_.push_back("failed " + name);
    failures_.push_back(error);
  }
  void RunFinished(const RunResult& result) override {
    results_.push_back(result);
    timeline_.Add(MessageEvent(result.message, result.icon));
  }

  // "name before after" of each page done, in order.
  const std::vector<std::string>& PagesDone() const { return pages_done_; }
  // "done name before after" and "failed name", in the order told.
  const std::vector<std::string>& PageEnds() const { return page_ends_; }
  // What each failed page was told with, in order.
  const std::vector<FileError>& Failures() const { return failures_; }
  // The entry name of the last page started; empty before any.
  const std::string& LastStarted() const { return last_started_; }
  // The message of each run that finished, with its icon.
  std::vector<std::pair<std::string, MessageIcon>> Messages() const {
    std::vector<std::pair<std::string, MessageIcon>> messages;
    for (const RunResult& r : results_) messages.emplace_back(r.message, r.icon);
    return messages;
  }
  const std::vector<RunResult>& Results() const { return results_; }

 private:
  Timeline& timeline_;
  RunRequest request_;
  std::string last_started_;
  std::vector<std::string> pages_done_;
  std::vector<std::string> page_ends_;
  std::vector<FileError> failures_;
  std::vector<RunResult> results_;
};

}  // namespace slimtag::testing
