#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#ifdef __APPLE__
#include <mach-o/dyld.h>

#include <cstdint>
#endif

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
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
#include "platform/posix_text_viewer.h"

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
  // Set when the executable is Wine, started on this Windows program.
  fs::path windows_program;
};

struct Prepared {
  std::optional<Launch> launch;
  std::string reason;
};

// How the started program tells the launcher why it did not get going.
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
  Launch launch{fs::absolute(*found, error), {}, program.parent_path(), program};
  launch.arguments = {launch.executable.string(), program.string()};
  launch.arguments.insert(launch.arguments.end(), command.arguments.begin(),
                          command.arguments.end());
  return Prepared{std::move(launch), {}};
}

// The machine a Windows program is built for, from its PE header; 0 when the
// file is no such program.
std::uint16_t WindowsMachine(const fs::path& program) {
  const int descriptor = ::open(program.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) {
    return 0;
  }
  std::array<unsigned char, 64> dos{};
  std::array<unsigned char, 6> pe{};
  std::uint16_t machine = 0;
  if (::pread(descriptor, dos.data(), dos.size(), 0) == static_cast<ssize_t>(dos.size()) &&
      dos[0] == 'M' && dos[1] == 'Z') {
    const std::uint32_t offset =
        dos[0x3C] | dos[0x3D] << 8 | dos[0x3E] << 16 | static_cast<std::uint32_t>(dos[0x3F]) << 24;
    if (::pread(descriptor, pe.data(), pe.size(), static_cast<off_t>(offset)) ==
            static_cast<ssize_t>(pe.size()) &&
        pe[0] == 'P' && pe[1] == 'E' && pe[2] == 0 && pe[3] == 0) {
      machine = static_cast<std::uint16_t>(pe[4] | pe[5] << 8);
    }
  }
  ::close(descriptor);
  return machine;
}

constexpr std::uint16_t kMachineI386 = 0x014C;

