#pragma once

// A run host for tests: a file list, option boxes and fields set by the test, and a record of
// everything the run shows (title, pointer, messages, refreshes) in the order it happened.

#include <array>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "run_host.h"

namespace slimtag::testing {

// What the host and the platform saw, in one sequence, so that a test can tell what came before
// what.
struct Timeline {
  std::vector<std::string> events;
  void Add(std::string event) { events.push_back(std::move(event)); }
};

inline std::string TitleEvent(const std::string& title) {
  return "title " + title;
}
inline std::string PointerEvent(bool busy) {
  return busy ? "pointer busy" : "pointer normal";
}
inline std::string MessageEvent(const std::string& text, MessageIcon icon) {
  return (icon == MessageIcon::kWarning ? "warning " : "information ") + text;
}
inline const char* const kRefreshEvent = "refresh";

class FakeHost : public RunHost {
 public:
  struct Entry {
    std::string name;
    bool selected = true;
  };

  FakeHost(Timeline& timeline, std::string folder) : timeline_(timeline), folder_(folder) {
    list_path_ = std::move(folder);
  }

  FakeHost& AddEntry(std::string name, bool selected = true) {
    entries_.push_back({std::move(name), selected});
    return *this;
  }
  FakeHost& Check(int box, int state = 1) {
    boxes_.at(static_cast<std::size_t>(box)) = state;
    return *this;
  }
  FakeHost& Field(int field, std::string text) {
    fields_.at(static_cast<std::size_t>(field)) = std::move(text);
    return *this;
  }
  FakeHost& SetVersion(VersionNumbers version) {
    version_ = version;
    return *this;
  }
  FakeHost& SetListPath(std::string path) {
    list_path_ = std::move(path);
    return *this;
  }
  FakeHost& SetLineEnds(LineEndRule rule) {
    line_ends_ = rule;
    return *this;
  }

  std::string FolderPath() const override { return folder_; }
  std::string ListPath() const override { return list_path_; }
  int EntryCount() const override { return static_cast<int>(entries_.size()); }
  std::string EntryName(int index) const override {
    return entries_.at(static_cast<std::size_t>(index)).name;
  }
  bool EntrySelected(int index) const override {
    return entries_.at(static_cast<std::size_t>(index)).selected;
  }
  void RefreshList() override { timeline_.Add(kRefreshEvent); }
  int CheckState(int box) const override { return boxes_.at(static_cast<std::size_t>(box)); }
  std::string FieldText(int field) const override {
    return fields_.at(static_cast<std::size_t>(field));
  }
  void SetTitle(const std::string& title) override {
    title_ = title;
    timeline_.Add(TitleEvent(title));
    if (on_title) on_title(title);
  }
  // Called with each title as it is shown: another program at work while the run is.
  std::function<void(const std::string&)> on_title;
  void SetBusyPointer(bool busy) override {
    busy_ = busy;
    timeline_.Add(PointerEvent(busy));
  }
  void ShowMessage(const std::string& text, MessageIcon icon) override {
    messages_.emplace_back(text, icon);
    timeline_.Add(MessageEvent(text, icon));
  }
  VersionNumbers Version() const override { return version_; }
  LineEndRule LineEnds() const override { return line_ends_; }
  void PageDone(const std::string& name, std::int64_t before, std::int64_t after) override {
    pages_done_.push_back(name + " " + std::to_string(before) + " " + std::to_string(after));
  }
  // "name before after" of each page done, in order.
  const std::vector<std::string>& PagesDone() const { return pages_done_; }

  const std::string& Title() const { return title_; }
  bool Busy() const { return busy_; }
  const std::vector<std::pair<std::string, MessageIcon>>& Messages() const { return messages_; }

 private:
  Timeline& timeline_;
  std::string folder_;
  std::string list_path_;
  std::vector<Entry> entries_;
  std::array<int, 15> boxes_{};
  std::array<std::string, 16> fields_;
  VersionNumbers version_{2, 5, 22};
  std::string title_;
  bool busy_ = false;
  std::vector<std::pair<std::string, MessageIcon>> messages_;
  LineEndRule line_ends_ = LineEndRule::kCrLf;
  std::vector<std::string> pages_done_;
};

}  // namespace slimtag::testing
