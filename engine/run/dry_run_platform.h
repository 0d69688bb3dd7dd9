#pragma once

#include <cstdint>
#include <set>
#include <utility>

#include "platform.h"

namespace slimtag {

// A run that writes nothing: every page is opened and checked as a real run would, and read
// through the passes, but no backup folder, backup copy, temporary file, lock or side file is made
// and no page is replaced. A page's size after is the size it would have. It holds no folder
// against other runs, as it changes nothing in them.
class DryRunPlatform : public Platform {
 public:
  explicit DryRunPlatform(Platform& real) : real_(real) {}

  std::string TimeOfDayText() override { return real_.TimeOfDayText(); }
  void BeginRun() override;
  std::shared_ptr<Folder> OpenFolder(const std::string& path, const FileIdentity* listed,
                                     bool) override {
    return real_.OpenFolder(path, listed, false);
  }
  std::shared_ptr<Folder> OpenSubFolder(Folder& parent, const std::string& name,
                                        const FileIdentity* listed, bool) override {
    return real_.OpenSubFolder(parent, name, listed, false);
  }
  std::vector<Recovery> RecoverFolder(Folder&) override { return {}; }
  std::shared_ptr<Folder> CreateFolder(Folder& parent, const std::string& name) override;
  std::unique_ptr<Page> OpenPage(Folder& folder, const std::string& name) override;
  // Nothing is written: no temporary file is used, so none is held.
  void UseTempFile(const std::string&) override {}
  std::uint64_t Replace(std::unique_ptr<Page> page, std::unique_ptr<NewContent> content) override;
  void CommitReplacements() override {}
  std::uint64_t PagesReplaced() const override { return replaced_; }
  void EndRun() override {}
  FolderContents ListFolder(const std::string& path, bool follow_link,
                            const std::function<bool(std::string_view)>& wanted, bool sub_folders,
                            std::error_code& error) override {
    return real_.ListFolder(path, follow_link, wanted, sub_folders, error);
  }
  bool IsFolder(const std::string& path) override { return real_.IsFolder(path); }
  FileLookup LookUpFile(const std::string& folder_path, const std::string& name,
                        std::error_code& error) override {
    return real_.LookUpFile(folder_path, name, error);
  }

 private:
  Platform& real_;
  std::set<std::pair<std::uint64_t, std::uint64_t>> counted_;  // device, inode
  std::uint64_t replaced_ = 0;
};

}  // namespace slimtag