// Debian's `wine` is a script that runs the 32-bit loader from the package
// wine32 when it is there, and otherwise the 64-bit one, which cannot run a
// 32-bit program. The script names that loader on a line of its own,
// "wine32=/usr/lib/wine/wine". Any other Wine is taken at its word.
bool Lacks32BitLoader(const fs::path& wine) {
  const int descriptor = ::open(wine.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) {
    return false;
  }
  std::string head(8192, '\0');
  const ssize_t length = ::read(descriptor, head.data(), head.size());
  ::close(descriptor);
  head.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
  if (!head.starts_with("#!")) {
    return false;
  }
  constexpr std::string_view kLoaderLine = "\nwine32=";
  const std::size_t at = head.find(kLoaderLine);
  if (at == std::string::npos) {
    return false;
  }
  const std::size_t begin = at + kLoaderLine.size();
  std::string loader = head.substr(begin, head.find('\n', begin) - begin);
  std::erase(loader, '"');
  std::erase(loader, '\'');
  return !loader.empty() && ::access(loader.c_str(), X_OK) != 0;
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
  Launch launch{program, {program.string()}, program.parent_path(), {}};
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

// Descriptors of one start: the program reports a failed exec on `exec`
// (closed at a successful one), its watcher reports the program's end on
// `status`, and the program's error output arrives on `output`. [0] is the
// launcher's end, [1] the other's; all are closed at exec.
struct StartPipes {
  int exec[2] = {-1, -1};
  int status[2] = {-1, -1};
  int output[2] = {-1, -1};
};

void CloseDescriptor(int& descriptor) {
  if (descriptor >= 0) {
    ::close(descriptor);
    descriptor = -1;
  }
}

void ClosePipes(StartPipes& pipes) {
  for (int* pair : {pipes.exec, pipes.status, pipes.output}) {
    CloseDescriptor(pair[0]);
    CloseDescriptor(pair[1]);
  }
}

// Runs in the forked child, which becomes the program's watcher: it starts
// the program in a session of its own, cut off from our terminal and process
// group so that it outlives the launcher, then waits for its end and reports
// the status. The launcher kills the watcher when it stops watching; the
// program is then an orphan that init reaps, never our zombie.
[[noreturn]] void RunWatcher(const char* executable, char* const* argv, const char* folder,
                             const sigset_t& empty, const StartPipes& pipes) {
  ::setsid();
  const pid_t program = ::fork();
  if (program < 0) {
    Report(pipes.exec[1], FailedStep::Fork, errno);
    ::_exit(1);
  }
  if (program == 0) {
    ResetSignals(empty);
    // The error output goes to the launcher, which shows the first line of it
    // when the program fails, and passes everything on to its own.
    ::dup2(pipes.output[1], STDERR_FILENO);
    // Games look for their data relative to the working folder.
    if (::chdir(folder) != 0) {
      Report(pipes.exec[1], FailedStep::Folder, errno);
      ::_exit(127);
    }
    ::execve(executable, argv, environ);
    Report(pipes.exec[1], FailedStep::Exec, errno);
    ::_exit(127);
  }
  // Only the program may hold these, so that their ends mean its exec and
  // its last word.
  ::close(pipes.exec[1]);
  ::close(pipes.output[0]);
  ::close(pipes.output[1]);
  int status = 0;
  while (::waitpid(program, &status, 0) < 0) {
    if (errno != EINTR) {
      ::_exit(1);
    }
  }
  if (::write(pipes.status[1], &status, sizeof status) < 0) {
    // The launcher has stopped listening.
  }
  ::_exit(0);
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

// Reads until a report or the end: end of file means every copy of the write
// end is gone, the program's closed at a successful exec.
std::string ReadExecReport(int descriptor) {
  ChildReport report{};
  ssize_t length = 0;
  do {
    length = ::read(descriptor, &report, sizeof report);
  } while (length < 0 && errno == EINTR);
  return length == static_cast<ssize_t>(sizeof report) ? DescribeReport(report) : std::string();
}

void WaitForChild(pid_t child) {
  while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
  }
}

// Runs in a forked child after the launcher stops watching: copies the
// program's error output to where the launcher's own went until the program
// and everything it started have closed it, so that the program never writes
// into a pipe nobody reads. Once that destination fails, the output is read
// and dropped. It holds nothing else of ours (a copy of the window's
// connection would keep the window on the screen).
[[noreturn]] void RunRelay(int output) {
  ::setsid();
  if (::fork() != 0) {
    ::_exit(0);  // init reaps the relay
  }
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, nullptr);
  for (int descriptor = 0; descriptor < 3; ++descriptor) {
    if (descriptor != STDERR_FILENO && descriptor != output) {
      ::close(descriptor);
    }
  }
  const int first_other = std::max(output, STDERR_FILENO) + 1;
#ifdef __linux__
  ::close_range(3, static_cast<unsigned>(output) - 1, 0);
  ::close_range(static_cast<unsigned>(first_other), ~0U, 0);
#else
  for (int descriptor = 3; descriptor < 65536; ++descriptor) {
    if (descriptor != output) {
      ::close(descriptor);
    }
  }
#endif
  bool passing_on = true;
  std::array<char, 4096> buffer{};
  for (;;) {
    const ssize_t length = ::read(output, buffer.data(), buffer.size());
    if (length == 0 || (length < 0 && errno != EINTR)) {
      ::_exit(0);
    }
    if (length > 0 && passing_on) {
      passing_on = ::write(STDERR_FILENO, buffer.data(), static_cast<std::size_t>(length)) >= 0;
    }
  }
}

// Passes the program's words on to our own error output. A reader of ours
// that has gone away must not end the launcher with SIGPIPE mid-watch.
void PassOn(const char* data, std::size_t size) {
  sigset_t pipe_signal;
  sigemptyset(&pipe_signal);
  sigaddset(&pipe_signal, SIGPIPE);
  sigset_t previous;
  ::pthread_sigmask(SIG_BLOCK, &pipe_signal, &previous);
  sigset_t pending;
  sigemptyset(&pending);
  ::sigpending(&pending);
  const bool already_pending = sigismember(&pending, SIGPIPE) == 1;
  if (::write(STDERR_FILENO, data, size) < 0 && errno == EPIPE && !already_pending) {
    const timespec no_wait{};
    ::sigtimedwait(&pipe_signal, nullptr, &no_wait);
  }
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

}  // namespace

