#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "lines/line_output.h"
#include "lines/line_reader.h"

namespace slimtag {

// A file operation of the run that failed: what was done, on which path, and why.
struct FileError : std::runtime_error {
  enum class Operation {
    kCreateFolder,  // path: the folder
    kBackup,        // path: the page, other: the copy in the backup folder
    kOpen,          // path: the page
    kRead,
    kSize,
    kCreateTemp,  // path: the temporary file
    kTempLocked,
    kWriteTemp,
    kReplace,  // path: the page, other: the temporary file
    kDeleteTemp,
    kUntrustedLink,   // path: the page, a link of another user than the file's owner
    kTempUnsafe,      // path: the temporary file, not a plain file of ours
    kWriteProtected,  // path: the page, which we may not write
    kNotRegular,      // path: the page, a pipe, device or socket
    kChanged,         // path: the page, changed by another program while we worked on it
    kOutOfMemory,     // path: the page
    kSetIdBits,       // path: the page, whose set-ID bits a rewrite would drop
    kOverwrite,       // path: the page, cut short in its own file; other: its recovery file
    kRecover,         // path: the page whose interrupted rewrite could not be completed
    kOpenFolder,      // path: a folder of pages
    kFolderChanged,   // path: a folder of the run, swapped or changed since it was listed or made
    kFolderBusy,      // path: a folder in which another run is at work
    kSyncFolder,      // path: a folder whose new names could not be made durable
    kRunFailed,       // path: the run's folder, where the run failed other than on a file
    kOverlayLinks,    // path: the page, with hard links that overlayfs may part at a write
    kCount,           // not an operation: how many there are (kFileOperations has a row each)
  };
  FileError(Operation op, std::string p, int err, std::string o = {})
      : std::runtime_error("file operation failed: " + p),
        operation(op),
        path(std::move(p)),
        other(std::move(o)),
        error(err) {}

  Operation operation;
  std::string path;
  std::string other;
  int error;  // errno, 0 when there is none
};

// The folder path and a name joined with one separator.
inline std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

// How a message shows a file's name to people: for a terminal, a name that holds control
// characters must not reach it raw.
using NameStyle = std::string (*)(std::string_view path);

// Which file or folder something is on its file system, whatever its name.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

// Where a listing found each folder it listed, by its path below the listed folder ("" for that
// folder itself, "sub/deeper" below it).
using ListedFolders = std::map<std::string, FileIdentity>;

// A folder of the run, held open from the moment it is reached until the run lets go of it, so
// that whatever is renamed or swapped around it, the run works in that very folder.
class Folder {
 public:
  virtual ~Folder() = default;
  // As the run names it in messages.
  virtual const std::string& Path() const = 0;
};

// What the run found of a rewrite that a killed run left half done.
struct Recovery {
  std::string page;  // the page's path
  // Empty when the page was completed. Otherwise the page had been changed since by someone
  // else and was left as it is; the new content was kept in this file beside it.
  std::string kept_as;
};

// One folder as a listing reads it; hidden names (starting with ".") are left out.
struct FolderContents {
  FileIdentity identity;             // where the folder was when it was read
  std::vector<std::string> files;    // the plain files wanted, links to files followed
  std::vector<std::string> folders;  // the sub-folders, never links; only when asked for
};

// What a file operand names, looked at in its folder as opened.
struct FileLookup {
  FileIdentity folder;
  bool regular = false;  // a plain file, a link to one followed
};

class Page;

// The new content of one page as the run writes it, from its first byte; it replaces the page
// with Platform::Replace. Content that never does is removed with the object.
class NewContent {
 public:
  virtual ~NewContent() = default;
  virtual ByteSink& Writer() = 0;
  // Everything written has reached the file.
  virtual void FinishWriting() = 0;

