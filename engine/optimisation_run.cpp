#include "optimisation_run.h"

#include <cerrno>
#include <memory>
#include <new>

#include "declared_encoding.h"
#include "line_reader.h"
#include "messages.h"
#include "replace_all.h"
#include "stream_optimiser.h"

namespace slimtag {

namespace {

RunOptions ReadOptions(const RunHost& host) {
  RunOptions options;
  for (int box = 1; box <= kBoxCount; ++box) options.box[std::size_t(box)] = host.CheckState(box);
  return options;
}

// The nine fields are read only when their box is ticked.
UserTexts ReadTexts(const RunHost& host, const RunOptions& options) {
  UserTexts texts;
  if (options.Ticked(Box::kReplace)) {
    for (int i = 0; i < 3; ++i) {
      texts.find[i] = host.FieldText(1 + 2 * i);
      texts.replace[i] = host.FieldText(2 + 2 * i);
    }
  }
  if (options.Ticked(Box::kRemove)) {
    for (int i = 0; i < 3; ++i) texts.remove[i] = host.FieldText(13 + i);
  }
  return texts;
}

std::string WindowTitle(const VersionNumbers& v) {
  return "Slimtag v" + std::to_string(v.major) + "." + std::to_string(v.minor);
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

Folder& Optimiser::BackupFolderFor(const std::string& sub_folder) {
  auto [at, made] = backup_folders_.try_emplace(sub_folder);
  if (made) at->second = MakeBackupFolder(*folders_.at(sub_folder));
  return *at->second;
}

Folder& Optimiser::PageFolder(RunHost& host, const std::string& sub_folder) {
  if (const auto held = folders_.find(sub_folder); held != folders_.end()) return *held->second;
  // Down from the nearest folder held, one name at a time and never through a link, each folder
  // the one the listing saw.
  const std::size_t slash = sub_folder.find_last_of('/');
  const std::string parent = slash == std::string::npos ? "" : sub_folder.substr(0, slash);
  Folder& above = PageFolder(host, parent);
  const std::string name = sub_folder.substr(slash == std::string::npos ? 0 : slash + 1);
  const std::optional<FileIdentity> listed = host.ListedFolder(sub_folder);
  auto folder = platform_.OpenSubFolder(above, name, listed ? &*listed : nullptr, true);
  for (Recovery& r : platform_.RecoverFolder(*folder)) recovered_.push_back(std::move(r));
  return *folders_.emplace(sub_folder, std::move(folder)).first->second;
}

char* Optimiser::ReadBlock() {
  // One block for the run's reads, not zeroed: a small page touches only the start of it.
  if (!read_block_) read_block_.reset(new char[LineReader::kBlockSize]);
  return read_block_.get();
}

Encoding Optimiser::PageEncoding(Page& page) {
  const auto source = page.Read();
  char* block = ReadBlock();
  EncodingGuess guess;
  while (!guess.Decided()) {
    const std::size_t n = source->Read(block, LineReader::kBlockSize);
    if (n == 0) break;
    guess.Feed(std::string_view(block, n));
  }
  return guess.Result();
}

const LinePipeline& Optimiser::PipelineFor(Encoding encoding, const RunOptions& options,
                                           const UserTexts& texts) {
  auto& slot = pipelines_[encoding == Encoding::Utf8 ? 0 : 1];
  if (!slot) slot.emplace(options, texts, encoding);
  return *slot;
}

void Optimiser::ProcessPage(RunHost& host, const std::string& name, const RunOptions& options,
                            const UserTexts& texts) {
  host.SetTitle(std::string(kOptimisingFile) + name);
  // An entry below the folder ("sub/page.htm") has its folder's own backup folder and recovery.
  const std::size_t slash = name.find_last_of('/');
  const std::string sub_folder = slash == std::string::npos ? "" : name.substr(0, slash);
  const std::string base_name = name.substr(slash + 1);
  Folder& folder = PageFolder(host, sub_folder);
  const std::string path = JoinPath(folder.Path(), base_name);
  const std::unique_ptr<Page> page = platform_.OpenPage(folder, base_name);
  // A link to a page of the list, or a second name of it: its one file is done once, and its
  // backup holds what it was before the run.
  if (page->RewrittenEarlier()) return;
  if (options.Ticked(Box::kBackup)) page->BackUpTo(BackupFolderFor(sub_folder), base_name);

  try {
    // Only the user's own texts can tell the two encodings apart; the fixed needles are ASCII.
    const Encoding encoding =
        texts.NeedsPageEncoding(options) ? PageEncoding(*page) : Encoding::Utf8;
    const LinePipeline& pipeline = PipelineFor(encoding, options, texts);
    const OutputOptions output{options.Ticked(Box::kJoinLines),
                               options.Ticked(Box::kDropEmptyLines)};

    auto source = page->Read();
    auto temp = platform_.CreateTempFile(kTempFileName);
    ByteSink& sink = temp->Writer();
    const LineEndRule rule = host.LineEnds();
    // No line is longer than its page. Room for the longest at once spares a line that doubles as
    // it grows its copies and its fresh memory; only up to a bound, so that a large page of many
    // short lines takes no more memory than they need.
    constexpr std::uint64_t kLineRoom = std::uint64_t(64) << 20;
    if (page->Size() <= kLineRoom && state_.CurrentLine.capacity() < page->Size()) {
      state_.CurrentLine.reserve(static_cast<std::size_t>(page->Size()));
    }
    LineReader reader(*source, ReadBlock(), LineReader::kBlockSize, rule == LineEndRule::kAsRead);
    // The joined text's tail lives for one page: each page ends its joined line itself.
    JoinState join;
    OptimiseLines(reader, pipeline, output, rule, join, state_.CurrentLine, sink);
    source.reset();
    const auto before = static_cast<std::int64_t>(page->Size());
    temp->FinishWriting();
    const auto after = static_cast<std::int64_t>(temp->CopyOver(*page));
    // Counted once it is replaced, which may be later, with its batch.
    prepared_.push_back({name, before, after});
    temp->Delete();
  } catch (const std::bad_alloc&) {
    // A page too large for memory (one line of gigabytes, or joined): it stays as it was.
    state_.CurrentLine = std::string();
    throw FileError(FileError::Operation::kOutOfMemory, path, 0);
  }
  ReportReplaced(host);
}

void Optimiser::ReportReplaced(RunHost& host) {
  // Pages are replaced in the order they were prepared: the first ones are those replaced.
  for (const std::uint64_t replaced = platform_.PagesReplaced();
       reported_ < replaced && !prepared_.empty(); ++reported_) {
    const Prepared page = std::move(prepared_.front());
    prepared_.pop_front();
    ++state_.FilesDone;
    state_.SizeBefore += page.size_before;
    state_.SizeAfter += page.size_after;
    host.PageDone(page.name, page.size_before, page.size_after);
  }
}

std::string Optimiser::WithRecoveryNote(std::string text, const RunHost& host) const {
  for (const Recovery& recovery : recovered_) {
    text += std::string(kMessageLineEnd) + RecoveryText(recovery, host.Names());
  }
  return text;
}

void Optimiser::ReleaseFolders() {
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
  state_.Failure.reset();
  platform_.BeginRun();
}

void Optimiser::OpenFolders(RunHost& host, const RunOptions& options) {
  // A second copy of the program at work in this folder holds the temporary file: stop before
  // anything is made or touched.
  platform_.CreateTempFile(kTempFileName)->Delete();
  // Held until the run ends: another run in it waits, and a folder swapped since the listing is
  // never worked in.
  const std::optional<FileIdentity> listed = host.ListedFolder("");
  auto& folder = folders_[""];
  folder = platform_.OpenFolder(host.FolderPath(), listed ? &*listed : nullptr, true);
  // A rewrite that a killed run left half done is completed before anything else happens.
  recovered_ = platform_.RecoverFolder(*folder);
  if (!options.Ticked(Box::kBackup)) return;
  MakeBackupStamp();
  Folder* parent = folder.get();
  if (host.ListPath() != host.FolderPath()) {
    try {
      list_folder_ = platform_.OpenFolder(host.ListPath(), nullptr, false);
    } catch (const FileError& e) {
      throw FileError(FileError::Operation::kCreateFolder,
                      JoinPath(host.ListPath(), "~backup_" + state_.BackupStamp), e.error);
    }
    parent = list_folder_.get();
  }
  backup_folders_[""] = MakeBackupFolder(*parent);
  state_.BackupFolder = backup_folders_[""]->Path();
}

RunOutcome Optimiser::Stop(RunHost& host, const FileError& error) {
  state_.Failure = error;
  // The pages finished before the failure stay finished.
  try {
    platform_.CommitReplacements();
  } catch (const FileError& earlier) {
    state_.Failure = earlier;
  }
  ReportReplaced(host);
  ReleaseFolders();
  const std::string warning = FailureText(*state_.Failure, host.Names());
  host.ShowMessage(WithRecoveryNote(warning, host), MessageIcon::kWarning);
  host.SetBusyPointer(false);
  return RunOutcome::kFailed;
}

RunOutcome Optimiser::ShowStatistics(RunHost& host) {
  if (state_.SizeBefore == 0) {
    host.ShowMessage(WithRecoveryNote(std::string(kNoFilesSelected), host), MessageIcon::kWarning);
    host.SetBusyPointer(false);
    return RunOutcome::kNothingSelected;
  }
  state_.SavedPercent = PercentRemoved(state_.SizeBefore, state_.SizeAfter);
  host.SetTitle(WindowTitle(host.Version()));
  host.ShowMessage(
      WithRecoveryNote(StatisticsText(static_cast<std::uint64_t>(state_.FilesDone),
                                      state_.SizeBefore, state_.SizeAfter, state_.SavedPercent),
                       host),
      MessageIcon::kInformation);
  host.RefreshList();
  host.SetBusyPointer(false);
  return RunOutcome::kStatistics;
}

RunOutcome Optimiser::RunOptimisation(RunHost& host) {
  host.SetBusyPointer(true);
  BeginRun();
  if (host.EntryCount() == 0) {
    host.ShowMessage(std::string(kNoFilesSelected), MessageIcon::kWarning);
    host.SetBusyPointer(false);
    return RunOutcome::kNothingSelected;
  }
  try {
    const RunOptions options = ReadOptions(host);
    const UserTexts texts = ReadTexts(host, options);
    OpenFolders(host, options);
    const int count = host.EntryCount();
    for (int i = 0; i < count; ++i) {
      if (host.EntrySelected(i)) ProcessPage(host, host.EntryName(i), options, texts);
    }
    platform_.CommitReplacements();
    ReportReplaced(host);
  } catch (const FileError& error) {
    return Stop(host, error);
  }
  ReleaseFolders();
  return ShowStatistics(host);
}

}  // namespace slimtag
