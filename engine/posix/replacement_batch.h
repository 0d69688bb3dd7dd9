#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "committer.h"
#include "fd.h"
#include "new_content.h"
#include "page_file.h"

namespace slimtag::posix {

// Puts new content in place of pages, many at a time: each page's new file is written beside it,
// one sync makes the whole batch durable, then each is renamed over its page in list order. A
// page therefore holds its old or its new content at every moment, and its new content is on the
// disk before it replaces the old, at the cost of one sync per batch instead of one per page.
// Where a sync waits for a device, a batch is committed on a thread of its own while the next is
// prepared; the batches go in order, so pages are still replaced in list order, and a failure is
// reported by the next call.
class ReplacementBatch {
 public:
  ReplacementBatch();
  ~ReplacementBatch();  // what was not committed is dropped: those pages keep their old content
  ReplacementBatch(const ReplacementBatch&) = delete;
  ReplacementBatch& operator=(const ReplacementBatch&) = delete;

  // Puts the content of file in place of the page, now or with the batch, and returns the page's
  // new size. A file beside the page becomes its new file; the working directory's temporary
  // file is moved there where it can be (file.gone is set then), else copied. A page whose owner,
  // group, hard links or attributes a new file could not keep is rewritten in its own file,
  // after the pages before it have been committed.
  std::uint64_t Replace(std::unique_ptr<PosixPage> page, ContentFile& file);

  // A backup copy, complete under its passing name in its folder.
  struct Backup {
    std::shared_ptr<const Fd> folder;
    Fd file;
    std::string passing;
    std::string name;  // in folder
    std::string page;  // for warnings
    std::string copy;
    std::string folder_path;
  };
  // Names the copy with the batch: after the sync, before any page of the batch is replaced.
  void AddBackup(Backup backup);

  // Syncs and renames every backup and page prepared so far, and returns when they are in place;
  // on a failure the pages before the one that failed are replaced, that one and the rest keep
  // their old content.
  void Commit();
  // Makes the names given by the commits so far durable: a page replaced and its backup copy
  // stay so through a power cut.
  void MakeNamesDurable();
  // How many pages have been replaced since the run began.
  std::uint64_t Replaced() const { return state_.replaced.load(std::memory_order_acquire); }
  // Drops what was prepared and not yet handed to the commit thread.
  void Discard();
  // A run may work on another file system than the one before: what a sync costs is learnt anew.
  void BeginRun();

 private:
  struct Prepared;
  // What one commit puts in place.
  struct Batch {
    std::vector<std::unique_ptr<Prepared>> prepared;
    std::vector<Backup> backups;
    std::uint64_t bytes = 0;
    std::size_t Files() const { return prepared.size() + backups.size(); }
  };
  // What the commits tell the run, from whichever thread they run on.
  struct CommitState {
    std::atomic<bool> sync_waits{false};  // the last sync waited for a device
    std::atomic<std::uint64_t> replaced{0};
    std::mutex mutex;
    // The folders in which names were given since they were last made durable.
    std::map<const Fd*, std::pair<std::shared_ptr<const Fd>, std::string>> renamed_in;
    // By file system: whether its names are exchanged and what an exchange displaced is known by
    // its identity (not on overlayfs), so that the check after the exchange covers the name.
    std::map<dev_t, bool> exchange_checks_name;
  };
  // Gives p the content's file in the page's folder: as it is where it was written there, else
  // moved or copied from the working directory.
  static void PlaceBeside(const PosixPage& page, ContentFile& file, const struct stat& content,
                          Prepared& p);
  // Gives the page's name to its new file; throws kChanged, with the page as another program
  // left it, where the name no longer held the file that was read. Returns whether the names
  // were exchanged.
  static bool PutInPlace(Prepared& p);
  // Syncs and renames; the batch is empty afterwards, whether it succeeded or not.
  static void CommitBatch(Batch& batch, CommitState& state);
  // Makes every new file of the batch durable; returns the errno of a failure, 0 when done.
  static int MakeDurable(const Batch& batch);
  static void Drop(Batch& batch);
  // Commits the batch once it is large enough: here while no sync has waited for a device, else
  // on the commit thread, when that thread is idle or the batch full.
  void HandOffWhenDue();
  void HandOff();
  // After the commit thread's failure, the pages prepared since keep their old content.
  void ThrowCommitFailure();

  Batch batch_;
  std::size_t max_files_;  // in a batch, as the descriptors left to the run allow
  Committer committer_;
  CommitState state_;
};

}  // namespace slimtag::posix
