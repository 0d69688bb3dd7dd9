// The program as the shell runs it: exit codes with standard output on a full disk, a folder we
// may not read, and the filter between two files.

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "fake_platform.h"
#include "run/messages.h"
#include "std_streams.h"

namespace slimtag {
namespace {

using testing::ReadFile;
using testing::ScratchDir;
using testing::WriteFile;
namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;
constexpr int kCouldNotSwitchUser = 99;

struct ProcessResult {
  int code;
  std::string out;
  std::string err;
};

struct Redirect {
  std::string in = "/dev/null";
  std::string out;                  // empty: a file of the test's, read back
  bool out_to_closed_pipe = false;  // standard output a pipe whose reader has gone
  std::string err;
  std::optional<uid_t> user;  // run as this user (needs root)
  std::string program = SLIMTAG_BATCH_PROGRAM;
};

ProcessResult RunProgram(const ScratchDir& dir, const std::vector<std::string>& args,
                         const Redirect& redirect = {}) {
  const std::string out = redirect.out.empty() ? dir.Root() + "/out" : redirect.out;
  const std::string err = redirect.err.empty() ? dir.Root() + "/err" : redirect.err;
  std::vector<std::string> all = {redirect.program};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : all) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int in_fd = ::open(redirect.in.c_str(), O_RDONLY);
    const int out_fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err_fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in_fd < 0 || out_fd < 0 || err_fd < 0) ::_exit(kCouldNotSwitchUser);
    ::dup2(in_fd, 0);
    ::dup2(out_fd, 1);
    ::dup2(err_fd, 2);
    int pipe_fds[2];
    if (redirect.out_to_closed_pipe) {
      if (::pipe(pipe_fds) != 0) ::_exit(kCouldNotSwitchUser);
      ::close(pipe_fds[0]);
      ::dup2(pipe_fds[1], 1);
    }
    // As a shell leaves it: a signal ignored here would stay ignored in the program.
    ::signal(SIGPIPE, SIG_DFL);
    if (redirect.user && (::setgroups(0, nullptr) != 0 || ::setgid(*redirect.user) != 0 ||
                          ::setuid(*redirect.user) != 0)) {
      ::_exit(kCouldNotSwitchUser);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  const auto read = [](const std::string& path) {
    return path.starts_with("/dev/") ? std::string() : ReadFile(path);
  };
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read(out), read(err)};
}

struct FullCase {
  const char* name;
  std::vector<std::string> args;
  bool stdout_full;  // else standard error, where no message can go
};

TEST(BatchProcess, AWriteErrorOnAStandardStreamGivesExitTwo) {
  const FullCase cases[] = {
      {"statistics", {"--nbsp", "{pages}"}, true},
      {"help", {"--help"}, true},
      {"version", {"--version"}, true},
      {"json", {"--report", "json", "{pages}"}, true},
      {"filter", {"--nbsp", "-"}, true},
      {"verbose lines on a full standard error", {"-v", "{pages}"}, false},
      {"usage error on a full standard error", {"--bogus", "{pages}"}, false},
  };
  for (const FullCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchDir dir;
    WriteFile(dir.Page("a.htm"), "a&nbsp;\r\n");
    WriteFile(dir.Root() + "/in", "a&nbsp;\r\n");
    std::vector<std::string> args = c.args;
    for (std::string& arg : args) {
      if (arg == "{pages}") arg = dir.Pages();
    }
    Redirect redirect;
    redirect.in = dir.Root() + "/in";
    (c.stdout_full ? redirect.out : redirect.err) = "/dev/full";
    const ProcessResult r = RunProgram(dir, args, redirect);
    EXPECT_EQ(r.code, 2);
    if (c.stdout_full) {
      EXPECT_EQ(r.err,
                "slimtag-batch: не удалось записать стандартный вывод: на диске нет свободного "
                "места\n");
    }
  }
}

// The reader of a pipe gone before the end (`slimtag-batch … | head -1`): the run still ends as it
// would, and the tool ends quietly, as sed does, with the status of a write error.
TEST(BatchProcess, AClosedPipeOnStandardOutputEndsQuietlyWithExitTwo) {
  for (const bool filter : {false, true}) {
    SCOPED_TRACE(filter ? "the filter" : "a folder's run");
    ScratchDir dir;
    WriteFile(dir.Page("a.htm"), "a&nbsp;\r\n");
    WriteFile(dir.Page("b.htm"), "b&nbsp;\r\n");
    WriteFile(dir.Root() + "/in", "c&nbsp;\r\n");
    Redirect redirect;
    redirect.out_to_closed_pipe = true;
    redirect.in = dir.Root() + "/in";
    const std::vector<std::string> args =
        filter ? std::vector<std::string>{"--nbsp", "-"}
               : std::vector<std::string>{"--nbsp", "--report", "json", dir.Pages()};
    const ProcessResult r = RunProgram(dir, args, redirect);
    EXPECT_EQ(r.code, 2) << "killed by a signal when -1";
    EXPECT_EQ(r.err, "");
    if (!filter) {
      EXPECT_EQ(ReadFile(dir.Page("a.htm")), "a\r\n");
      EXPECT_EQ(ReadFile(dir.Page("b.htm")), "b\r\n");
    }
  }
}

