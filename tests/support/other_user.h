#pragma once

// Acting as another user in a test: a child process switched to that user. Switching needs root;
// elsewhere the tests that need it skip, or act as themselves where the mechanism is the same.

#include <grp.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <vector>

namespace slimtag::testing {

inline constexpr uid_t kOther = 65534;  // nobody
inline constexpr gid_t kOtherGroup = 65534;

// Runs act in a child process switched to user uid with the groups given, and returns its exit
// status (act's result), or -1 when the switch failed.
inline int AsUser(uid_t uid, std::vector<gid_t> groups, const std::function<int()>& act) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::setgroups(groups.size(), groups.data()) != 0 ||
        ::setresgid(groups[0], groups[0], groups[0]) != 0 || ::setresuid(uid, uid, uid) != 0) {
      ::_exit(255);
    }
    ::_exit(act());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) != 255 ? WEXITSTATUS(status) : -1;
}

// Runs act as the owner of the files a root test gives to the other user; as ourselves where the
// test does not run as root. What a folder's owner may do to it, the run's user cannot prevent.
// True when act ran through without throwing.
inline bool AsOwner(const std::function<void()>& act) {
  const auto run = [&] {
    try {
      act();
      return 0;
    } catch (...) {
      return 1;
    }
  };
  if (::geteuid() != 0) return run() == 0;
  return AsUser(kOther, {kOtherGroup}, run) == 0;
}

}  // namespace slimtag::testing
