#pragma once

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform.h"
#include "run_host.h"

namespace slimtag {

// The folders a run works in, held from the first of their pages to the run's end, and the
// backup folders it makes beside them.
class RunFolders {
 public:
  explicit RunFolders(Platform& platform) : platform_(platform) {}

  // Checks that no other copy is at work here, holds the folder, completes what a killed run left
  // in it and, with the backup box ticked, makes the backup folder: the time of day that names it
  // goes to backup_stamp, its path to backup_folder.
  void Open(const RunRequest& request, std::string& backup_stamp, std::string& backup_folder);
  // The folder of the entries below sub_folder ("" for the folder itself), held from the first
  // of its pages to the end of the run; a folder reached for the first time is recovered first.
  Folder& PageFolder(const RunRequest& request, const std::string& sub_folder);
  // A page done again may have had its first copy named already: each attempt has its own.
  Folder& BackupFolderFor(const std::string& sub_folder, int attempt);
  // The interrupted rewrites found in the folders held.
  const std::vector<Recovery>& Recovered() const { return recovered_; }
  // Removes each backup folder made that no copy reached.
  void RemoveEmptyBackupFolders();
  // Lets go of every folder of the run, and of the temporary file.
  void Release();
  // Release, and forgets what the last run found.
  void Clear();

 private:
  // Makes the run's backup folder in parent and returns it.
  std::shared_ptr<Folder> MakeBackupFolder(Folder& parent);

  Platform& platform_;
  std::string backup_stamp_;
  std::vector<Recovery> recovered_;
  std::map<std::string, std::shared_ptr<Folder>> held_;  // "" or sub-folder → held
  // The same, and the attempt → its backups.
  std::map<std::pair<std::string, int>, std::shared_ptr<Folder>> backups_;
  std::shared_ptr<Folder> list_folder_;  // where the folder's own backup folder is made
};

}  // namespace slimtag
