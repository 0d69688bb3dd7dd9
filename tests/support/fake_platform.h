#pragma once

// File-system helpers for whole-run tests: a scratch folder that is also the working directory
// (where the run keeps "slimtag.tmp"), and a platform that passes every file operation on to a
// real one, logs it, and can make the n-th one fail.

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fake_host.h"
#include "run/platform.h"

namespace slimtag::testing {

inline void WriteFile(const std::string& path, std::string_view content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

// In one read: the kill tests read pages of megabytes dozens of times, which a character at a time
// makes slow in the sanitizer's build.
inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) throw std::runtime_error("cannot read " + path);
  const std::streamoff size = in.tellg();
  if (size < 0) {  // not a plain file
    in.clear();
    in.seekg(0);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::string content(static_cast<std::size_t>(size), '\0');
  in.seekg(0);
  in.read(content.data(), static_cast<std::streamsize>(content.size()));
  if (!in) throw std::runtime_error("cannot read " + path);
  return content;
}

// A fresh folder under the system's temporary folder with a "pages" folder for the pages and a
// "work" folder that is the working directory while the object lives. The two differ so that a
// temporary file put beside the pages instead of in the working directory shows.
class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "slimtag-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    std::filesystem::create_directory(Pages());
    std::filesystem::create_directory(Work());
    old_cwd_ = std::filesystem::current_path();
    std::filesystem::current_path(Work());
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::current_path(old_cwd_, ec);
    std::filesystem::remove_all(root_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  std::string Root() const { return root_.string(); }
  std::string Pages() const { return (root_ / "pages").string(); }
  std::string Work() const { return (root_ / "work").string(); }
  std::string Page(const std::string& name) const { return Pages() + "/" + name; }

 private:
  std::filesystem::path root_;
  std::filesystem::path old_cwd_;
};

// Passes every operation on to the real platform, after logging it on the timeline as
// "op <n> <what> <path>". With FailAt(n) the n-th operation (counted from 1 over the platform's
// life) throws the FileError that the real one would throw for it, without being done. The time of
// day is fixed so that the backup folder's name is known.
class FailingPlatform : public Platform {
 public:
  using Op = FileError::Operation;

  FailingPlatform(Platform& real, Timeline& timeline, std::string time_of_day = "14:05:09")
      : real_(real), timeline_(timeline), time_of_day_(std::move(time_of_day)) {}

  void FailAt(int n, int error = EIO) {
    fail_at_ = n;
    error_ = error;
  }
  // Makes the first operation of that kind ("open", "copy-over", …, as logged) fail; with a
  // path, the first on that path.
  void FailAtFirst(std::string what, int error = EIO, std::string path = {}) {
    fail_what_ = std::move(what);
    fail_path_ = std::move(path);
    error_ = error;
  }
  // Runs act just before the first operation of that kind (on that path, when one is given) is
  // done: another program at work.
  void Before(std::string what, std::function<void()> act, std::string path = {}) {
    before_what_ = std::move(what);
    before_path_ = std::move(path);
    before_ = std::move(act);
  }
  // Runs act before every operation of that kind.
  void BeforeEach(std::string what, std::function<void()> act) {
    each_what_ = std::move(what);
    each_ = std::move(act);
  }
  // How many operations of that kind were done.
  int Count(const std::string& what) const {
    int n = 0;
    for (const std::string& e : timeline_.events) {
      n += e.rfind("op ", 0) == 0 && e.find(" " + what + " ") != std::string::npos;
    }
    return n;
  }
  // Makes the first operation of that kind (on that path, when one is given) run out of memory.
  void OutOfMemoryAt(std::string what, std::string path = {}) {
    out_of_memory_what_ = std::move(what);
    out_of_memory_path_ = std::move(path);
  }
  int Operations() const { return count_; }
  // The error thrown, when one was.
  const FileError* Injected() const { return injected_.get(); }

