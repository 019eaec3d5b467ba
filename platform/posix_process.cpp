#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#ifdef __APPLE__
#include <mach-o/dyld.h>

#include <cstdint>
#endif

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/flush_output.h"
#include "platform/native_platform.h"
#include "platform/posix_paths.h"

extern char** environ;

namespace zephran::platform {

namespace fs = std::filesystem;

namespace {

// Everything the started process needs, worked out before forking: between
// fork and exec only async-signal-safe calls are allowed, so nothing there
// may allocate or look anything up.
struct Launch {
  fs::path executable;
  std::vector<std::string> arguments;  // argv, including argv[0]
  fs::path folder;
};

struct Prepared {
  std::optional<Launch> launch;
  std::string reason;
};

// How the detached grandchild tells the launcher why it did not get going.
enum class FailedStep : int { Fork, Folder, Exec };

struct ChildReport {
  FailedStep step = FailedStep::Exec;
  int error = 0;
};

Prepared Refuse(std::string reason) {
  return Prepared{std::nullopt, std::move(reason)};
}

std::string Describe(int error) {
  switch (error) {
    case ENOENT:
      return "no such file";
    case EACCES:
      return "permission denied";
    case ENOEXEC:
      return "not a program this system can run";
    default:
      return std::strerror(error);
  }
}

bool HasWindowsProgramName(const fs::path& program) {
  const std::string name = program.filename().string();
  return name.size() >= 4 &&
         EqualsIgnoringCase(std::string_view(name).substr(name.size() - 4), ".exe");
}

// Whether the system runs the file by itself: ELF (or Mach-O) programs and
// scripts with a "#!" line. A game's own ZP1.EXE is a Windows program even
// though it may well carry the executable bit after a copy.
std::optional<bool> IsNativeProgram(const fs::path& program, int& error) {
  // Not blocking, should the file have been swapped for a pipe meanwhile.
  const int descriptor = ::open(program.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) {
    error = errno;
    return std::nullopt;
  }
  std::array<char, 4> head{};
  const ssize_t length = ::read(descriptor, head.data(), head.size());
  ::close(descriptor);
  const std::string_view magic(head.data(), length > 0 ? static_cast<std::size_t>(length) : 0);
  static constexpr std::array<std::string_view, 7> kNativeMagic = {
      "\x7f"
      "ELF",
      "\xfe\xed\xfa\xce",
      "\xfe\xed\xfa\xcf",
      "\xce\xfa\xed\xfe",
      "\xcf\xfa\xed\xfe",
      "\xca\xfe\xba\xbe",
      "\xbe\xba\xfe\xca"};
  if (magic.starts_with("#!")) {
    return true;
  }
  for (const std::string_view native : kNativeMagic) {
    if (magic == native) {
      return true;
    }
  }
  return false;
}

// Wine as the user set it up: $WINE (a name or a path) or "wine" on $PATH.
// The environment goes along unchanged, so WINEPREFIX and the like apply.
Prepared ThroughWine(const fs::path& program, const CommandLine& command) {
  const char* configured = std::getenv("WINE");
  const std::string wine = (configured != nullptr && *configured != '\0') ? configured : "wine";
  const std::optional<fs::path> found = FindExecutable(wine);
  if (!found) {
    return Refuse("it is a Windows program and Wine (\"" + wine + "\") was not found");
  }
  std::error_code error;
  Launch launch{fs::absolute(*found, error), {}, program.parent_path()};
  launch.arguments = {launch.executable.string(), program.string()};
  launch.arguments.insert(launch.arguments.end(), command.arguments.begin(),
                          command.arguments.end());
  return Prepared{std::move(launch), {}};
}

Prepared Prepare(const CommandLine& command) {
  fs::path program;
  if (command.program.find('/') == std::string::npos) {
    const std::optional<fs::path> found = FindExecutable(command.program);
    if (!found) {
      return Refuse("not found on PATH");
    }
    program = *found;
  } else {
    program = ResolveCaseInsensitive(command.program);
  }
  std::error_code error;
  // The child changes folder before exec, so a relative name would be lost.
  program = fs::absolute(program, error);
  const fs::file_status status = fs::status(program, error);
  if (!fs::exists(status)) {
    return Refuse("no such file");
  }
  if (fs::is_directory(status)) {
    return Refuse("it is a folder");
  }
  // Known from stat alone: opening a pipe or a device to look at its first
  // bytes could wait for ever.
  if (!fs::is_regular_file(status)) {
    return Refuse("it is not a regular file");
  }
  if (HasWindowsProgramName(program)) {
    int read_error = 0;
    const std::optional<bool> native = IsNativeProgram(program, read_error);
    if (!native) {
      return Refuse("cannot read it (" + Describe(read_error) + ")");
    }
    if (!*native) {
      return ThroughWine(program, command);
    }
  }
  Launch launch{program, {program.string()}, program.parent_path()};
  launch.arguments.insert(launch.arguments.end(), command.arguments.begin(),
                          command.arguments.end());
  return Prepared{std::move(launch), {}};
}

bool MakeCloseOnExecPipe(int (&descriptors)[2]) {
#ifdef __linux__
  return ::pipe2(descriptors, O_CLOEXEC) == 0;
#else
  if (::pipe(descriptors) != 0) {
    return false;
  }
  ::fcntl(descriptors[0], F_SETFD, FD_CLOEXEC);
  ::fcntl(descriptors[1], F_SETFD, FD_CLOEXEC);
  return true;
#endif
}

void Report(int descriptor, FailedStep step, int error) {
  const ChildReport report{step, error};
  // A single write below PIPE_BUF arrives whole or not at all.
  if (::write(descriptor, &report, sizeof report) < 0) {
    // Nobody left to tell.
  }
}

// The launcher's signal handling is its own: ignored signals and blocked
// masks survive exec, and a game must not inherit them.
void ResetSignals(const sigset_t& empty) {
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  for (int signal_number = 1; signal_number < NSIG; ++signal_number) {
    ::sigaction(signal_number, &default_action, nullptr);
  }
  ::sigprocmask(SIG_SETMASK, &empty, nullptr);
}

// Runs in the forked child. The extra fork leaves the program an orphan that
// init reaps, so it never becomes our zombie, and setsid cuts it off from our
// terminal and process group, so it outlives the launcher.
[[noreturn]] void RunDetached(const char* executable, char* const* argv, const char* folder,
                              const sigset_t& empty, int report) {
  ::setsid();
  const pid_t grandchild = ::fork();
  if (grandchild < 0) {
    Report(report, FailedStep::Fork, errno);
    ::_exit(1);
  }
  if (grandchild > 0) {
    ::_exit(0);
  }
  ResetSignals(empty);
  // Games look for their data relative to the working folder.
  if (::chdir(folder) != 0) {
    Report(report, FailedStep::Folder, errno);
    ::_exit(127);
  }
  ::execve(executable, argv, environ);
  Report(report, FailedStep::Exec, errno);
  ::_exit(127);
}

std::string DescribeReport(const ChildReport& report) {
  switch (report.step) {
    case FailedStep::Fork:
      return "cannot create a process (" + Describe(report.error) + ")";
    case FailedStep::Folder:
      return "cannot enter its folder (" + Describe(report.error) + ")";
    case FailedStep::Exec:
      break;
  }
  // The file was there a moment ago, so a missing file is its "#!" interpreter.
  return report.error == ENOENT ? "its interpreter was not found" : Describe(report.error);
}

// Empty on success, else why the program did not start.
std::string Spawn(const Launch& launch) {
  std::vector<char*> argv;
  argv.reserve(launch.arguments.size() + 1);
  for (const std::string& argument : launch.arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  sigset_t empty;
  sigemptyset(&empty);

  int report_pipe[2] = {-1, -1};
  if (!MakeCloseOnExecPipe(report_pipe)) {
    return "cannot create a pipe (" + Describe(errno) + ")";
  }
  const pid_t child = ::fork();
  if (child < 0) {
    const int error = errno;
    ::close(report_pipe[0]);
    ::close(report_pipe[1]);
    return "cannot create a process (" + Describe(error) + ")";
  }
  if (child == 0) {
    RunDetached(launch.executable.c_str(), argv.data(), launch.folder.c_str(), empty,
                report_pipe[1]);
  }
  ::close(report_pipe[1]);
  // End of file means every copy of the write end is gone: the grandchild's
  // closed at a successful exec.
  ChildReport report{};
  ssize_t length = 0;
  do {
    length = ::read(report_pipe[0], &report, sizeof report);
  } while (length < 0 && errno == EINTR);
  ::close(report_pipe[0]);
  while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
  return length == static_cast<ssize_t>(sizeof report) ? DescribeReport(report) : std::string();
}

fs::path ExecutablePath() {
  std::error_code error;
#ifdef __APPLE__
  std::uint32_t size = 0;
  _NSGetExecutablePath(nullptr, &size);
  std::string buffer(size, '\0');
  if (_NSGetExecutablePath(buffer.data(), &size) != 0) {
    return {};
  }
  buffer.resize(std::strlen(buffer.c_str()));
  return fs::weakly_canonical(buffer, error);
#else
  return fs::read_symlink("/proc/self/exe", error);
#endif
}

}  // namespace

StartResult NativePlatform::StartProgram(const CommandLine& command, WindowStyle /*style*/) {
  // The window style has no counterpart here: the program opens its window
  // as it likes.
  try {
    const Prepared prepared = Prepare(command);
    const std::string reason = prepared.launch ? Spawn(*prepared.launch) : prepared.reason;
    if (reason.empty()) {
      return StartResult{true, {}};
    }
    return StartResult{false, "Cannot start " + command.program + ": " + reason};
  } catch (const std::exception& error) {
    return StartResult{false, "Cannot start " + command.program + ": " + error.what()};
  }
}

void NativePlatform::EndProgram() {
  FlushOutput();
  // No destructor or atexit handler: nothing of the window may run again.
  std::_Exit(0);
}

std::string NativePlatform::ProgramFolder() {
  try {
    const fs::path executable = ExecutablePath();
    return executable.empty() ? std::string() : executable.parent_path().string();
  } catch (const std::exception&) {
    return {};
  }
}

}  // namespace zephran::platform