// The program started last, while the launcher watches it.
struct NativePlatform::Watch {
  pid_t watcher = -1;
  int status = -1;  // the watcher's report of the program's end
  int output = -1;  // the program's error output
  std::string program_name;
  std::string output_head;  // the first bytes of that output

  Watch() = default;
  Watch(const Watch&) = delete;
  Watch& operator=(const Watch&) = delete;
  ~Watch() { LetGo(); }

  // Ends the watch: the watcher goes, the program stays with a relay for its
  // error output.
  void LetGo() {
    if (watcher > 0) {
      ::kill(watcher, SIGKILL);
      WaitForChild(watcher);
      watcher = -1;
    }
    CloseDescriptor(status);
    if (output >= 0 && !OutputEnded()) {
      const pid_t relay = ::fork();
      if (relay == 0) {
        RunRelay(output);
      }
      if (relay > 0) {
        WaitForChild(relay);
      }
    }
    CloseDescriptor(output);
  }

  // Reads what the program has written, passing it on to our own error
  // output and keeping the beginning. False at its end.
  bool ReadOutput() {
    std::array<char, 4096> buffer{};
    ssize_t length = 0;
    do {
      length = ::read(output, buffer.data(), buffer.size());
    } while (length < 0 && errno == EINTR);
    if (length <= 0) {
      return false;
    }
    const auto size = static_cast<std::size_t>(length);
    PassOn(buffer.data(), size);
    const std::size_t room = kOutputHeadBytes - std::min(kOutputHeadBytes, output_head.size());
    output_head.append(buffer.data(), std::min(room, size));
    return true;
  }

  // Whether every writer has closed the output and nothing is left in it.
  bool OutputEnded() {
    pollfd entry{output, POLLIN, 0};
    while (::poll(&entry, 1, 0) > 0) {
      if ((entry.revents & POLLIN) == 0) {
        return true;  // hung up, drained
      }
      if (!ReadOutput()) {
        return true;
      }
      if (++reads_after_end > kReadsAfterEnd) {
        return false;  // still writing: the relay takes over
      }
    }
    return false;
  }

  static constexpr std::size_t kOutputHeadBytes = 4096;
  static constexpr int kReadsAfterEnd = 16;
  int reads_after_end = 0;
};

namespace {

// One line as plain text for a message box: control characters dropped,
// blanks in front trimmed, at most 200 bytes, cut between characters.
std::string PlainLine(std::string_view raw) {
  std::string line;
  for (const char character : raw) {
    const auto byte = static_cast<unsigned char>(character);
    if (byte >= 0x20 && byte != 0x7F && !(line.empty() && byte == ' ')) {
      line += character;
    }
  }
  constexpr std::size_t kLongest = 200;
  if (line.size() > kLongest) {
    std::size_t cut = kLongest;
    while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) {
      --cut;
    }
    line.resize(cut);
    line += "...";
  }
  return line;
}

// The line of the program's error output that says most: Wine's own word
// on why it stopped ("wine: ...") when there is one, which may come after
// the complaints of its helpers, else the first line with something in it.
std::string ErrorLine(std::string_view text) {
  std::string first;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    const std::string line = PlainLine(text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
    if (line.starts_with("wine: ")) {
      return line;
    }
    if (first.empty()) {
      first = line;
    }
  }
  return first;
}

std::string DescribeEnd(const std::string& program, int status) {
  if (WIFSIGNALED(status)) {
    const char* name = ::strsignal(WTERMSIG(status));
    return program + " was ended by signal " + std::to_string(WTERMSIG(status)) +
           (name != nullptr ? " (" + std::string(name) + ")" : std::string());
  }
  return program + " ended with status " + std::to_string(WEXITSTATUS(status));
}