  std::string TimeOfDayText() override { return time_of_day_; }
  void BeginRun() override { real_.BeginRun(); }
  std::shared_ptr<Folder> OpenFolder(const std::string& path, const FileIdentity* listed,
                                     bool exclusive) override {
    Step("open-folder", Op::kOpenFolder, path);
    return real_.OpenFolder(path, listed, exclusive);
  }
  std::shared_ptr<Folder> OpenSubFolder(Folder& parent, const std::string& name,
                                        const FileIdentity* listed, bool exclusive) override {
    Step("open-folder", Op::kOpenFolder, JoinPath(parent.Path(), name));
    return real_.OpenSubFolder(parent, name, listed, exclusive);
  }
  std::vector<Recovery> RecoverFolder(Folder& folder) override {
    Step("recover", Op::kRecover, folder.Path());
    return real_.RecoverFolder(folder);
  }
  std::shared_ptr<Folder> CreateFolder(Folder& parent, const std::string& name) override {
    Step("create-folder", Op::kCreateFolder, JoinPath(parent.Path(), name));
    return real_.CreateFolder(parent, name);
  }
  void RemoveIfEmpty(Folder& made) override { real_.RemoveIfEmpty(made); }
  std::unique_ptr<Page> OpenPage(Folder& folder, const std::string& name) override {
    const std::string path = JoinPath(folder.Path(), name);
    Step("open", Op::kOpen, path);
    return std::make_unique<WrappedPage>(*this, real_.OpenPage(folder, name), path);
  }
  void UseTempFile(const std::string& path) override {
    temp_path_ = path;
    Step("use-temp", Op::kCreateTemp, path);
    real_.UseTempFile(path);
  }
  // Logged as "copy-over" by the content, which knows its page.
  std::uint64_t Replace(std::unique_ptr<Page> page, std::unique_ptr<NewContent> content) override {
    return PutInPlace(*content, std::move(page));
  }
  void CommitReplacements() override {
    Step("commit", Op::kReplace, "");
    real_.CommitReplacements();
  }
  std::uint64_t PagesReplaced() const override { return real_.PagesReplaced(); }
  void EndRun() override { real_.EndRun(); }
  // The listing's and the operands' failures are returned: an injected one is too.
  FolderContents ListFolder(const std::string& path, bool follow_link,
                            const std::function<bool(std::string_view)>& wanted, bool sub_folders,
                            std::error_code& error) override {
    if (Failed("list", Op::kOpenFolder, path, error)) return {};
    return real_.ListFolder(path, follow_link, wanted, sub_folders, error);
  }
  bool IsFolder(const std::string& path) override { return real_.IsFolder(path); }
  FileLookup LookUpFile(const std::string& folder_path, const std::string& name,
                        std::error_code& error) override {
    if (Failed("look-up", Op::kOpen, JoinPath(folder_path, name), error)) return {};
    return real_.LookUpFile(folder_path, name, error);
  }

 private:
  class Source : public ByteSource {
   public:
    Source(FailingPlatform& owner, std::unique_ptr<ByteSource> real, std::string path)
        : owner_(owner), real_(std::move(real)), path_(std::move(path)) {}
    std::size_t Read(char* buffer, std::size_t size) override {
      owner_.Step("read", Op::kRead, path_);
      return real_->Read(buffer, size);
    }

   private:
    FailingPlatform& owner_;
    std::unique_ptr<ByteSource> real_;
    std::string path_;
  };

  class WrappedPage : public Page {
   public:
    WrappedPage(FailingPlatform& owner, std::unique_ptr<Page> real, std::string path)
        : owner_(owner), real_(std::move(real)), path_(std::move(path)) {}
    std::unique_ptr<ByteSource> Read() override {
      return std::make_unique<Source>(owner_, real_->Read(), path_);
    }
    std::uint64_t Size() const override { return real_->Size(); }
    bool RewrittenEarlier() const override { return real_->RewrittenEarlier(); }
    FileIdentity Identity() const override { return real_->Identity(); }
    void BackUpTo(Folder& folder, const std::string& name) override {
      owner_.Step("copy", Op::kBackup, path_, JoinPath(folder.Path(), name));
      real_->BackUpTo(folder, name);
    }
    std::unique_ptr<NewContent> StartNewContent() override;
    std::unique_ptr<Page> TakeReal() { return std::move(real_); }
    const std::string& Path() const { return path_; }

