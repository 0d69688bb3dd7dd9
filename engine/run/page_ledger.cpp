#include "page_ledger.h"

#include <iterator>

namespace slimtag {

void PageLedger::Clear() {
  work_.clear();
  prepared_.clear();
  reported_ = 0;
  current_path_.clear();
  current_file_.reset();
  dropped_.clear();
  left_alone_.clear();
}

std::optional<PageLedger::Work> PageLedger::Next() {
  if (work_.empty()) return std::nullopt;
  Work work = std::move(work_.front());
  work_.pop_front();
  return work;
}

void PageLedger::StartPage(std::string path) {
  current_path_ = std::move(path);
  current_file_.reset();
}

bool PageLedger::DoneEarlier(const FileIdentity& file, bool rewritten_earlier) {
  return rewritten_earlier && (dropped_.empty() || dropped_.erase(Key(file)) == 0);
}

void PageLedger::Prepared(const Work& work, std::int64_t size_before, std::int64_t size_after) {
  prepared_.push_back(
      {work.name, size_before, size_after, current_path_, current_file_, work.attempt, {}});
}

void PageLedger::Failed(const Work& work) {
  prepared_.push_back({work.name, 0, 0, {}, {}, work.attempt, work.failure});
}

void PageLedger::Report(std::uint64_t replaced, RunHost& host, RunStats& stats) {
  // Pages are replaced in the order they were prepared: the first ones are those replaced.
  while (!prepared_.empty()) {
    if (prepared_.front().failure) {
      const Waiting failed = std::move(prepared_.front());
      prepared_.pop_front();
      host.PageFailed(failed.name, *failed.failure);
      continue;
    }
    if (reported_ == replaced) break;
    ++reported_;
    const Waiting page = std::move(prepared_.front());
    prepared_.pop_front();
    stats.AddPage(page.size_before, page.size_after);
    host.PageDone(page.name, page.size_before, page.size_after);
  }
}

void PageLedger::TellFailedAndForget(RunHost& host) {
  for (const Waiting& page : prepared_) {
    if (page.failure) host.PageFailed(page.name, *page.failure);
  }
  for (const Work& work : work_) {
    if (work.failure) host.PageFailed(work.name, *work.failure);
  }
  prepared_.clear();
  work_.clear();
}

std::vector<FileError> PageLedger::PutBack(const std::vector<FileError>& failures,
                                           const Work* current) {
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
  const auto put_back = [&](const std::string& name, const std::string& path, int attempt,
                            const std::optional<FileIdentity>& file) {
    if (auto failure = failure_of(path)) {
      again.push_back({name, attempt, std::move(failure)});
    } else {
      again.push_back({name, attempt + 1, std::nullopt});
      if (file) dropped_.insert(Key(*file));
    }
  };
  for (const Waiting& page : prepared_) {
    if (page.failure) {
      again.push_back({page.name, page.attempt, page.failure});
    } else {
      put_back(page.name, page.path, page.attempt, page.file);
    }
  }
  if (current != nullptr) put_back(current->name, current_path_, current->attempt, current_file_);
  prepared_.clear();
  work_.insert(work_.begin(), std::make_move_iterator(again.begin()),
               std::make_move_iterator(again.end()));
  std::vector<FileError> unnamed;
  for (std::size_t i = 0; i < failures.size(); ++i) {
    if (!named[i]) unnamed.push_back(failures[i]);
  }
  return unnamed;
}

}  // namespace slimtag
