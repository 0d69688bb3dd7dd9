#pragma once

#include <sys/stat.h>

#include <memory>
#include <set>
#include <string>
#include <utility>

#include "platform.h"
#include "posix/fd.h"

namespace slimtag {

namespace posix {
class ReplacementBatch;
}

struct PosixPlatform::RunFiles {
  std::set<std::pair<dev_t, ino_t>> files;
  // Where backup copies wait for the sync that makes them durable before they get their names.
  posix::ReplacementBatch* batch = nullptr;
  // The folder of the pages last opened, resolved once for all its pages.
  std::string folder_path;
  std::shared_ptr<const posix::Fd> folder;
  std::string write_buffer;  // the temporary file's, allocated once
};

namespace posix {

// A page of the run, opened after the checks that decide whether the run may rewrite it: a link
// is followed only when the user who runs the program or the owner of the file it leads to made
// it; the file must be a regular one that the user may write. The file is then known by its
// folder's descriptor and its name there, so that a later rename of a folder above it changes
// nothing.
class PosixPage : public Page {
 public:
  PosixPage(std::string path, PosixPlatform::RunFiles& run_files);

  std::unique_ptr<ByteSource> Read() override;
  std::uint64_t Size() const override { return static_cast<std::uint64_t>(opened_.st_size); }
  bool RewrittenEarlier() const override;
  void BackUpTo(const std::string& copy) override;

  const std::string& Path() const { return path_; }
  int Folder() const { return folder_->get(); }
  const std::string& Name() const { return name_; }
  int Descriptor() const { return fd_.get(); }
  const struct stat& Opened() const { return opened_; }
  // Throws kChanged unless the name still leads to the file opened and the file is unchanged.
  void CheckUnchanged() const;
  // Records the file now under the page's name as rewritten in this run.
  void MarkRewritten(const struct stat& now);

 private:
  // Opens name in folder as the page, unless it is a link: then false.
  bool OpenIn(const std::string& folder, const std::string& name);

  std::string path_;  // as the run named it
  PosixPlatform::RunFiles& run_files_;
  std::shared_ptr<const Fd> folder_;
  std::string name_;  // in folder_, never a link
  Fd fd_;
  struct stat opened_ {};
};

}  // namespace posix
}  // namespace slimtag