   private:
    FailingPlatform& owner_;
    std::unique_ptr<Page> real_;
    std::string path_;
  };

  class Sink : public ByteSink {
   public:
    Sink(FailingPlatform& owner, ByteSink& real, const std::string& path)
        : owner_(owner), real_(real), path_(path) {}
    void Write(std::string_view bytes) override {
      owner_.Step("write", Op::kWriteTemp, path_);
      real_.Write(bytes);
    }
    // Two writes, as they are counted, that reach the real sink in its one call.
    void WriteLine(std::string_view line, std::string_view terminator) override {
      owner_.Step("write", Op::kWriteTemp, path_);
      owner_.Step("write", Op::kWriteTemp, path_);
      real_.WriteLine(line, terminator);
    }

   private:
    FailingPlatform& owner_;
    ByteSink& real_;
    const std::string& path_;
  };

  class Content : public NewContent {
   public:
    Content(FailingPlatform& owner, WrappedPage& page, std::unique_ptr<NewContent> real,
            std::string path)
        : owner_(owner), page_(page), real_(std::move(real)), path_(std::move(path)) {}
    ByteSink& Writer() override {
      if (!sink_) sink_ = std::make_unique<Sink>(owner_, real_->Writer(), path_);
      return *sink_;
    }
    void FinishWriting() override {
      owner_.Step("finish-temp", Op::kWriteTemp, path_);
      real_->FinishWriting();
    }

   private:
    std::uint64_t PutInPlace(std::unique_ptr<Page> page) override {
      if (page.get() != &page_) throw std::logic_error("content of another page");
      owner_.Step("copy-over", Op::kReplace, page_.Path(), path_);
      return owner_.real_.Replace(page_.TakeReal(), std::move(real_));
    }
    FailingPlatform& owner_;
    WrappedPage& page_;
    std::unique_ptr<NewContent> real_;
    std::string path_;
    std::unique_ptr<Sink> sink_;
  };

  bool Failed(const char* what, Op op, const std::string& path, std::error_code& error) {
    try {
      Step(what, op, path);
      return false;
    } catch (const FileError& e) {
      error.assign(e.error, std::generic_category());
      return true;
    }
  }

  void Step(const char* what, Op op, const std::string& path, const std::string& other = {}) {
    ++count_;
    timeline_.Add("op " + std::to_string(count_) + " " + what + " " + path);
    if (before_ && before_what_ == what && (before_path_.empty() || before_path_ == path)) {
      std::exchange(before_, nullptr)();
    }
    if (each_ && each_what_ == what) each_();
    if (out_of_memory_what_ == what &&
        (out_of_memory_path_.empty() || out_of_memory_path_ == path)) {
      out_of_memory_what_.clear();
      throw std::bad_alloc();
    }
    const bool chosen =
        !fail_what_.empty() && fail_what_ == what && (fail_path_.empty() || fail_path_ == path);
    if (count_ != fail_at_ && !chosen) return;
    fail_what_.clear();
    injected_ = std::make_unique<FileError>(op, path, error_, other);
    throw *injected_;
  }

  Platform& real_;
  Timeline& timeline_;
  std::string time_of_day_;
  int count_ = 0;
  int fail_at_ = 0;
  std::string fail_what_;
  std::string fail_path_;
  int error_ = EIO;
  std::unique_ptr<FileError> injected_;
  std::string before_what_;
  std::string before_path_;
  std::function<void()> before_;
  std::string each_what_;
  std::function<void()> each_;
  std::string out_of_memory_what_;
  std::string out_of_memory_path_;
  std::string temp_path_;  // the run's, as the run named it
};

// Logged with the run's temporary file, or the page's path where the content goes beside it.
inline std::unique_ptr<NewContent> FailingPlatform::WrappedPage::StartNewContent() {
  const std::string& where = owner_.temp_path_.empty() ? path_ : owner_.temp_path_;
  owner_.Step("create-temp", Op::kCreateTemp, where);
  return std::make_unique<Content>(owner_, *this, real_->StartNewContent(), where);
}

}  // namespace slimtag::testing
