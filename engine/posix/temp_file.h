#pragma once

#include <memory>
#include <string>

#include "platform.h"
#include "posix/fd.h"
#include "posix/replacement_batch.h"

namespace slimtag::posix {

// Collects lines in a large block so that the file sees few, large writes. The block is the
// platform's, kept from page to page.
class TempFileSink : public ByteSink {
 public:
  TempFileSink(int fd, const std::string& path, std::string& buffer)
      : fd_(fd), path_(path), buffer_(buffer) {
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
  std::string& buffer_;
};

// "slimtag.tmp" in the working directory: a plain file of the user who runs the program, held
// with an exclusive lock from its creation to its deletion.
class PosixTempFile : public TempFile {
 public:
  PosixTempFile(std::string path, ReplacementBatch& batch, std::string& buffer);
  ~PosixTempFile() override;

  ByteSink& Writer() override { return *sink_; }
  void FinishWriting() override { sink_->Flush(); }
  std::uint64_t CopyOver(Page& page) override;
  void Delete() override;

 private:
  std::string path_;
  ReplacementBatch& batch_;
  Fd fd_;
  bool moved_ = false;  // it became a page's new file: its name is no longer ours
  std::unique_ptr<TempFileSink> sink_;
  std::string& buffer_;
};

}  // namespace slimtag::posix
