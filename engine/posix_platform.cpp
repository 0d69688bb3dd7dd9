#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform.h"
#include "posix/page_file.h"
#include "posix/page_replacement.h"
#include "posix/replacement_batch.h"
#include "posix/temp_file.h"

namespace slimtag {

FileError::FileError(Operation op, std::string p, int err, std::string o)
    : std::runtime_error("file operation failed: " + p),
      operation(op),
      path(std::move(p)),
      other(std::move(o)),
      error(err) {}

PosixPlatform::PosixPlatform()
    : run_files_(std::make_unique<RunFiles>()),
      batch_(std::make_unique<posix::ReplacementBatch>()) {
  run_files_->batch = batch_.get();
}
PosixPlatform::~PosixPlatform() = default;

std::string PosixPlatform::TimeOfDayText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char text[128];
  const std::size_t n = std::strftime(text, sizeof text, "%X", &local);
  return std::string(text, n);
}

void PosixPlatform::BeginRun() {
  batch_->BeginRun();
  run_files_->files.clear();
  run_files_->folder.reset();
  run_files_->folder_path.clear();
}

std::vector<std::string> PosixPlatform::RecoverFolder(const std::string& folder) {
  return posix::RecoverFolder(folder);
}

bool PosixPlatform::CreateFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) == 0) return true;
  if (errno == EEXIST) return false;
  throw FileError(FileError::Operation::kCreateFolder, path, errno);
}

std::unique_ptr<Page> PosixPlatform::OpenPage(const std::string& path) {
  return std::make_unique<posix::PosixPage>(path, *run_files_);
}

std::unique_ptr<TempFile> PosixPlatform::CreateTempFile(const std::string& path) {
  return std::make_unique<posix::PosixTempFile>(path, *batch_, run_files_->write_buffer);
}

void PosixPlatform::CommitReplacements() {
  batch_->Commit();
}

}  // namespace slimtag
