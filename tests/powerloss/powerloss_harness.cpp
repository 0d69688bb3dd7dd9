#include "powerloss_harness.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

extern char** environ;

namespace slimtag::powerloss {

namespace {

constexpr int kExitNoFuse = 3;  // powerloss_fs: FUSE cannot be had here
constexpr int kReadyFd = 3;     // the daemon's end of the ready pipe

// A cursor over the dump; every read fails (false) past the end or on a byte it did not expect.
class DumpReader {
 public:
  explicit DumpReader(std::string text) : text_(std::move(text)) {}

  bool Literal(std::string_view expected) {
    if (text_.compare(at_, expected.size(), expected) != 0) return false;
    at_ += expected.size();
    return true;
  }
  bool Word(std::string* word) {
    const std::size_t end = text_.find_first_of(" \n", at_);
    if (end == std::string::npos || end == at_) return false;
    *word = text_.substr(at_, end - at_);
    at_ = end;
    return true;
  }
  bool Number(std::size_t* number) {
    std::string word;
    if (!Word(&word) || word.find_first_not_of("0123456789") != std::string::npos) return false;
    *number = std::stoull(word);
    return true;
  }
  bool Bytes(std::size_t size, std::string* bytes) {
    if (text_.size() - at_ < size) return false;
    *bytes = text_.substr(at_, size);
    at_ += size;
    return true;
  }
  bool StartsWith(std::string_view prefix) const {
    return text_.compare(at_, prefix.size(), prefix) == 0;
  }
  bool AtEnd() const { return at_ == text_.size(); }