TEST(BatchProcess, AFolderThatCannotBeReadExitsTwoWithTheReason) {
  ScratchDir dir;
  WriteFile(dir.Page("a.htm"), "a&nbsp;\r\n");
  fs::create_directory(dir.Page("locked"));
  WriteFile(dir.Page("locked/b.htm"), "b&nbsp;\r\n");
  Redirect redirect;
  if (::geteuid() == 0) {
    // Root reads every folder: the program runs as nobody, who must reach the scratch folder.
    fs::permissions(dir.Root(), fs::perms::owner_all | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read |
                                    fs::perms::others_exec);
    fs::permissions(dir.Page("a.htm"), fs::perms::all);
    redirect.user = kNobody;
    // The build folder may be out of nobody's reach (a checkout in a private folder).
    redirect.program = dir.Root() + "/slimtag-batch";
    fs::copy_file(SLIMTAG_BATCH_PROGRAM, redirect.program);
  }
  fs::permissions(dir.Page("locked"), fs::perms::none);
  const std::string locked = dir.Page("locked");

  ProcessResult r = RunProgram(dir, {"--nbsp", locked}, redirect);
  if (r.code == kCouldNotSwitchUser) GTEST_SKIP() << "cannot run as user " << kNobody;
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "slimtag-batch: не удалось прочитать папку «" + locked + "»: нет прав доступа\n");

  r = RunProgram(dir, {"--nbsp", "-r", dir.Pages()}, redirect);
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err,
            "slimtag-batch: не удалось прочитать папку «" + locked + "»: нет прав доступа\n");
  EXPECT_EQ(ReadFile(dir.Page("a.htm")), "a&nbsp;\r\n") << "nothing done before the listing";

  r = RunProgram(dir, {"--report", "json", locked}, redirect);
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "");
  EXPECT_NE(
      r.out.find("\"failure\": {\n    \"operation\": \"list_folder\",\n    \"path\": \"" + locked +
                 "\",\n    \"other\": null,\n    \"errno\": 13,\n    \"reason\": \"нет прав "
                 "доступа\""),
      std::string::npos)
      << r.out;
  fs::permissions(dir.Page("locked"), fs::perms::owner_all);
}

TEST(BatchProcess, FilterBetweenFilesInAPipeline) {
  ScratchDir dir;
  WriteFile(dir.Root() + "/in", "  <p>a&nbsp;</p>  \r\n\r\n");
  Redirect redirect;
  redirect.in = dir.Root() + "/in";
  const ProcessResult r = RunProgram(dir, {"--check", "1,2,3,7", "-"}, redirect);
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "<p>a</p>\r\n");
  EXPECT_EQ(r.err, "");
  EXPECT_TRUE(fs::is_empty(dir.Work())) << "no temporary file";
}

// A socket of packets keeps each write apart: the filter's output of many short lines comes in
// blocks of at least 64 KiB, the last one at the end, every byte in order.
TEST(BatchProcess, TheFilterWritesBlocksNotLines) {
  int fds[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds), 0);
  std::vector<std::size_t> writes;
  std::string received;
  std::thread reader([&] {
    std::string packet(std::size_t(1) << 20, '\0');
    for (ssize_t n; (n = ::recv(fds[1], packet.data(), packet.size(), 0)) > 0;) {
      writes.push_back(static_cast<std::size_t>(n));
      received.append(packet, 0, static_cast<std::size_t>(n));
    }
  });
  std::string sent;
  {
    FdSink sink(fds[0]);
    for (int i = 0; i < 20000; ++i) {
      const std::string line(static_cast<std::size_t>(i % 97), static_cast<char>('a' + i % 26));
      sink.WriteLine(line, "\n");
      sent += line + "\n";
    }
    sink.Flush();
    EXPECT_EQ(sink.BytesWritten(), sent.size());
  }
  ::close(fds[0]);
  reader.join();
  ::close(fds[1]);
  EXPECT_EQ(received, sent);
  ASSERT_GT(writes.size(), 1u);
  for (std::size_t i = 0; i + 1 < writes.size(); ++i) EXPECT_GE(writes[i], FdSink::kBlockSize);
}

}  // namespace
}  // namespace slimtag
