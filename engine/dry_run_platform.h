#pragma once

#include <set>
#include <utility>

#include "platform.h"

namespace slimtag {

// A run that writes nothing: every page is opened and checked as a real run would, and read
// through the passes, but no backup folder, backup copy, temporary or side file is made and no
// page is replaced. A page's size after is the size it would have.
class DryRunPlatform : public Platform {
 public:
  explicit DryRunPlatform(Platform& real) : real_(real) {}

  std::string TimeOfDayText() override { return real_.TimeOfDayText(); }
  void BeginRun() override;
  std::vector<std::string> RecoverFolder(const std::string&) override { return {}; }
  bool CreateFolder(const std::string&) override { return true; }
  std::unique_ptr<Page> OpenPage(const std::string& path) override;
  std::unique_ptr<TempFile> CreateTempFile(const std::string& path) override;
  void CommitReplacements() override {}

 private:
  Platform& real_;
  std::set<std::pair<unsigned long long, unsigned long long>> counted_;  // device, inode
};

}  // namespace slimtag