 private:
  std::string text_;
  std::size_t at_ = 0;
};

std::string Errno(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

// Waits for a child; its exit status, or -1 when a signal ended it.
int Wait(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Starts argv[0] (looked up in PATH) with the actions given; -1 and errno when it cannot start.
pid_t Spawn(const std::vector<std::string>& argv, posix_spawn_file_actions_t* actions) {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const int err = ::posix_spawnp(&pid, args[0], actions, nullptr, args.data(), environ);
  if (err != 0) {
    errno = err;
    return -1;
  }
  return pid;
}

}  // namespace

bool ReadCuts(const std::string& dump, std::vector<Cut>* cuts, std::string* error) {
  cuts->clear();
  std::ifstream in(dump, std::ios::binary);
  if (!in) {
    *error = Errno("cannot open " + dump);
    return false;
  }
  std::ostringstream whole;
  whole << in.rdbuf();
  DumpReader reader(whole.str());
  const auto fail = [&](const std::string& what) {
    *error = dump + ": " + what + " after " + std::to_string(cuts->size()) + " cuts";
    cuts->clear();
    return false;
  };
  if (!reader.Literal("slimtag-powerloss-cuts 1\n")) return fail("not a dump");
  std::vector<std::shared_ptr<const std::string>> blobs;
  while (reader.StartsWith("blob ")) {
    std::size_t number = 0, size = 0;
    std::string bytes;
    if (!reader.Literal("blob ") || !reader.Number(&number) || number != blobs.size() ||
        !reader.Literal(" ") || !reader.Number(&size) || !reader.Literal("\n") ||
        !reader.Bytes(size, &bytes) || !reader.Literal("\n")) {
      return fail("a malformed content");
    }
    blobs.push_back(std::make_shared<const std::string>(std::move(bytes)));
  }
  while (reader.StartsWith("cut ")) {
    Cut cut;
    std::size_t count = 0, label_size = 0;
    if (!reader.Literal("cut ") || !reader.Number(&count) || !reader.Literal(" ") ||
        !reader.Number(&label_size) || !reader.Literal(" ") ||
        !reader.Bytes(label_size, &cut.label) || !reader.Literal("\n")) {
      return fail("a malformed cut");
    }
    for (std::size_t i = 0; i < count; ++i) {
      std::string kind, blob, path;
      std::size_t path_size = 0;
      if (!reader.Word(&kind) || kind.size() != 1 || !reader.Literal(" ") || !reader.Word(&blob) ||
          !reader.Literal(" ") || !reader.Number(&path_size) || !reader.Literal(" ") ||
          !reader.Bytes(path_size, &path) || !reader.Literal("\n")) {
        return fail("a malformed path");
      }
      Durable durable{kind[0], nullptr};
      if (blob != "-") {
        if (blob.find_first_not_of("0123456789") != std::string::npos ||
            std::stoull(blob) >= blobs.size()) {
          return fail("a path with an unknown content");
        }
        durable.bytes = blobs[std::stoull(blob)];
      }
      cut.paths.emplace(std::move(path), std::move(durable));
    }
    cuts->push_back(std::move(cut));
  }
  if (!reader.Literal("end\n") || !reader.AtEnd()) return fail("no end");
  if (cuts->empty() || cuts->back().label != "unmount") return fail("no state at unmount");
  return true;
}

ScratchFolder::ScratchFolder() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "slimtag-powerloss-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << Errno("mkdtemp " + pattern);
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string PowerLossMount::DaemonLog() const {
  return ReadWholeFile(folder_.Path() + "/daemon.log");
}

std::string PowerLossMount::Mount() {
  if (::access("/dev/fuse", R_OK | W_OK) != 0) return Errno("FUSE cannot be had here: /dev/fuse");
  if (::mkdir(Root().c_str(), 0755) != 0) {
    ADD_FAILURE() << Errno("mkdir " + Root());
    return {};
  }
  int ready[2];
  if (::pipe2(ready, O_CLOEXEC) != 0) {
    ADD_FAILURE() << Errno("pipe2");
    return {};
  }
  // Above the descriptors that the child is given, so that dup2 always makes a new one without
  // close-on-exec.
  const int writer = ::fcntl(ready[1], F_DUPFD_CLOEXEC, 10);
  ::close(ready[1]);
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  const std::string log = folder_.Path() + "/daemon.log";
  ::posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ::posix_spawn_file_actions_adddup2(&actions, 2, 1);
  ::posix_spawn_file_actions_adddup2(&actions, writer, kReadyFd);
  const pid_t pid = Spawn({SLIMTAG_POWERLOSS_FS, "--dump", folder_.Path() + "/cuts", "--ready-fd",
                           std::to_string(kReadyFd), Root()},
                          &actions);
  const int spawn_errno = errno;
  ::posix_spawn_file_actions_destroy(&actions);
  ::close(writer);
  if (pid < 0) {
    ::close(ready[0]);
    errno = spawn_errno;
    ADD_FAILURE() << Errno(SLIMTAG_POWERLOSS_FS);
    return {};
  }
  // The byte comes from the daemon's init, once the kernel has connected; the end of the file
  // means that the daemon ended first.
  char byte = 0;
  ssize_t got;
  while ((got = ::read(ready[0], &byte, 1)) < 0 && errno == EINTR) {
  }
  ::close(ready[0]);
  if (got == 1) {
    daemon_ = pid;
    return {};
  }
  const int status = Wait(pid);
  if (status == kExitNoFuse) return "FUSE cannot be had here: " + DaemonLog();
  ADD_FAILURE() << "powerloss_fs ended with status " << status << " before it was ready:\n"
                << DaemonLog();
  return {};
}

std::vector<Cut> PowerLossMount::UnmountAndReadCuts() {
  if (!Mounted()) {
    ADD_FAILURE() << "not mounted";
    return {};
  }
  if (::geteuid() == 0) {
    EXPECT_EQ(::umount2(Root().c_str(), 0), 0) << Errno("umount " + Root());
  } else {
    const ProgramResult r = RunProgram({"fusermount3", "-u", Root()}, folder_.Path());
    EXPECT_EQ(r.status, 0) << "fusermount3 -u: " << r.err;
  }
  // The daemon writes the cuts once the kernel has let go of the mount.
  const int status = Wait(daemon_);
  daemon_ = -1;
  EXPECT_EQ(status, 0) << "powerloss_fs:\n" << DaemonLog();
  std::vector<Cut> cuts;
  std::string error;
  EXPECT_TRUE(ReadCuts(folder_.Path() + "/cuts", &cuts, &error)) << error;
  return cuts;
}

PowerLossMount::~PowerLossMount() {
  if (!Mounted()) return;
  // A test that failed half way: the mount goes whatever holds it.
  ::kill(daemon_, SIGKILL);
  Wait(daemon_);
  if (::geteuid() == 0) {
    ::umount2(Root().c_str(), MNT_DETACH);
  } else {
    RunProgram({"fusermount3", "-u", "-z", Root()}, folder_.Path());
  }
}

void MarkRunStart(const std::string& root) {
  const std::string path = root + "/" + kStartMarker;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  ASSERT_GE(fd, 0) << Errno(path);
  ::close(fd);
}

std::vector<PageContents> SpacedPages() {
  std::vector<PageContents> pages;
  for (int n = 1; n <= 20; ++n) {
    PageContents page;
    page.name = (n < 10 ? "p0" : "p") + std::to_string(n) + ".htm";
    // 7 to 165 kB, 1.6 MB in all: the run commits its new files in more than one batch.
    const int lines = 10 + (n * 397) % 1700;
    for (int line = 1; line <= lines; ++line) {
      page.before += "<p>Страница " + std::to_string(n) + ", строка " + std::to_string(line) +
                     ":&nbsp;текст&nbsp;&nbsp;с&nbsp;пробелами</p>\r\n";
    }
    pages.push_back(std::move(page));
  }
  return pages;
}

void WritePagesDurably(const std::string& folder, const std::vector<PageContents>& pages) {
  for (const PageContents& page : pages) {
    const std::string path = folder + "/" + page.name;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << Errno(path);
    const bool written =
        ::write(fd, page.before.data(), page.before.size()) == ssize_t(page.before.size());
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    ASSERT_TRUE(written && synced) << Errno(path);
  }
}

std::vector<std::string> ReadPages(const std::string& folder,
                                   const std::vector<PageContents>& pages) {
  std::vector<std::string> contents;
  for (const PageContents& page : pages)
    contents.push_back(ReadWholeFile(folder + "/" + page.name));
  return contents;
}

namespace {

enum class Holds { kOld, kNew, kOther };

Holds WhatItHolds(const Durable& durable, const PageContents& page) {
  if (durable.kind != 'F') return Holds::kOther;
  if (*durable.bytes == page.before) return Holds::kOld;
  if (*durable.bytes == page.after) return Holds::kNew;
  return Holds::kOther;
}

std::string Describe(const Durable* durable, const PageContents& page) {
  if (!durable) return "no file";
  switch (WhatItHolds(*durable, page)) {
    case Holds::kOld:
      return "its old content";
    case Holds::kNew:
      return "its new content";
    case Holds::kOther:
      break;
  }
  if (durable->kind != 'F') return "no plain file";
  return std::to_string(durable->bytes->size()) + " bytes (old " +
         std::to_string(page.before.size()) + ", new " + std::to_string(page.after.size()) + ")";
}

// The paths that held something wrong, each told once: where it first did and how often.
class Faults {
 public:
  explicit Faults(const std::vector<Cut>& cuts) : cuts_(cuts) {}

  void Add(const std::string& path, std::size_t cut, const std::string& what) {
    auto [it, added] = by_path_.try_emplace(path, order_.size());
    if (added) order_.push_back({path, cut, what, 0});
    ++order_[it->second].cuts;
  }
  bool Empty() const { return order_.empty(); }
  std::string Told() const {
    std::ostringstream out;
    for (const Fault& f : order_) {
      out << f.path << " held " << f.what << " from cut " << f.first << " (after "
          << cuts_[f.first].label << "), in " << f.cuts << " cuts\n";
    }
    return out.str();
  }

 private:
  struct Fault {
    std::string path;
    std::size_t first;
    std::string what;
    std::size_t cuts;
  };
  const std::vector<Cut>& cuts_;
  std::map<std::string, std::size_t> by_path_;
  std::vector<Fault> order_;
};

}  // namespace

void ExpectPagesWholeAtEveryCut(const std::vector<Cut>& cuts, const std::string& folder,
                                const std::vector<PageContents>& pages) {
  const std::string start_label = std::string("create ") + kStartMarker;
  std::size_t first = 0;
  while (first < cuts.size() && cuts[first].label != start_label) ++first;
  ASSERT_LT(first, cuts.size()) << "no cut made by the start marker";
  std::map<std::string, const PageContents*> by_name;
  for (const PageContents& page : pages) by_name[page.name] = &page;
  const std::string backup_prefix = folder + "/~backup_";
  const auto find = [](const Cut& cut, const std::string& path) -> const Durable* {
    const auto it = cut.paths.find(path);
    return it == cut.paths.end() ? nullptr : &it->second;
  };

  Faults faults(cuts);
  for (std::size_t i = first; i < cuts.size(); ++i) {
    const Cut& cut = cuts[i];
    for (const PageContents& page : pages) {
      const std::string path = folder + "/" + page.name;
      const Durable* durable = find(cut, path);
      if (!durable || WhatItHolds(*durable, page) == Holds::kOther) {
        faults.Add(path, i, Describe(durable, page));
      }
    }
    for (const auto& [path, durable] : cut.paths) {
      if (!path.starts_with(backup_prefix)) continue;
      const std::size_t slash = path.find('/', backup_prefix.size());
      if (slash == std::string::npos) continue;  // the backup folder itself
      const auto page = by_name.find(path.substr(slash + 1));
      if (page == by_name.end()) continue;  // a copy under its passing name
      if (WhatItHolds(durable, *page->second) != Holds::kOld) {
        faults.Add(path, i, Describe(&durable, *page->second));
      }
    }
  }
  EXPECT_TRUE(faults.Empty()) << "after a power cut in the cuts " << first << " to "
                              << cuts.size() - 1 << ":\n"
                              << faults.Told();

  // At unmount the run is complete and durable.
  const Cut& last = cuts.back();
  std::vector<std::string> backup_folders;
  for (const auto& [path, durable] : last.paths) {
    if (path.starts_with(backup_prefix) &&
        path.find('/', backup_prefix.size()) == std::string::npos && durable.kind == 'D') {
      backup_folders.push_back(path);
    }
  }
  ASSERT_EQ(backup_folders.size(), 1u) << "backup folders at unmount";
  std::string wrong;
  for (const PageContents& page : pages) {
    const Durable* now = find(last, folder + "/" + page.name);
    if (!now || WhatItHolds(*now, page) != Holds::kNew) {
      wrong += page.name + " holds " + Describe(now, page) + "\n";
    }
    const Durable* copy = find(last, backup_folders[0] + "/" + page.name);
    if (!copy || WhatItHolds(*copy, page) != Holds::kOld) {
      wrong += "the backup of " + page.name + " holds " + Describe(copy, page) + "\n";
    }
  }
  EXPECT_TRUE(wrong.empty()) << "at unmount:\n" << wrong;
}

ProgramResult RunProgram(const std::vector<std::string>& argv, const std::string& working_dir) {
  ProgramResult result;
  const ScratchFolder outputs;
  const std::string out = outputs.Path() + "/out", err = outputs.Path() + "/err";
  posix_spawn_file_actions_t actions;
  ::posix_spawn_file_actions_init(&actions);
  ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  ::posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ::posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ::posix_spawn_file_actions_addchdir_np(&actions, working_dir.c_str());
  const pid_t pid = Spawn(argv, &actions);
  ::posix_spawn_file_actions_destroy(&actions);
  if (pid < 0) {
    result.err = Errno(argv[0]);
    return result;
  }
  result.status = Wait(pid);
  result.out = ReadWholeFile(out);
  result.err = ReadWholeFile(err);
  return result;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream whole;
  whole << in.rdbuf();
  return whole.str();
}

}  // namespace slimtag::powerloss
