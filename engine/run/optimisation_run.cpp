#include "optimisation_run.h"

#include <cerrno>
#include <functional>
#include <iterator>
#include <memory>
#include <new>
#include <system_error>

#include "file_operations.h"
#include "lines/line_reader.h"
#include "lines/page_survey.h"
#include "lines/utf16.h"
#include "messages.h"
#include "stream_optimiser.h"
#include "text/replace_all.h"

namespace slimtag {

namespace {

// A failure after which the run cannot go on with its next page.
bool StopsTheRun(const FileError& error, const RunRequest& request) {
  const FailureReach reach = FileOperationOf(error.operation).reach;
  // The run's one temporary file; a file beside the page is the page's own.
  if (reach == FailureReach::kTempFile) return !request.temp_file.empty();
  return reach == FailureReach::kRun;
}

}  // namespace

FileError RunFailure(const std::string& folder, const std::exception& error) {
  int err = ENOTRECOVERABLE;  // the program's own fault
  if (dynamic_cast<const std::bad_alloc*>(&error) != nullptr) err = ENOMEM;
  if (const auto* system = dynamic_cast<const std::system_error*>(&error)) {
    const std::error_category& category = system->code().category();
    if (category == std::generic_category() || category == std::system_category()) {
      err = system->code().value();
    }
  }
  return FileError(FileError::Operation::kRunFailed, folder, err);
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

PageKind Optimiser::Survey(const RunRequest& request, Page& page,
                           std::unique_ptr<ByteSource>& source, std::size_t& read) {
  // Only the user's own texts can tell the encodings apart; the fixed needles are ASCII.
  PageSurvey survey(request.texts.NeedsPageEncoding(request.options), request.line_ends);
  read = 0;
  if (page.Size() <= LineReader::kBlockSize) {
    // Most pages: the block that the survey reads is the one the rewrite then reads.
    source = page.Read();
    read = source->Read(ReadBlock(), LineReader::kBlockSize);
    if (read == page.Size()) {
      survey.Feed(std::string_view(ReadBlock(), read));
      return survey.Result();
    }
    read = 0;
    source.reset();
  }
  ScanPage(page, [&](std::string_view bytes) {
    survey.Feed(bytes);
    return !survey.Decided();
  });
  return survey.Result();
}

const LinePipeline& Optimiser::PipelineFor(Encoding encoding, const RunOptions& options,
                                           const UserTexts& texts) {
  auto& slot = pipelines_[static_cast<std::size_t>(encoding)];
  if (!slot) slot.emplace(options, texts, encoding);
  return *slot;
}

void Optimiser::ProcessPage(const RunRequest& request, RunHost& host, const Work& work) {
  const std::string& name = work.name;
  ledger_.StartPage({});
  host.PageStarted(name);
  // An entry below the folder ("sub/page.htm") has its folder's own backup folder and recovery.
  const std::size_t slash = name.find_last_of('/');
  const std::string sub_folder = slash == std::string::npos ? "" : name.substr(0, slash);
  const std::string base_name = name.substr(slash + 1);
  Folder& folder = folders_.PageFolder(request, sub_folder);
  const std::string path = JoinPath(folder.Path(), base_name);
  ledger_.StartPage(path);
  std::unique_ptr<Page> page = platform_.OpenPage(folder, base_name);
  const FileIdentity file = page->Identity();
  ledger_.PageOpened(file);
  // A link to a page of the list, or a second name of it: its one file is done once, and its
  // backup holds what it was before the run. A file whose new content was dropped is not done.
  if (ledger_.DoneEarlier(file, page->RewrittenEarlier())) return;
  try {
    // A page that is not text, or not in an encoding read here, keeps every byte and is not
    // counted; a second name of it is not told again.
    std::unique_ptr<ByteSource> source;
    std::size_t read = 0;
    const PageKind kind = Survey(request, *page, source, read);
    if (kind.left_alone) {
      if (ledger_.FirstTimeLeftAlone(file)) {
        state_.LeftAlonePages.push_back({name, *kind.left_alone});
        host.PageLeftAlone(name, *kind.left_alone);
      }
      return;
    }
    if (request.options.Ticked(Box::kBackup)) {
      page->BackUpTo(folders_.BackupFolderFor(sub_folder, work.attempt), base_name);
    }
    const auto before = static_cast<std::int64_t>(page->Size());
    const auto after =
        static_cast<std::int64_t>(Rewrite(request, kind, std::move(page), std::move(source), read));
    // Counted once it is replaced, which may be later, with its batch.
    ledger_.Prepared(work, before, after);
  } catch (const std::bad_alloc&) {
    // A page too large for memory (one line of gigabytes, or joined): it stays as it was.
    state_.CurrentLine = std::string();
    throw FileError(FileError::Operation::kOutOfMemory, path, 0);
  }
  ReportReplaced(host);
}

std::uint64_t Optimiser::Rewrite(const RunRequest& request, const PageKind& kind,
                                 std::unique_ptr<Page> page, std::unique_ptr<ByteSource> source,
                                 std::size_t read) {
  const RunOptions& options = request.options;
  const LinePipeline& pipeline = PipelineFor(kind.encoding, options, request.texts);
  const OutputOptions output{options.Ticked(Box::kJoinLines), options.Ticked(Box::kDropEmptyLines)};

  // A UTF-16 page is decoded from its first byte.
  if (!source || kind.utf16) {
    source = page->Read();
    read = 0;
  }
  auto content = page->StartNewContent();
  // A UTF-16 page goes through the passes as UTF-8 and is written back in its own byte order.
  std::optional<PageText> text(std::in_place, *source, content->Writer(), kind.utf16);
  // No line is longer than its page. Room for the longest at once spares a line that doubles as
  // it grows its copies and its fresh memory; only up to a bound, so that a large page of many
  // short lines takes no more memory than they need.
  constexpr std::uint64_t kLineRoom = std::uint64_t(64) << 20;
  if (page->Size() <= kLineRoom && state_.CurrentLine.capacity() < page->Size()) {
    state_.CurrentLine.reserve(static_cast<std::size_t>(page->Size()));
  }
  const LineEndRule rule = kind.line_ends;
  LineReader reader(text->In(), ReadBlock(), LineReader::kBlockSize, rule == LineEndRule::kAsRead);
  reader.Preloaded(read);
  // The joined text's tail lives for one page: each page ends its joined line itself.
  JoinState join;
  OptimiseLines(reader, pipeline, output, rule, join, state_.CurrentLine, text->Out());
  text.reset();
  source.reset();
  content->FinishWriting();
  return platform_.Replace(std::move(page), std::move(content));
}

void Optimiser::ReportReplaced(RunHost& host) {
  ledger_.Report(platform_.PagesReplaced(), host, state_.Stats);
}

void Optimiser::BeginRun() {
  state_.Stats = {};
  for (auto& pipeline : pipelines_) pipeline.reset();
  state_.LeftAlonePages.clear();
  folders_.Clear();
  ledger_.Clear();
  state_.Failure.reset();
  platform_.BeginRun();
}

RunOutcome Optimiser::Tell(RunHost& host, RunOutcome outcome, std::string message) {
  RunResult result;
  result.outcome = outcome;
  result.message = std::move(message);
  // A stop is the user's own wish, not a fault.
  const bool fine = outcome == RunOutcome::kStatistics || outcome == RunOutcome::kStopped;
  result.icon = fine ? MessageIcon::kInformation : MessageIcon::kWarning;
  result.stats = state_.Stats;
  result.failure = state_.Failure;
  result.recovered = folders_.Recovered();
  result.left_alone = state_.LeftAlonePages;
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
  } catch (const std::exception& earlier) {
    state_.Failure = RunFailure(request.folder, earlier);
  }
  ReportReplaced(host);
  // The pages that failed before the run stopped are told all the same.
  ledger_.TellFailedAndForget(host);
  // A backup folder that no copy reached is of no use, and a run tried again would leave one
  // more.
  folders_.RemoveEmptyBackupFolders();
  folders_.Release();
  return Tell(host, RunOutcome::kFailed, EndText(request, &*state_.Failure));
}

std::string Optimiser::EndText(const RunRequest& request, const FileError* failure) const {
  return EndOfRunText(failure, state_.Stats, state_.LeftAlonePages, folders_.Recovered(),
                      request.names);
}

RunOutcome Optimiser::Finish(const RunRequest& request, RunHost& host) {
  return Tell(
      host, state_.Stats.NothingSelected() ? RunOutcome::kNothingSelected : RunOutcome::kStatistics,
      EndText(request));
}

bool Optimiser::ProcessWork(const RunRequest& request, RunHost& host) {
  bool stopped = false;
  for (;;) {
    while (const std::optional<Work> next = ledger_.Next()) {
      const Work& work = *next;
      if (work.failure) {
        ledger_.Failed(work);
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
  // A failure of no page in hand is one of the run's.
  for (const FileError& unnamed : ledger_.PutBack(failures, current)) throw unnamed;
}

RunOutcome Optimiser::FinishStopped(const RunRequest& request, RunHost& host) {
  return Tell(
      host, RunOutcome::kStopped,
      WithRecoveryLines(WithLeftAloneLines(StoppedText(state_.Stats), state_.LeftAlonePages),
                        folders_.Recovered(), request.names));
}

RunOutcome Optimiser::RunOptimisation(const RunRequest& request, RunHost& host) {
  BeginRun();
  if (request.entries.empty()) {
    return Tell(host, RunOutcome::kNothingSelected, std::string(kNoFilesSelected));
  }
  bool stopped = false;
  try {
    folders_.Open(request, state_.BackupStamp, state_.BackupFolder);
    for (const RunRequest::Entry& entry : request.entries) {
      if (entry.selected) ledger_.Add(entry.name);
    }
    stopped = ProcessWork(request, host);
  } catch (const FileError& error) {
    return Stop(request, host, error);
  } catch (const std::exception& error) {
    return Stop(request, host, RunFailure(request.folder, error));
  }
  folders_.Release();
  return stopped ? FinishStopped(request, host) : Finish(request, host);
}

}  // namespace slimtag
