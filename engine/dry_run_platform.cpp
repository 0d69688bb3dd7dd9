#include "dry_run_platform.h"

namespace slimtag {

namespace {

// A folder the run would make.
class DryRunFolder : public Folder {
 public:
  explicit DryRunFolder(std::string path) : path_(std::move(path)) {}
  const std::string& Path() const override { return path_; }

 private:
  std::string path_;
};

class DryRunPage : public Page {
 public:
  DryRunPage(std::unique_ptr<Page> real, bool counted)
      : real_(std::move(real)), counted_(counted) {}
  std::unique_ptr<ByteSource> Read() override { return real_->Read(); }
  std::uint64_t Size() const override { return real_->Size(); }
  bool RewrittenEarlier() const override { return counted_; }
  FileIdentity Identity() const override { return real_->Identity(); }
  void BackUpTo(Folder&, const std::string&) override {}

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
  explicit DryRunTempFile(std::uint64_t& replaced) : replaced_(replaced) {}
  ByteSink& Writer() override { return sink_; }
  void FinishWriting() override {}
  std::uint64_t CopyOver(Page&) override {
    ++replaced_;
    return sink_.size;
  }
  void Delete() override {}

 private:
  CountingSink sink_;
  std::uint64_t& replaced_;
};

}  // namespace

void DryRunPlatform::BeginRun() {
  counted_.clear();
  replaced_ = 0;
  real_.BeginRun();
}

std::shared_ptr<Folder> DryRunPlatform::CreateFolder(Folder& parent, const std::string& name) {
  return std::make_shared<DryRunFolder>(JoinPath(parent.Path(), name));
}

std::unique_ptr<Page> DryRunPlatform::OpenPage(Folder& folder, const std::string& name) {
  auto real = real_.OpenPage(folder, name);
  // A real run rewrites a file once, whatever its names; so many are counted.
  const FileIdentity file = real->Identity();
  const bool earlier = !counted_.insert({file.device, file.inode}).second;
  return std::make_unique<DryRunPage>(std::move(real), earlier);
}

std::unique_ptr<TempFile> DryRunPlatform::CreateTempFile(const std::string&) {
  return std::make_unique<DryRunTempFile>(replaced_);
}

}  // namespace slimtag