 private:
  friend class Platform;
  // Puts the content in place of page, the one it was started for; its file is gone afterwards.
  virtual std::uint64_t PutInPlace(std::unique_ptr<Page> page) = 0;
};

// A page held open from the checks before its first byte is read until it is replaced, so that
// the run reads, backs up and replaces one and the same file.
class Page {
 public:
  virtual ~Page() = default;
  // A new reader from the page's first byte to the size it had when it was opened.
  virtual std::unique_ptr<ByteSource> Read() = 0;
  // The size when the page was opened.
  virtual std::uint64_t Size() const = 0;
  // The same file as a page already rewritten in this run (a link, or a second hard link).
  virtual bool RewrittenEarlier() const = 0;
  // The file opened, whatever name led to it.
  virtual FileIdentity Identity() const = 0;
  // Copies the page to a new file name in folder (never over an existing one) that the user who
  // runs the program owns, with the page's permission bits but no set-ID or sticky bit.
  virtual void BackUpTo(Folder& folder, const std::string& name) = 0;
  // Starts the page's new content: in the run's temporary file (Platform::UseTempFile), or where
  // the run has none, in a new file beside the page.
  virtual std::unique_ptr<NewContent> StartNewContent() = 0;
};

// The file system and clock as the run uses them; every failure throws FileError.
class Platform {
 public:
  virtual ~Platform() = default;
  // The user's time of day as text in the locale's format (strftime %X).
  virtual std::string TimeOfDayText() = 0;
  // Forgets the files rewritten by an earlier run.
  virtual void BeginRun() = 0;
  // Opens a folder by its path for the run. A folder of pages (exclusive) is held against other
  // runs until the object goes: a second run waits a few seconds, then fails with kFolderBusy.
  // With listed, the folder must still be the one the listing saw (kFolderChanged).
  virtual std::shared_ptr<Folder> OpenFolder(const std::string& path, const FileIdentity* listed,
                                             bool exclusive) = 0;
  // Opens the folder name inside parent, never through a link, in the same way.
  virtual std::shared_ptr<Folder> OpenSubFolder(Folder& parent, const std::string& name,
                                                const FileIdentity* listed, bool exclusive) = 0;
  // Makes a folder of pages whole again before a run works in it: completes a rewrite that a
  // killed run left half done and removes what killed runs left behind.
  virtual std::vector<Recovery> RecoverFolder(Folder& folder) = 0;
  // Makes the new folder name inside parent for the run's own files and holds it; null when
  // something of that name is already there.
  virtual std::shared_ptr<Folder> CreateFolder(Folder& parent, const std::string& name) = 0;
  // Removes a folder that CreateFolder made, where it is still that folder and empty: a run that
  // failed before its first copy leaves no backup folder behind.
  virtual void RemoveIfEmpty(Folder& /*made*/) {}
  // Opens the page name of folder for the run after checking that the run may rewrite it.
  virtual std::unique_ptr<Page> OpenPage(Folder& folder, const std::string& name) = 0;
  // Where the run writes each page's new content: the temporary file at path, created (or
  // emptied) for each page and held from now until EndRun, so that a second copy of the program
  // that wants it stops with kTempLocked before it touches anything; with an empty path, a new
  // file beside each page.
  virtual void UseTempFile(const std::string& path) = 0;
  // Puts content, finished, in place of the page it was started for, now or with the next
  // CommitReplacements; both are used up. The page holds its old or its new content at every
  // moment and keeps its owner, group, mode, access rules, extended attributes and hard links.
  // The page must still be the file that was read. Returns the page's new size.
  virtual std::uint64_t Replace(std::unique_ptr<Page> page,
                                std::unique_ptr<NewContent> content) = 0;
  // Completes every replacement still pending, in the order they were asked for, and makes the
  // new names durable. After a failure the pages before the one named are replaced, that one and
  // the later ones are not.
  virtual void CommitReplacements() = 0;
  // How many pages have been replaced since the run began: the first ones of those asked for.
  virtual std::uint64_t PagesReplaced() const = 0;
  // The run is over: lets go of the temporary file.
  virtual void EndRun() = 0;

  // Outside a run, for the front ends' listings and operands; errors are returned, not thrown.
  // Reads the folder at path: where it is (a link at path itself followed only with
  // follow_link), the names of its plain files that wanted takes and, with sub_folders, its
  // folders.
  virtual FolderContents ListFolder(const std::string& path, bool follow_link,
                                    const std::function<bool(std::string_view)>& wanted,
                                    bool sub_folders, std::error_code& error) = 0;
  // Whether path is a folder, a link to one followed.
  virtual bool IsFolder(const std::string& path) = 0;
  // Looks at name in the folder at folder_path as opened; an empty name is a folder (EISDIR).
  virtual FileLookup LookUpFile(const std::string& folder_path, const std::string& name,
                                std::error_code& error) = 0;

 protected:
  // For a platform's Replace, and one that wraps another's pages.
  static std::uint64_t PutInPlace(NewContent& content, std::unique_ptr<Page> page) {
    return content.PutInPlace(std::move(page));
  }
};

// The platform of the system the program runs on, for a front end; the platform's library, chosen
// for the system by the build, defines it.
std::unique_ptr<Platform> MakeSystemPlatform();

}  // namespace slimtag
