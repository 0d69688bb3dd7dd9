// The front ends' look at folders and files before a run: listings and operands.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "posix_platform.h"

namespace slimtag {

namespace {

FileIdentity IdentityOf(const struct stat& st) {
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

}  // namespace

FolderContents PosixPlatform::ListFolder(const std::string& path, bool follow_link,
                                         const std::function<bool(std::string_view)>& wanted,
                                         bool sub_folders, std::error_code& error) {
  error.clear();
  FolderContents contents;
  // Where the folder is, taken before it is read: a folder swapped after this moment differs
  // from it when the run opens it.
  struct stat st {};
  if ((follow_link ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st)) != 0) {
    error.assign(errno, std::generic_category());
    return {};
  }
  contents.identity = IdentityOf(st);
  for (std::filesystem::directory_iterator it(path, error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    std::error_code type_error;
    if (sub_folders && it->is_directory(type_error) && !it->is_symlink(type_error)) {
      contents.folders.push_back(name);
      continue;
    }
    if (!wanted(name)) continue;
    if (!it->is_regular_file(type_error)) continue;  // follows links to files
    contents.files.push_back(name);
  }
  if (error) return {};
  return contents;
}

bool PosixPlatform::IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

FileLookup PosixPlatform::LookUpFile(const std::string& folder_path, const std::string& name,
                                     std::error_code& error) {
  error.clear();
  FileLookup found;
  const int fd = ::open(folder_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    error.assign(errno, std::generic_category());
    return found;
  }
  struct stat folder_status {
  }, file_status{};
  if (::fstat(fd, &folder_status) != 0) {
    error.assign(errno, std::generic_category());
  } else if (name.empty()) {
    error.assign(EISDIR, std::generic_category());  // "sub/": a folder
  } else if (::fstatat(fd, name.c_str(), &file_status, 0) != 0) {
    error.assign(errno, std::generic_category());
  }
  ::close(fd);
  found.folder = IdentityOf(folder_status);
  found.regular = !error && S_ISREG(file_status.st_mode);
  return found;
}

}  // namespace slimtag
