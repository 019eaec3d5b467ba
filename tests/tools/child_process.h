#pragma once

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

// Running a piece of a test in a process of its own: for limits and
// identities that must not stick to the test program, and for work that may
// be killed by a signal.
namespace zephran::testing {

// The wait status of a forked child that runs `work` and exits with what it
// returns. The child never returns into the test framework.
inline int RunInChild(const std::function<int()>& work) {
  const pid_t child = ::fork();
  if (child < 0) {
    return -1;
  }
  if (child == 0) {
    std::_Exit(work());
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

inline std::string DescribeStatus(int status) {
  if (WIFEXITED(status)) {
    return "exit code " + std::to_string(WEXITSTATUS(status));
  }
  if (WIFSIGNALED(status)) {
    return "killed by signal " + std::to_string(WTERMSIG(status));
  }
  return "wait status " + std::to_string(status);
}

// The user whose permissions the unprivileged checks run under when the tests
// run as root, where permission bits do not stop anything.
struct Identity {
  uid_t uid = 0;
  gid_t gid = 0;
};

inline std::optional<Identity> UnprivilegedUser() {
  const passwd* entry = ::getpwnam("nobody");
  if (entry == nullptr || entry->pw_uid == 0) {
    return std::nullopt;
  }
  return Identity{entry->pw_uid, entry->pw_gid};
}

// Runs `work` without root's powers and gives its exit code: in place when we
// are not root, else in a child that has become the unprivileged user. The
// files it touches must then belong to that user (see UnprivilegedUser).
// nullopt when neither is possible, or when the child did not exit.
inline std::optional<int> RunUnprivileged(const std::function<int()>& work) {
  if (::geteuid() != 0) {
    return work();
  }
  const std::optional<Identity> user = UnprivilegedUser();
  if (!user) {
    return std::nullopt;
  }
  const int status = RunInChild([&] {
    // The group first: after setuid we could no longer change it.
    if (::setgroups(0, nullptr) != 0 || ::setgid(user->gid) != 0 || ::setuid(user->uid) != 0) {
      return 125;
    }
    return work();
  });
  if (!WIFEXITED(status) || WEXITSTATUS(status) == 125) {
    return std::nullopt;
  }
  return WEXITSTATUS(status);
}

}  // namespace zephran::testing
