#pragma once

#include <fcntl.h>

#include <memory>
#include <string>

#include "fd.h"
#include "page_file.h"
#include "run/platform.h"

namespace slimtag::posix {

// Collects lines in a large block so that the file sees few, large writes. The block is the
// platform's, kept from page to page.
class TempFileSink : public ByteSink {
 public:
  TempFileSink(int fd, const std::string& path, const std::string& page, std::string& buffer)
      : fd_(fd), path_(path), page_(page), buffer_(buffer) {
    buffer_.clear();
    buffer_.reserve(kSize);
  }
  void Write(std::string_view bytes) override;
  void WriteLine(std::string_view line, std::string_view terminator) override;
  void Flush();

 private:
  static constexpr std::size_t kSize = std::size_t(1) << 20;
  static constexpr std::size_t kDirect = std::size_t(16) << 10;  // written without the block
  void Check(int err);
  int fd_;
  const std::string& path_;
  const std::string& page_;  // whose content it is
  std::string& buffer_;
};

// The file that holds a page's new content until it replaces the page.
struct ContentFile {
  Fd fd;
  std::string path;  // as warnings name it
  // Where it lies: the working directory's temporary file (AT_FDCWD and its path), or a side
  // file in the page's folder.
  int dir = AT_FDCWD;
  std::string name;
  bool beside = false;  // in the page's folder
  bool gone = false;    // its name is no longer ours: it became the page's new file, or was dropped
};

// Opens path, never through a link, as a plain file of me (the user who runs the program) with no
// other name, held with an exclusive lock, and says whether it is empty. A lock held elsewhere
// throws kTempLocked naming busy_path; anything else kTempUnsafe or kCreateTemp naming path.
Fd HoldOwnFile(const std::string& path, const std::string& busy_path, bool& empty, uid_t me);

// A page's new content: in the run's temporary file ("slimtag.tmp" in the working directory,
// made for the page, held, and gone with the page), or in a new side file beside the page.
class PosixNewContent : public NewContent {
 public:
  PosixNewContent(PosixPage& page, RunFiles& run_files);
  ~PosixNewContent() override;

  ByteSink& Writer() override { return *sink_; }
  void FinishWriting() override { sink_->Flush(); }

 private:
  std::uint64_t PutInPlace(std::unique_ptr<Page> page) override;
  // Removes the file unless it is no longer ours.
  void Delete();
  // Makes the temporary file as a new side file beside the page and gives it the temporary
  // file's name in the working directory; false where it cannot be, with nothing left of it. The
  // file then lies where it becomes the page's (ext4 places a new file near its folder, and, with
  // no journal, scans past every file deleted lately there: the pages a run before replaced), and
  // it goes back beside the page by a rename as a file made in the working directory does.
  bool MoveInFromBeside(RunFiles& run_files);

  PosixPage& page_;
  ReplacementBatch& batch_;
  ContentFile file_;
  std::unique_ptr<TempFileSink> sink_;
};

}  // namespace slimtag::posix
