#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "fd.h"
#include "folder_watch.h"
#include "run/platform.h"

namespace slimtag::posix {

class ReplacementBatch;

// A folder as the POSIX platform holds it: its descriptor, shared with the pages opened in it
// and with the batches that rename in it, and its watch.
class PosixFolder : public Folder {
 public:
  PosixFolder(std::string path, Fd fd, int watch)
      : path_(std::move(path)), fd_(std::make_shared<const Fd>(std::move(fd))), watch_(watch) {}
  const std::string& Path() const override { return path_; }
  int get() const { return fd_->get(); }
  const std::shared_ptr<const Fd>& Shared() const { return fd_; }
  int Watch() const { return watch_; }
  // Where the run made it, for a folder of the run's own.
  void MadeIn(std::shared_ptr<const Fd> parent, std::string name) {
    parent_ = std::move(parent);
    name_ = std::move(name);
  }
  const std::shared_ptr<const Fd>& Parent() const { return parent_; }
  const std::string& Name() const { return name_; }

 private:
  std::string path_;
  std::shared_ptr<const Fd> fd_;
  int watch_;
  std::shared_ptr<const Fd> parent_;
  std::string name_;
};

// What one run keeps.
struct RunFiles {
  std::set<std::pair<dev_t, ino_t>> files;  // rewritten in this run
  // Where backup copies wait for the sync that makes them durable before they get their names.
  ReplacementBatch* batch = nullptr;
  FolderWatch watch;
  // The folder that a page's link led to last, resolved once for all its pages.
  std::shared_ptr<PosixFolder> link_folder;
  // The run's temporary file; empty: each page's new content is written beside it.
  std::string temp_path;
  // The file systems of pages whose temporary file cannot be made beside them and moved into the
  // working directory (another file system, no such rename): made there for them.
  std::set<dev_t> temp_made_in_place;
  std::string write_buffer;  // the new content's, allocated once
  uid_t user = ::geteuid();  // who runs the program, asked once for each run (BeginRun)
};

// A page of the run, opened after the checks that decide whether the run may rewrite it: a link
// is followed only when the user who runs the program or the owner of the file it leads to made
// it; the file must be a regular one that the user may write. The file is then known by its
// folder's descriptor and its name there, so that a later rename of a folder above it changes
// nothing.
class PosixPage : public Page {
 public:
  PosixPage(const PosixFolder& folder, const std::string& name, RunFiles& run_files);

  std::unique_ptr<ByteSource> Read() override;
  std::uint64_t Size() const override { return static_cast<std::uint64_t>(opened_.st_size); }
  bool RewrittenEarlier() const override;
  FileIdentity Identity() const override {
    return {static_cast<std::uint64_t>(opened_.st_dev), static_cast<std::uint64_t>(opened_.st_ino)};
  }
  void BackUpTo(Folder& folder, const std::string& name) override;
  std::unique_ptr<NewContent> StartNewContent() override;

  const std::string& Path() const { return path_; }
  // The folder the file is in, as messages name it.
  const std::string& FolderPath() const { return folder_path_; }
  int Folder() const { return folder_->get(); }
  const std::shared_ptr<const Fd>& SharedFolder() const { return folder_; }
  const std::string& Name() const { return name_; }
  int Descriptor() const { return fd_.get(); }
  const struct stat& Opened() const { return opened_; }
  // Who runs the program.
  uid_t RunUser() const { return run_files_.user; }
  // Throws kChanged unless the name still leads to the file opened and nobody changed the file
  // since it was opened. Where the name is given to the new file by an exchange that checks by
  // identity what it displaced, that check stands for the name's (by_name false).
  void CheckUnchanged(bool by_name = true) const;
  // The page's file open for writing takes the place of its reading descriptor, once the page
  // has been read and copied.
  void HoldForWriting(Fd file) { fd_ = std::move(file); }
  // The file that a copy up (overlayfs) put under the page's name, open as file and read
  // unchanged, becomes the page.
  void TakeCopiedUp(Fd file, const struct stat& st) {
    fd_ = std::move(file);
    opened_ = st;
    mark_ = run_files_.watch.Mark();
  }
  // Whether st, taken after the last check, is still the file opened as it was read; copied up
  // on overlayfs, it may have another identity.
  bool IsTheFileRead(const struct stat& st) const;
  // Records the file now under the page's name as rewritten in this run.
  void MarkRewritten(const struct stat& now);

 private:
  // Opens name in folder as the page, unless it is a link: then false.
  bool OpenIn(const PosixFolder& folder, const std::string& name);

  std::string path_;  // as the run named it
  RunFiles& run_files_;
  std::shared_ptr<const Fd> folder_;
  std::string folder_path_;
  int watch_ = -1;
  std::string name_;  // in folder_, never a link
  Fd fd_;
  struct stat opened_ {};
  std::uint64_t mark_ = 0;  // the folder watch's mark when the page was opened
};

}  // namespace slimtag::posix