// Empty on success, else why the program did not start. On success `watch`
// holds the running program.
std::string Spawn(const Launch& launch, std::shared_ptr<NativePlatform::Watch>& watch) {
  std::vector<char*> argv;
  argv.reserve(launch.arguments.size() + 1);
  for (const std::string& argument : launch.arguments) {
    argv.push_back(const_cast<char*>(argument.c_str()));
  }
  argv.push_back(nullptr);
  sigset_t empty;
  sigemptyset(&empty);

  StartPipes pipes;
  if (!MakeCloseOnExecPipe(pipes.exec) || !MakeCloseOnExecPipe(pipes.status) ||
      !MakeCloseOnExecPipe(pipes.output)) {
    const int error = errno;
    ClosePipes(pipes);
    return "cannot create a pipe (" + Describe(error) + ")";
  }
  const pid_t watcher = ::fork();
  if (watcher < 0) {
    const int error = errno;
    ClosePipes(pipes);
    return "cannot create a process (" + Describe(error) + ")";
  }
  if (watcher == 0) {
    RunWatcher(launch.executable.c_str(), argv.data(), launch.folder.c_str(), empty, pipes);
  }
  CloseDescriptor(pipes.exec[1]);
  CloseDescriptor(pipes.status[1]);
  CloseDescriptor(pipes.output[1]);
  const std::string failure = ReadExecReport(pipes.exec[0]);
  CloseDescriptor(pipes.exec[0]);

  watch = std::make_shared<NativePlatform::Watch>();
  watch->watcher = watcher;
  watch->status = pipes.status[0];
  watch->output = pipes.output[0];
  watch->program_name = launch.executable.filename().string();
  if (!failure.empty()) {
    watch.reset();  // lets go of the watcher
  }
  return failure;
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
    watch_.reset();  // the program started before is on its own now
    const std::string reason = prepared.launch ? Spawn(*prepared.launch, watch_) : prepared.reason;
    if (reason.empty()) {
      return StartResult{true, {}};
    }
    return StartResult{false, "Cannot start " + command.program + ": " + reason};
  } catch (const std::exception& error) {
    return StartResult{false, "Cannot start " + command.program + ": " + error.what()};
  }
}

std::string NativePlatform::CheckStart(const CommandLine& command) {
  try {
    // What cannot even be prepared, StartProgram tells.
    const Prepared prepared = Prepare(command);
    if (!prepared.launch || prepared.launch->windows_program.empty() ||
        WindowsMachine(prepared.launch->windows_program) != kMachineI386 ||
        !Lacks32BitLoader(prepared.launch->executable)) {
      return {};
    }
    return "Cannot start " + command.program +
           ": it is a 32-bit Windows program, and the Wine installed runs 64-bit programs only. "
           "The 32-bit Wine is in the package wine32; to install it, run as root:\n"
           "dpkg --add-architecture i386 && apt-get update && apt-get install wine32:i386";
  } catch (const std::exception&) {
    return {};
  }
}

StartWatch NativePlatform::WatchStart(std::chrono::milliseconds limit) {
  const std::shared_ptr<Watch> watch = std::move(watch_);
  if (!watch) {
    return {};
  }
  const auto deadline = std::chrono::steady_clock::now() + limit;
  std::array<pollfd, 2> entries{{{watch->status, POLLIN, 0}, {watch->output, POLLIN, 0}}};
  for (;;) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      return {};  // still running: the watch lets go of it
    }
    const int ready = ::poll(entries.data(), entries.size(), static_cast<int>(left.count()));
    if (ready < 0 && errno != EINTR) {
      return {};
    }
    if (ready <= 0) {
      continue;
    }
    if (entries[1].revents != 0 && !watch->ReadOutput()) {
      entries[1].fd = -1;  // every writer is gone; poll skips it
    }
    if (entries[0].revents == 0) {
      continue;
    }
    int status = 0;
    if (::read(watch->status, &status, sizeof status) != static_cast<ssize_t>(sizeof status)) {
      return {};  // the watcher is gone without a word: nothing known
    }
    WaitForChild(watch->watcher);
    watch->watcher = -1;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
      return {};
    }
    // What it wrote just before it ended may still be in the pipe.
    watch->OutputEnded();
    std::string reason = DescribeEnd(watch->program_name, status);
    const std::string line = ErrorLine(watch->output_head);
    if (!line.empty()) {
      reason += ": " + line;
    }
    // The read-me's opener has statuses that say plainly what is missing;
    // its own words follow for whoever helps the player.
    if (const std::string meaning =
            WIFEXITED(status) ? TextViewerFailure(watch->program_name, WEXITSTATUS(status)) : "";
        !meaning.empty()) {
      reason = meaning + " (" + reason + ")";
    }
    return StartWatch{true, reason};
  }
}

void NativePlatform::EndProgram() {
  watch_.reset();
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
