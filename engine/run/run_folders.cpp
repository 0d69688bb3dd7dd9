#include "run_folders.h"

#include "text/replace_all.h"

namespace slimtag {

namespace {

// Where the listing found the folder of the entries below sub_folder, when it says.
const FileIdentity* Listed(const RunRequest& request, const std::string& sub_folder) {
  const auto it = request.listed_folders.find(sub_folder);
  return it == request.listed_folders.end() ? nullptr : &it->second;
}

}  // namespace

std::shared_ptr<Folder> RunFolders::MakeBackupFolder(Folder& parent) {
  // The stamp holds no date, so the name may be taken by an earlier run: never reuse it.
  const std::string base = "~backup_" + backup_stamp_;
  std::string name = base;
  for (int n = 2;; ++n) {
    if (auto made = platform_.CreateFolder(parent, name)) return made;
    name = base + "_" + std::to_string(n);
  }
}

Folder& RunFolders::BackupFolderFor(const std::string& sub_folder, int attempt) {
  auto [at, made] = backups_.try_emplace({sub_folder, attempt});
  if (made) {
    Folder& parent = sub_folder.empty() && list_folder_ ? *list_folder_ : *held_.at(sub_folder);
    at->second = MakeBackupFolder(parent);
  }
  return *at->second;
}

Folder& RunFolders::PageFolder(const RunRequest& request, const std::string& sub_folder) {
  if (const auto held = held_.find(sub_folder); held != held_.end()) return *held->second;
  // Down from the nearest folder held, one name at a time and never through a link, each folder
  // the one the listing saw.
  const std::size_t slash = sub_folder.find_last_of('/');
  const std::string parent = slash == std::string::npos ? "" : sub_folder.substr(0, slash);
  Folder& above = PageFolder(request, parent);
  const std::string name = sub_folder.substr(slash == std::string::npos ? 0 : slash + 1);
  auto folder = platform_.OpenSubFolder(above, name, Listed(request, sub_folder), true);
  for (Recovery& r : platform_.RecoverFolder(*folder)) recovered_.push_back(std::move(r));
  return *held_.emplace(sub_folder, std::move(folder)).first->second;
}

void RunFolders::Open(const RunRequest& request, std::string& backup_stamp,
                      std::string& backup_folder) {
  // A second copy of the program at work with the same temporary file holds it: stop before
  // anything is made or touched.
  platform_.UseTempFile(request.temp_file);
  // Held until the run ends: another run in it waits, and a folder swapped since the listing is
  // never worked in.
  auto& folder = held_[""];
  folder = platform_.OpenFolder(request.folder, Listed(request, ""), true);
  // A rewrite that a killed run left half done is completed before anything else happens.
  recovered_ = platform_.RecoverFolder(*folder);
  if (!request.options.Ticked(Box::kBackup)) return;
  backup_stamp_ = platform_.TimeOfDayText();
  ReplaceAll(backup_stamp_, ":", "'", Encoding::Utf8);
  backup_stamp = backup_stamp_;
  Folder* parent = folder.get();
  if (request.list_folder != request.folder) {
    try {
      list_folder_ = platform_.OpenFolder(request.list_folder, nullptr, false);
    } catch (const FileError& e) {
      throw FileError(FileError::Operation::kCreateFolder,
                      JoinPath(request.list_folder, "~backup_" + backup_stamp_), e.error);
    }
    parent = list_folder_.get();
  }
  auto& made = backups_[{"", 0}];
  made = MakeBackupFolder(*parent);
  backup_folder = made->Path();
}

void RunFolders::RemoveEmptyBackupFolders() {
  for (const auto& [key, backup_folder] : backups_) {
    if (backup_folder) platform_.RemoveIfEmpty(*backup_folder);
  }
}

void RunFolders::Release() {
  platform_.EndRun();
  held_.clear();
  backups_.clear();
  list_folder_.reset();
}

void RunFolders::Clear() {
  Release();
  recovered_.clear();
}

}  // namespace slimtag
