#include "dry_run_platform.h"

#include <sys/stat.h>

namespace slimtag {

namespace {

class DryRunPage : public Page {
 public:
  DryRunPage(std::unique_ptr<Page> real, bool counted)
      : real_(std::move(real)), counted_(counted) {}
  std::unique_ptr<ByteSource> Read() override { return real_->Read(); }
  std::uint64_t Size() const override { return real_->Size(); }
  bool RewrittenEarlier() const override { return counted_; }
  void BackUpTo(const std::string&) override {}

 private:
  std::unique_ptr<Page> real_;
  bool counted_;  // the same file came earlier under another name
};

// Counts what would be written.
class CountingSink : public ByteSink {
 public:
  void Write(std::string_view bytes) override { size += bytes.size(); }
  std::uint64_t size = 0;
};

class DryRunTempFile : public TempFile {
 public:
  ByteSink& Writer() override { return sink_; }
  void FinishWriting() override {}
  std::uint64_t CopyOver(Page&) override { return sink_.size; }
  void Delete() override {}

 private:
  CountingSink sink_;
};

}  // namespace

void DryRunPlatform::BeginRun() {
  counted_.clear();
  real_.BeginRun();
}

std::unique_ptr<Page> DryRunPlatform::OpenPage(const std::string& path) {
  auto real = real_.OpenPage(path);
  // A real run rewrites a file once, whatever its names; so many are counted.
  struct stat st {};
  bool earlier = false;
  if (::stat(path.c_str(), &st) == 0) earlier = !counted_.insert({st.st_dev, st.st_ino}).second;
  return std::make_unique<DryRunPage>(std::move(real), earlier);
}

std::unique_ptr<TempFile> DryRunPlatform::CreateTempFile(const std::string&) {
  return std::make_unique<DryRunTempFile>();
}

}  // namespace slimtag
