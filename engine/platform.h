#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "line_output.h"
#include "line_reader.h"

namespace slimtag {

// A file operation of the run that failed: what was done, on which path, and why.
struct FileError : std::runtime_error {
  enum class Operation {
    kCreateFolder,  // path: the folder
    kBackup,        // path: the page, other: the copy in the backup folder
    kOpen,          // path: the page
    kRead,
    kSize,
    kCreateTemp,    // path: the temporary file
    kTempLocked,
    kWriteTemp,
    kReplace,       // path: the page, other: the temporary file
    kDeleteTemp,
  };
  FileError(Operation op, std::string path, int error, std::string other = {});

  Operation operation;
  std::string path;
  std::string other;
  int error;  // errno, 0 when there is none
};

// The temporary file of one page, held exclusively while it is in use so that a second copy of
// the program working in the same folder cannot mix pages through it.
class TempFile {
 public:
  virtual ~TempFile() = default;  // a file not yet deleted goes with the object
  virtual ByteSink& Writer() = 0;
  virtual void FinishWriting() = 0;
  // Puts the written content in place of the page: the page holds its old content or the new one
  // at every moment, keeps its permission bits, and a link keeps pointing at it.
  virtual void CopyOver(const std::string& page) = 0;
  virtual void Delete() = 0;
};

// The file system and clock as the run uses them; every failure throws FileError.
class Platform {
 public:
  virtual ~Platform() = default;
  // The user's time of day as text in the locale's format (strftime %X).
  virtual std::string TimeOfDayText() = 0;
  // False when something of that name is already there.
  virtual bool CreateFolder(const std::string& path) = 0;
  // Copies a page to a new file (never over an existing one), keeping its permission bits.
  virtual void CopyFile(const std::string& from, const std::string& to) = 0;
  virtual std::unique_ptr<ByteSource> OpenRead(const std::string& path) = 0;
  virtual std::uint64_t FileSize(const std::string& path) = 0;
  // Creates (or empties) the temporary file; throws with kTempLocked when another process has it.
  virtual std::unique_ptr<TempFile> CreateTempFile(const std::string& path) = 0;
};

// The real file system (POSIX).
class PosixPlatform : public Platform {
 public:
  std::string TimeOfDayText() override;
  bool CreateFolder(const std::string& path) override;
  void CopyFile(const std::string& from, const std::string& to) override;
  std::unique_ptr<ByteSource> OpenRead(const std::string& path) override;
  std::uint64_t FileSize(const std::string& path) override;
  std::unique_ptr<TempFile> CreateTempFile(const std::string& path) override;
};

}  // namespace slimtag
