#include "optimisation_run.h"

#include <cerrno>
#include <functional>
#include <iterator>
#include <memory>
#include <new>

#include "declared_encoding.h"
#include "line_reader.h"
#include "messages.h"
#include "replace_all.h"
#include "stream_optimiser.h"

namespace slimtag {

namespace {

// Where the listing found the folder of the entries below sub_folder, when it says.
const FileIdentity* Listed(const RunRequest& request, const std::string& sub_folder) {
  const auto it = request.listed_folders.find(sub_folder);
  return it == request.listed_folders.end() ? nullptr : &it->second;
}

// A failure after which the run cannot go on with its next page: its folders, its backup folder,
// its temporary file, the names it gave, or a page left half rewritten for the next run to
// complete.
bool StopsTheRun(const FileError& error, const RunRequest& request) {
  using Op = FileError::Operation;
  switch (error.operation) {
    case Op::kCreateFolder:
    case Op::kTempLocked:
    case Op::kTempUnsafe:
    case Op::kDeleteTemp:
    case Op::kOverwrite:
    case Op::kRecover:
    case Op::kOpenFolder:
    case Op::kFolderChanged:
    case Op::kFolderBusy:
    case Op::kSyncFolder:
      return true;
    case Op::kCreateTemp:
      // The run's one temporary file; a file beside the page is the page's own.
      return !request.temp_file.empty();
    default:
      return false;
  }
}

std::pair<std::uint64_t, std::uint64_t> Key(const FileIdentity& file) {
  return {file.device, file.inode};
}

}  // namespace

void Optimiser::MakeBackupStamp() {
  std::string stamp = platform_.TimeOfDayText();
  ReplaceAll(stamp, ":", "'", Encoding::Utf8);
  state_.BackupStamp = std::move(stamp);
}

std::shared_ptr<Folder> Optimiser::MakeBackupFolder(Folder& parent) {
  // The stamp holds no date, so the name may be taken by an earlier run: never reuse it.
  const std::string base = "~backup_" + state_.BackupStamp;
  std::string name = base;
  for (int n = 2;; ++n) {
    if (auto made = platform_.CreateFolder(parent, name)) return made;
    name = base + "_" + std::to_string(n);
  }
}

Folder& Optimiser::BackupFolderFor(const std::string& sub_folder, int attempt) {
  auto [at, made] = backup_folders_.try_emplace({sub_folder, attempt});
  if (made) {
    Folder& parent = sub_folder.empty() && list_folder_ ? *list_folder_ : *folders_.at(sub_folder);
    at->second = MakeBackupFolder(parent);
  }
  return *at->second;
}

Folder& Optimiser::PageFolder(const RunRequest& request, const std::string& sub_folder) {
  if (const auto held = folders_.find(sub_folder); held != folders_.end()) return *held->second;
  // Down from the nearest folder held, one name at a time and never through a link, each folder
  // the one the listing saw.
  const std::size_t slash = sub_folder.find_last_of('/');
  const std::string parent = slash == std::string::npos ? "" : sub_folder.substr(0, slash);
  Folder& above = PageFolder(request, parent);
  const std::string name = sub_folder.substr(slash == std::string::npos ? 0 : slash + 1);
  auto folder = platform_.OpenSubFolder(above, name, Listed(request, sub_folder), true);
  for (Recovery& r : platform_.RecoverFolder(*folder)) recovered_.push_back(std::move(r));
  return *folders_.emplace(sub_folder, std::move(folder)).first->second;
}

char* Optimiser::ReadBlock() {
  // One block for the run's reads, not zeroed: a small page touches only the start of it.
  if (!read_block_) read_block_.reset(new char[LineReader::kBlockSize]);
  return read_block_.get();
}

void Optimiser::ScanPage(Page& page, const std::function<bool(std::string_view)>& feed) {
  const auto source = page.Read();
  char* block = ReadBlock();
  for (;;) {
    const std::size_t n = source->Read(block, LineReader::kBlockSize);
    if (n == 0 || !feed(std::string_view(block, n))) return;
  }
}

LineEndRule Optimiser::PageLineEnds(Page& page, std::unique_ptr<ByteSource>& source,
                                    std::size_t& read) {
  CrLfFinder finder;
  read = 0;
  if (page.Size() <= LineReader::kBlockSize) {
    // Most pages: the block that tells their line ends is the one the reader then reads.
    read = source->Read(ReadBlock(), LineReader::kBlockSize);
    if (read == page.Size()) {
      finder.Feed(std::string_view(ReadBlock(), read));
      return finder.Rule();
    }
    read = 0;
    source = page.Read();
  }
  ScanPage(page, [&](std::string_view bytes) {
    finder.Feed(bytes);
    return !finder.Found();
  });
  return finder.Rule();
}

Encoding Optimiser::PageEncoding(Page& page) {
  EncodingGuess guess;
  ScanPage(page, [&](std::string_view bytes) {
    guess.Feed(bytes);
    return !guess.Decided();
  });
  return guess.Result();
}

const LinePipeline& Optimiser::PipelineFor(Encoding encoding, const RunOptions& options,
                                           const UserTexts& texts) {
  auto& slot = pipelines_[encoding == Encoding::Utf8 ? 0 : 1];
  if (!slot) slot.emplace(options, texts, encoding);
  return *slot;
}

void Optimiser::ProcessPage(const RunRequest& request, RunHost& host, const Work& work) {
  const std::string& name = work.name;
  current_path_.clear();
  current_file_.reset();
  host.PageStarted(name);
  // An entry below the folder ("sub/page.htm") has its folder's own backup folder and recovery.
  const std::size_t slash = name.find_last_of('/');
  const std::string sub_folder = slash == std::string::npos ? "" : name.substr(0, slash);
  const std::string base_name = name.substr(slash + 1);
  Folder& folder = PageFolder(request, sub_folder);
  const std::string path = JoinPath(folder.Path(), base_name);
  current_path_ = path;
  std::unique_ptr<Page> page = platform_.OpenPage(folder, base_name);
  const FileIdentity file = page->Identity();
  current_file_ = file;
  // A link to a page of the list, or a second name of it: its one file is done once, and its
  // backup holds what it was before the run. A file whose new content was dropped is not done.
  if (page->RewrittenEarlier() && (dropped_.empty() || dropped_.erase(Key(file)) == 0)) return;
  if (request.options.Ticked(Box::kBackup)) {
    page->BackUpTo(BackupFolderFor(sub_folder, work.attempt), base_name);
  }
  try {
    const auto before = static_cast<std::int64_t>(page->Size());
    const auto after = static_cast<std::int64_t>(Rewrite(request, std::move(page)));
    // Counted once it is replaced, which may be later, with its batch.
    prepared_.push_back({name, before, after, path, file, work.attempt, std::nullopt});
  } catch (const std::bad_alloc&) {
    // A page too large for memory (one line of gigabytes, or joined): it stays as it was.
    state_.CurrentLine = std::string();
    throw FileError(FileError::Operation::kOutOfMemory, path, 0);
  }
  ReportReplaced(host);
}

std::uint64_t Optimiser::Rewrite(const RunRequest& request, std::unique_ptr<Page> page) {
  const RunOptions& options = request.options;
  // Only the user's own texts can tell the two encodings apart; the fixed needles are ASCII.
  const Encoding encoding =
      request.texts.NeedsPageEncoding(options) ? PageEncoding(*page) : Encoding::Utf8;
  const LinePipeline& pipeline = PipelineFor(encoding, options, request.texts);
  const OutputOptions output{options.Ticked(Box::kJoinLines), options.Ticked(Box::kDropEmptyLines)};

  auto source = page->Read();
  auto content = page->StartNewContent();
  // No line is longer than its page. Room for the longest at once spares a line that doubles as
  // it grows its copies and its fresh memory; only up to a bound, so that a large page of many
  // short lines takes no more memory than they need.
  constexpr std::uint64_t kLineRoom = std::uint64_t(64) << 20;
  if (page->Size() <= kLineRoom && state_.CurrentLine.capacity() < page->Size()) {
    state_.CurrentLine.reserve(static_cast<std::size_t>(page->Size()));
  }
  std::size_t read = 0;
  const LineEndRule rule = request.line_ends == LineEndRule::kByPage
                               ? PageLineEnds(*page, source, read)
                               : request.line_ends;
  LineReader reader(*source, ReadBlock(), LineReader::kBlockSize, rule == LineEndRule::kAsRead);
  reader.Preloaded(read);
  // The joined text's tail lives for one page: each page ends its joined line itself.
  JoinState join;
  OptimiseLines(reader, pipeline, output, rule, join, state_.CurrentLine, content->Writer());
  source.reset();
  content->FinishWriting();
  return platform_.Replace(std::move(page), std::move(content));
}

void Optimiser::ReportReplaced(RunHost& host) {
  // Pages are replaced in the order they were prepared: the first ones are those replaced.
  const std::uint64_t replaced = platform_.PagesReplaced();
  while (!prepared_.empty()) {
    if (prepared_.front().failure) {
      const Prepared failed = std::move(prepared_.front());
      prepared_.pop_front();
      host.PageFailed(failed.name, *failed.failure);
      continue;
    }
    if (reported_ == replaced) break;
    ++reported_;
    const Prepared page = std::move(prepared_.front());
    prepared_.pop_front();
    ++state_.FilesDone;
    state_.SizeBefore += page.size_before;
    state_.SizeAfter += page.size_after;
    host.PageDone(page.name, page.size_before, page.size_after);
  }
}

void Optimiser::ReleaseFolders() {
  platform_.EndRun();
  folders_.clear();
  backup_folders_.clear();
  list_folder_.reset();
}

void Optimiser::BeginRun() {
  state_.SizeBefore = 0;
  state_.SizeAfter = 0;
  state_.FilesDone = 0;
  pipelines_[0].reset();
  pipelines_[1].reset();
  recovered_.clear();
  ReleaseFolders();
  prepared_.clear();
  reported_ = 0;
  work_.clear();
  dropped_.clear();
  state_.Failure.reset();
  platform_.BeginRun();
}

void Optimiser::OpenFolders(const RunRequest& request) {
  // A second copy of the program at work with the same temporary file holds it: stop before
  // anything is made or touched.
  platform_.UseTempFile(request.temp_file);
  // Held until the run ends: another run in it waits, and a folder swapped since the listing is
  // never worked in.
  auto& folder = folders_[""];
  folder = platform_.OpenFolder(request.folder, Listed(request, ""), true);
  // A rewrite that a killed run left half done is completed before anything else happens.
  recovered_ = platform_.RecoverFolder(*folder);
  if (!request.options.Ticked(Box::kBackup)) return;
  MakeBackupStamp();
  Folder* parent = folder.get();
  if (request.list_folder != request.folder) {
    try {
      list_folder_ = platform_.OpenFolder(request.list_folder, nullptr, false);
    } catch (const FileError& e) {
      throw FileError(FileError::Operation::kCreateFolder,
                      JoinPath(request.list_folder, "~backup_" + state_.BackupStamp), e.error);
    }
    parent = list_folder_.get();
  }
  auto& backup_folder = backup_folders_[{"", 0}];
  backup_folder = MakeBackupFolder(*parent);
  state_.BackupFolder = backup_folder->Path();
}

RunOutcome Optimiser::Tell(RunHost& host, RunOutcome outcome, std::string message) {
  RunResult result;
  result.outcome = outcome;
  result.message = std::move(message);
  // A stop is the user's own wish, not a fault.
  const bool fine = outcome == RunOutcome::kStatistics || outcome == RunOutcome::kStopped;
  result.icon = fine ? MessageIcon::kInformation : MessageIcon::kWarning;
  result.files_done = state_.FilesDone;
  result.size_before = state_.SizeBefore;
  result.size_after = state_.SizeAfter;
  result.failure = state_.Failure;
  result.recovered = recovered_;
  host.RunFinished(result);
  return outcome;
}

RunOutcome Optimiser::Stop(const RunRequest& request, RunHost& host, const FileError& error) {
  state_.Failure = error;
  // The pages finished before the failure stay finished.
  try {
    platform_.CommitReplacements();
  } catch (const FileError& earlier) {
    state_.Failure = earlier;
  }
  ReportReplaced(host);
  // The pages that failed before the run stopped are told all the same.
  for (const Prepared& page : prepared_) {
    if (page.failure) host.PageFailed(page.name, *page.failure);
  }
  for (const Work& work : work_) {
    if (work.failure) host.PageFailed(work.name, *work.failure);
  }
  prepared_.clear();
  work_.clear();
  ReleaseFolders();
  return Tell(host, RunOutcome::kFailed, EndText(request, &*state_.Failure));
}

std::string Optimiser::EndText(const RunRequest& request, const FileError* failure) const {
  return EndOfRunText(failure, static_cast<std::uint64_t>(state_.FilesDone), state_.SizeBefore,
                      state_.SizeAfter, recovered_, request.names);
}

RunOutcome Optimiser::Finish(const RunRequest& request, RunHost& host) {
  if (state_.SizeBefore == 0) return Tell(host, RunOutcome::kNothingSelected, EndText(request));
  state_.SavedPercent = PercentRemoved(state_.SizeBefore, state_.SizeAfter);
  return Tell(host, RunOutcome::kStatistics, EndText(request));
}

bool Optimiser::ProcessWork(const RunRequest& request, RunHost& host) {
  bool stopped = false;
  for (;;) {
    while (!work_.empty()) {
      const Work work = std::move(work_.front());
      work_.pop_front();
      if (work.failure) {
        prepared_.push_back({work.name, 0, 0, {}, {}, work.attempt, work.failure});
        ReportReplaced(host);
        continue;
      }
      // Read before each page: the page in hand is finished, the rest stay untouched.
      stopped = stopped || (request.stop && request.stop->load());
      if (stopped) continue;
      try {
        ProcessPage(request, host, work);
      } catch (const FileError& error) {
        if (!request.keep_going || StopsTheRun(error, request)) throw;
        Settle(request, host, error, &work);
      }
    }
    // A stopped run commits like one that went through: the pages before the stop are done.
    try {
      platform_.CommitReplacements();
      ReportReplaced(host);
      return stopped;
    } catch (const FileError& error) {
      if (!request.keep_going || StopsTheRun(error, request)) throw;
      Settle(request, host, error, nullptr);
    }
  }
}

void Optimiser::Settle(const RunRequest& request, RunHost& host, const FileError& error,
                       const Work* current) {
  std::vector<FileError> failures{error};
  // Nothing may wait in a batch: a page is then either replaced or not, and the platform says
  // which.
  try {
    platform_.CommitReplacements();
  } catch (const FileError& commit) {
    if (StopsTheRun(commit, request)) throw;
    failures.push_back(commit);
    // A failed commit drops what it did not put in place: this one only makes names durable.
    platform_.CommitReplacements();
  }
  ReportReplaced(host);

  // What is left was not replaced. A page that a failure names failed; one dropped with its
  // batch is done again, and the failure of a batch names the page it failed on.
  std::vector<bool> named(failures.size(), false);
  const auto failure_of = [&](const std::string& path) -> std::optional<FileError> {
    std::optional<FileError> first;
    for (std::size_t i = 0; i < failures.size(); ++i) {
      if (failures[i].path != path) continue;
      named[i] = true;
      if (!first) first = failures[i];
    }
    return first;
  };
  std::vector<Work> again;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> dropped;
  const auto put_back = [&](const std::string& name, const std::string& path, int attempt,
                            const std::optional<FileIdentity>& file) {
    if (auto failure = failure_of(path)) {
      again.push_back({name, attempt, std::move(failure)});
    } else {
      again.push_back({name, attempt + 1, std::nullopt});
      if (file) dropped.push_back(Key(*file));
    }
  };
  for (const Prepared& page : prepared_) {
    if (page.failure) {
      again.push_back({page.name, page.attempt, page.failure});
    } else {
      put_back(page.name, page.path, page.attempt, page.file);
    }
  }
  if (current != nullptr) put_back(current->name, current_path_, current->attempt, current_file_);
  prepared_.clear();
  dropped_.insert(dropped.begin(), dropped.end());
  work_.insert(work_.begin(), std::make_move_iterator(again.begin()),
               std::make_move_iterator(again.end()));
  // A failure of no page in hand is one of the run's.
  for (std::size_t i = 0; i < failures.size(); ++i) {
    if (!named[i]) throw failures[i];
  }
}

RunOutcome Optimiser::FinishStopped(const RunRequest& request, RunHost& host) {
  return Tell(host, RunOutcome::kStopped,
              WithRecoveryLines(StoppedText(static_cast<std::uint64_t>(state_.FilesDone),
                                            state_.SizeBefore, state_.SizeAfter),
                                recovered_, request.names));
}

RunOutcome Optimiser::RunOptimisation(const RunRequest& request, RunHost& host) {
  BeginRun();
  if (request.entries.empty()) {
    return Tell(host, RunOutcome::kNothingSelected, std::string(kNoFilesSelected));
  }
  bool stopped = false;
  try {
    OpenFolders(request);
    for (const RunRequest::Entry& entry : request.entries) {
      if (entry.selected) work_.push_back({entry.name, 0, std::nullopt});
    }
    stopped = ProcessWork(request, host);
  } catch (const FileError& error) {
    return Stop(request, host, error);
  }
  ReleaseFolders();
  return stopped ? FinishStopped(request, host) : Finish(request, host);
}

}  // namespace slimtag
