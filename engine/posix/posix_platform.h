#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "fd.h"
#include "run/platform.h"

namespace slimtag {

namespace posix {
class ReplacementBatch;
struct RunFiles;
}  // namespace posix

// The real file system (POSIX).
class PosixPlatform : public Platform {
 public:
  PosixPlatform();
  ~PosixPlatform() override;
  std::string TimeOfDayText() override;
  void BeginRun() override;
  std::shared_ptr<Folder> OpenFolder(const std::string& path, const FileIdentity* listed,
                                     bool exclusive) override;
  std::shared_ptr<Folder> OpenSubFolder(Folder& parent, const std::string& name,
                                        const FileIdentity* listed, bool exclusive) override;
  std::vector<Recovery> RecoverFolder(Folder& folder) override;
  std::shared_ptr<Folder> CreateFolder(Folder& parent, const std::string& name) override;
  void RemoveIfEmpty(Folder& made) override;
  std::unique_ptr<Page> OpenPage(Folder& folder, const std::string& name) override;
  void UseTempFile(const std::string& path) override;
  std::uint64_t Replace(std::unique_ptr<Page> page, std::unique_ptr<NewContent> content) override;
  void CommitReplacements() override;
  std::uint64_t PagesReplaced() const override;
  void EndRun() override;
  FolderContents ListFolder(const std::string& path, bool follow_link,
                            const std::function<bool(std::string_view)>& wanted, bool sub_folders,
                            std::error_code& error) override;
  bool IsFolder(const std::string& path) override;
  FileLookup LookUpFile(const std::string& folder_path, const std::string& name,
                        std::error_code& error) override;

  // The name of the lock held beside the temporary file for a run: "slimtag.tmp.lock".
  static constexpr std::string_view kRunLockSuffix = ".lock";

  // How long a run waits for another run to let go of a folder before it stops.
  void SetFolderWait(std::chrono::milliseconds wait) { folder_wait_ = wait; }

 private:
  // Checks and holds a folder just opened.
  std::shared_ptr<Folder> Hold(std::string path, int fd, const FileIdentity* listed,
                               bool exclusive);

  std::unique_ptr<posix::RunFiles> run_files_;
  std::unique_ptr<posix::ReplacementBatch> batch_;
  posix::Fd run_lock_;
  std::string run_lock_path_;
  std::chrono::milliseconds folder_wait_{3000};
};

}  // namespace slimtag
