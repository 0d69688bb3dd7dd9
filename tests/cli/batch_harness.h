#pragma once

// Runs slimtag-batch in the test's process over a scratch folder of pages.

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "batch.h"
#include "fake_platform.h"
#include "posix/posix_platform.h"

namespace slimtag::testing {

struct BatchResult {
  int code;
  std::string out;
  std::string err;
};

// A scratch folder holding the pages; "{pages}" in an argument stands for its path.
class Batch {
 public:
  // name may hold sub-folders ("sub/a.htm"); they are made.
  void AddPage(const std::string& name, const std::string& content) {
    std::filesystem::create_directories(std::filesystem::path(dir.Page(name)).parent_path());
    WriteFile(dir.Page(name), content);
  }
  void AddPages(const std::map<std::string, std::string>& pages) {
    for (const auto& [name, content] : pages) AddPage(name, content);
  }
  std::string Page(const std::string& name) const { return ReadFile(dir.Page(name)); }

  std::string Expand(std::string text) const {
    for (std::size_t p; (p = text.find("{pages}")) != std::string::npos;) {
      text.replace(p, 7, dir.Pages());
    }
    return text;
  }

  BatchResult Run(std::vector<std::string> args) { return RunWith(posix, std::move(args)); }
  BatchResult RunWith(Platform& platform, std::vector<std::string> args) {
    std::ostringstream out, err;
    BatchIo io{out, err};
    io.err_is_terminal = terminal;
    io.terminal_width = terminal_width;
    io.clock = [this] { return clock_ms += clock_step_ms; };
    io.in_fd = in_fd;
    io.out_fd = out_fd;
    const int code = RunArgs(io, platform, std::move(args));
    return {code, out.str(), err.str()};
  }

  // FOLDER "-": input is the page on standard input; out is what standard output received.
  BatchResult Filter(std::vector<std::string> args, const std::string& input) {
    const std::string in_path = dir.Root() + "/stdin";
    const std::string out_path = dir.Root() + "/stdout";
    WriteFile(in_path, input);
    in_fd = ::open(in_path.c_str(), O_RDONLY | O_CLOEXEC);
    out_fd = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    BatchResult r = Run(std::move(args));
    ::close(in_fd);
    ::close(out_fd);
    in_fd = 0;
    out_fd = 1;
    r.out += ReadFile(out_path);
    return r;
  }

  ScratchDir dir;
  PosixPlatform posix;
  bool terminal = false;
  int terminal_width = 0;
  std::int64_t clock_ms = 0;
  std::int64_t clock_step_ms = 1000;  // each look at the clock moves it on by this much
  int in_fd = 0;
  int out_fd = 1;

 private:
  int RunArgs(BatchIo& io, Platform& platform, std::vector<std::string> args) {
    args.insert(args.begin(), "slimtag-batch");
    for (std::string& arg : args) arg = Expand(arg);
    std::vector<const char*> argv;
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    return RunBatch(static_cast<int>(argv.size()), argv.data(), io, platform);
  }
};

// Every file and folder under root, relative, with each file's content: a snapshot to compare.
inline std::map<std::string, std::string> TreeOf(const std::string& root) {
  std::map<std::string, std::string> tree;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    const std::string name = std::filesystem::relative(entry.path(), root).string();
    tree[name] = entry.is_directory() ? "<folder>" : ReadFile(entry.path().string());
  }
  return tree;
}

// The pages a -v run named on err, in order.
inline std::vector<std::string> VerboseNames(const std::string& err) {
  std::vector<std::string> names;
  std::istringstream lines(err);
  for (std::string line; std::getline(lines, line);)
    names.push_back(line.substr(0, line.find(':')));
  return names;
}

}  // namespace slimtag::testing
