#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "line_output.h"
#include "line_reader.h"

namespace slimtag {

namespace posix {
class ReplacementBatch;
}

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
  };
  FileError(Operation op, std::string path, int error, std::string other = {});

  Operation operation;
  std::string path;
  std::string other;
  int error;  // errno, 0 when there is none
};

// A page held open from the checks before its first byte is read until it is replaced, so that
// the run reads, backs up and replaces one and the same file.
class Page {
 public:
  virtual ~Page() = default;
  // A new reader from the page's first byte.
  virtual std::unique_ptr<ByteSource> Read() = 0;
  // The size when the page was opened.
  virtual std::uint64_t Size() const = 0;
  // The same file as a page already rewritten in this run (a link, or a second hard link).
  virtual bool RewrittenEarlier() const = 0;
  // Copies the page to a new file (never over an existing one) that the user who runs the
  // program owns, with the page's permission bits but no set-ID or sticky bit.
  virtual void BackUpTo(const std::string& copy) = 0;
};

// The temporary file of one page, held exclusively while it is in use so that a second copy of
// the program working in the same folder cannot mix pages through it.
class TempFile {
 public:
  virtual ~TempFile() = default;  // a file not yet deleted goes with the object
  virtual ByteSink& Writer() = 0;
  virtual void FinishWriting() = 0;
  // Puts the written content in place of the page, which must still be the file that was read,
  // now or with the platform's next CommitReplacements. The page holds its old or its new content
  // at every moment and keeps its owner, group, mode, access rules, extended attributes and hard
  // links. Returns the page's new size.
  virtual std::uint64_t CopyOver(Page& page) = 0;
  virtual void Delete() = 0;
};

// The file system and clock as the run uses them; every failure throws FileError.
class Platform {
 public:
  virtual ~Platform() = default;
  // The user's time of day as text in the locale's format (strftime %X).
  virtual std::string TimeOfDayText() = 0;
  // Forgets the files rewritten by an earlier run.
  virtual void BeginRun() = 0;
  // Makes a folder of pages whole again before a run works in it: completes a rewrite that a
  // killed run left half done and removes what killed runs left behind. Returns the paths of the
  // pages completed.
  virtual std::vector<std::string> RecoverFolder(const std::string& folder) = 0;
  // False when something of that name is already there.
  virtual bool CreateFolder(const std::string& path) = 0;
  // Opens a page for the run after checking that the run may rewrite it.
  virtual std::unique_ptr<Page> OpenPage(const std::string& path) = 0;
  // Creates (or empties) the temporary file; throws with kTempLocked when another process has it.
  virtual std::unique_ptr<TempFile> CreateTempFile(const std::string& path) = 0;
  // Completes every replacement still pending, in the order they were asked for. After a failure
  // the pages before the one named are replaced, that one and the later ones are not.
  virtual void CommitReplacements() = 0;
};

// The real file system (POSIX).
class PosixPlatform : public Platform {
 public:
  PosixPlatform();
  ~PosixPlatform() override;
  std::string TimeOfDayText() override;
  void BeginRun() override;
  std::vector<std::string> RecoverFolder(const std::string& folder) override;
  bool CreateFolder(const std::string& path) override;
  std::unique_ptr<Page> OpenPage(const std::string& path) override;
  std::unique_ptr<TempFile> CreateTempFile(const std::string& path) override;
  void CommitReplacements() override;

  struct RunFiles;  // what one run keeps: the files rewritten, the folder, the write block

 private:
  std::unique_ptr<RunFiles> run_files_;
  std::unique_ptr<posix::ReplacementBatch> batch_;
};

}  // namespace slimtag
