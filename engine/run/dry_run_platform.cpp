#include "dry_run_platform.h"

#include <stdexcept>

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

// Counts what would be written.
class CountingSink : public ByteSink {
 public:
  void Write(std::string_view bytes) override { size += bytes.size(); }
  std::uint64_t size = 0;
};

// What a page's new content would be: its size.
class DryRunContent : public NewContent {
 public:
  explicit DryRunContent(const Page& page) : page_(page) {}
  ByteSink& Writer() override { return sink_; }
  void FinishWriting() override {}

 private:
  std::uint64_t PutInPlace(std::unique_ptr<Page> page) override {
    if (page.get() != &page_) throw std::logic_error("content of another page");
    return sink_.size;
  }
  const Page& page_;
  CountingSink sink_;
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
  std::unique_ptr<NewContent> StartNewContent() override {
    return std::make_unique<DryRunContent>(*this);
  }

 private:
  std::unique_ptr<Page> real_;
  bool counted_;  // the same file came earlier under another name
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

std::uint64_t DryRunPlatform::Replace(std::unique_ptr<Page> page,
                                      std::unique_ptr<NewContent> content) {
  const std::uint64_t size = PutInPlace(*content, std::move(page));
  ++replaced_;
  return size;
}

}  // namespace slimtag
