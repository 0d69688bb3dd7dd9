#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform.h"
#include "run_host.h"
#include "run_stats.h"

namespace slimtag {

// The pages of a run on their way through it: to be done, prepared (their new content waiting to
// replace them), reported once the platform has replaced them, failed (told in list order with
// the pages done) or dropped with a batch that failed on another page and so to be done again.
class PageLedger {
 public:
  // An entry of the list on its way: to be done, done again, or told as failed.
  struct Work {
    std::string name;
    // How often its new content was dropped with a batch that failed on another page.
    int attempt = 0;
    std::optional<FileError> failure;
  };

  void Clear();
  void Add(std::string name) { work_.push_back({std::move(name), 0, std::nullopt}); }
  // The next entry of the list, taken from it; none once the list is done.
  std::optional<Work> Next();

  // The page in hand: its path as failures name it, then its file once opened.
  void StartPage(std::string path);
  void PageOpened(const FileIdentity& file) { current_file_ = file; }
  // Whether the page's file is done already in this run (a link to a page of the list, a second
  // name of it), and not among those whose new content was dropped.
  bool DoneEarlier(const FileIdentity& file, bool rewritten_earlier);
  // Whether a page left as it is (not text) is met for the first time: a second name of its file
  // is not told again.
  bool FirstTimeLeftAlone(const FileIdentity& file) { return left_alone_.insert(Key(file)).second; }
  // The page in hand waits in a batch: it is counted once replaced.
  void Prepared(const Work& work, std::int64_t size_before, std::int64_t size_after);
  // A page that failed before: told once the pages before it are.
  void Failed(const Work& work);

  // Counts into stats and tells the pages replaced since the last call, replaced being how many
  // the platform has replaced in the run, and the failed ones between them.
  void Report(std::uint64_t replaced, RunHost& host, RunStats& stats);
  // The run stops: the pages that failed and wait to be told are told, and nothing is left.
  void TellFailedAndForget(RunHost& host);
  // After failures with nothing waiting in a batch: puts back in the list, in list order, each
  // prepared page (and the page in hand, when there is one): as failed where a failure names it,
  // else to be done again. Returns the failures that named no such page.
  std::vector<FileError> PutBack(const std::vector<FileError>& failures, const Work* current);

 private:
  // A page whose new content waits to replace it; or, with keep_going, a page that failed.
  struct Waiting {
    std::string name;
    std::int64_t size_before = 0;
    std::int64_t size_after = 0;
    std::string path;
    std::optional<FileIdentity> file;
    int attempt = 0;
    std::optional<FileError> failure;
  };
  using FileKey = std::pair<std::uint64_t, std::uint64_t>;
  static FileKey Key(const FileIdentity& file) { return {file.device, file.inode}; }

  std::deque<Work> work_;
  std::deque<Waiting> prepared_;
  std::uint64_t reported_ = 0;  // pages replaced and reported
  std::string current_path_;
  std::optional<FileIdentity> current_file_;
  // Files whose new content was dropped: marked rewritten by the platform, yet to be done again.
  std::set<FileKey> dropped_;
  std::set<FileKey> left_alone_;
};

}  // namespace slimtag
