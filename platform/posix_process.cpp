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
#include "platform/posix_file_rights.h"
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
  // Refused as another user's, which the player hears before anything is
  // written.
  bool strangers = false;
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
  if (const PathTrust trust = TrustOfPath(program.string()); !trust.stranger.empty()) {
    Prepared refused = Refuse(StrangersEntryText(trust.stranger));
    refused.strangers = true;
    return refused;
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
// `status`, the program's error output goes to the watcher on `output`, and
// the watcher hands its first bytes on to the launcher on `head`. [0] is the
// reading end, [1] the writing one; all are closed at exec.
struct StartPipes {
  int exec[2] = {-1, -1};
  int status[2] = {-1, -1};
  int output[2] = {-1, -1};
  int head[2] = {-1, -1};
};

void CloseDescriptor(int& descriptor) {
  if (descriptor >= 0) {
    ::close(descriptor);
    descriptor = -1;
  }
}

void ClosePipes(StartPipes& pipes) {
  for (int* pair : {pipes.exec, pipes.status, pipes.output, pipes.head}) {
    CloseDescriptor(pair[0]);
    CloseDescriptor(pair[1]);
  }
}

// How many reads of output, once the program has ended, still count as what
// it wrote before its end: a helper it left running may write on forever.
constexpr int kReadsAfterEnd = 16;
constexpr std::size_t kOutputHeadBytes = 4096;

// Closes every descriptor but the error output and `keep`: the watcher holds
// nothing else of ours (a copy of the window's connection would keep the
// window on the screen after the launcher has gone).
void CloseAllBut(std::array<int, 3> keep) {
  std::array<int, 4> kept{keep[0], keep[1], keep[2], STDERR_FILENO};
  std::sort(kept.begin(), kept.end());
  int next = 0;
  for (const int descriptor : kept) {
    for (; next < descriptor && next < 3; ++next) {
      ::close(next);
    }
#ifdef __linux__
    if (next < descriptor) {
      ::close_range(static_cast<unsigned>(next), static_cast<unsigned>(descriptor - 1), 0);
    }
#else
    for (; next < descriptor; ++next) {
      ::close(next);
    }
#endif
    next = descriptor + 1;
  }
#ifdef __linux__
  ::close_range(static_cast<unsigned>(next), ~0U, 0);
#else
  for (; next < 65536; ++next) {
    ::close(next);
  }
#endif
}

// The program's error output as the watcher passes it on: all of it to the
// error output the launcher had, whether or not the launcher still lives,
// and the first kOutputHeadBytes to the launcher while it listens. Only
// async-signal-safe calls: it runs in a child of a process with threads.
class Relay {
 public:
  Relay(int output, int status, int head) : output_(output), status_(status), head_(head) {
    ::fcntl(head_, F_SETFL, O_NONBLOCK);
  }

  int Output() const { return output_; }
  int Status() const { return status_; }

  // One read of the output, passed on; false at its end.
  bool PassOnce() {
    std::array<char, 4096> buffer{};
    ssize_t length = 0;
    do {
      length = ::read(output_, buffer.data(), buffer.size());
    } while (length < 0 && errno == EINTR);
    if (length <= 0) {
      CloseDescriptor(output_);
      return false;
    }
    const auto size = static_cast<std::size_t>(length);
    // A destination that fails (a terminal closed, a pipe nobody reads) is
    // given up on; the output is still read, so the program never blocks.
    for (std::size_t at = 0; to_error_output_ && at < size;) {
      const ssize_t written = ::write(STDERR_FILENO, buffer.data() + at, size - at);
      if (written < 0 && errno != EINTR) {
        to_error_output_ = false;
      }
      at += written > 0 ? static_cast<std::size_t>(written) : 0;
    }
    const std::size_t head = std::min(size, head_left_);
    if (head_ >= 0 && head > 0) {
      const ssize_t written = ::write(head_, buffer.data(), head);
      head_left_ -= written > 0 ? static_cast<std::size_t>(written) : head_left_;
    }
    return true;
  }

  // What the program wrote before it ended, then its status: the launcher
  // reads the status after every byte the program wrote before it.
  void ReportEnd(int status) {
    pollfd entry{output_, POLLIN, 0};
    for (int reads = 0; output_ >= 0 && reads<kReadsAfterEnd&& ::poll(&entry, 1, 0)> 0; ++reads) {
      PassOnce();
    }
    if (::write(status_, &status, sizeof status) < 0) {
      // The launcher has stopped listening.
    }
    StopTellingTheLauncher();
  }

  void StopTellingTheLauncher() {
    CloseDescriptor(status_);
    CloseDescriptor(head_);
  }

 private:
  int output_;
  int status_;
  int head_;
  bool to_error_output_ = true;
  std::size_t head_left_ = kOutputHeadBytes;
};

// The watcher's life after it started the program: while the launcher
// watches, the program's end is looked for every 10 ms and reported; then,
// and after the launcher has gone, the output is passed on until the program
// and everything it started have closed it.
[[noreturn]] void WatchProgram(pid_t program, Relay relay) {
  bool running = true;
  while (running && relay.Status() >= 0) {
    std::array<pollfd, 2> entries{{{relay.Output(), POLLIN, 0}, {relay.Status(), 0, 0}}};
    if (::poll(entries.data(), entries.size(), 10) > 0) {
      if ((entries[1].revents & (POLLERR | POLLHUP)) != 0) {
        relay.StopTellingTheLauncher();  // the launcher let go, or is gone
      }
      if (entries[0].revents != 0) {
        relay.PassOnce();
      }
    }
    int status = 0;
    if (::waitpid(program, &status, WNOHANG) == program) {
      running = false;
      relay.ReportEnd(status);
    }
  }
  relay.StopTellingTheLauncher();
  while (relay.Output() >= 0 && relay.PassOnce()) {
  }
  ::_exit(0);
}

// Runs in the forked child, which starts the program's watcher and ends at
// once. The watcher starts the program in a session of its own, cut off
// from our terminal and process group, and takes the program's error output
// so that neither depends on the launcher: a launcher closed, killed or
// ended by its terminal during the watch costs the program nothing, and its
// output still goes where the launcher's went. Neither is ever our zombie.
[[noreturn]] void StartWatcher(const char* executable, char* const* argv, const char* folder,
                               const sigset_t& empty, const StartPipes& pipes) {
  ::setsid();
  const pid_t watcher = ::fork();
  if (watcher != 0) {
    if (watcher < 0) {
      Report(pipes.exec[1], FailedStep::Fork, errno);
    }
    ::_exit(0);
  }
  const pid_t program = ::fork();
  if (program < 0) {
    Report(pipes.exec[1], FailedStep::Fork, errno);
    ::_exit(1);
  }
  if (program == 0) {
    ResetSignals(empty);
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
  // Only the program may hold the writing ends of `exec` and `output`, so
  // that their ends mean its exec and its last word.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, nullptr);
  CloseAllBut({pipes.output[0], pipes.status[1], pipes.head[1]});
  WatchProgram(program, Relay(pipes.output[0], pipes.status[1], pipes.head[1]));
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

}  // namespace

// The program started last, while the launcher watches it.
struct NativePlatform::Watch {
  int status = -1;  // the watcher's report of the program's end
  int output = -1;  // the first bytes of the program's error output
  std::string program_name;
  std::string output_head;

  Watch() = default;
  Watch(const Watch&) = delete;
  Watch& operator=(const Watch&) = delete;
  // The watcher sees us go and carries on alone.
  ~Watch() {
    CloseDescriptor(status);
    CloseDescriptor(output);
  }

  // Keeps what the watcher hands on; false at its end.
  bool ReadOutput() {
    std::array<char, kOutputHeadBytes> buffer{};
    ssize_t length = 0;
    do {
      length = ::read(output, buffer.data(), buffer.size());
    } while (length < 0 && errno == EINTR);
    if (length <= 0) {
      return false;
    }
    const std::size_t room = kOutputHeadBytes - std::min(kOutputHeadBytes, output_head.size());
    output_head.append(buffer.data(), std::min(room, static_cast<std::size_t>(length)));
    return true;
  }

  // Everything the watcher handed on before it reported the end.
  void ReadWhatIsLeft() {
    pollfd entry{output, POLLIN, 0};
    while (::poll(&entry, 1, 0) > 0 && (entry.revents & POLLIN) != 0 && ReadOutput()) {
    }
  }
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
      !MakeCloseOnExecPipe(pipes.output) || !MakeCloseOnExecPipe(pipes.head)) {
    const int error = errno;
    ClosePipes(pipes);
    return "cannot create a pipe (" + Describe(error) + ")";
  }
  const pid_t starter = ::fork();
  if (starter < 0) {
    const int error = errno;
    ClosePipes(pipes);
    return "cannot create a process (" + Describe(error) + ")";
  }
  if (starter == 0) {
    StartWatcher(launch.executable.c_str(), argv.data(), launch.folder.c_str(), empty, pipes);
  }
  WaitForChild(starter);
  CloseDescriptor(pipes.exec[1]);
  CloseDescriptor(pipes.status[1]);
  CloseDescriptor(pipes.output[0]);
  CloseDescriptor(pipes.output[1]);
  CloseDescriptor(pipes.head[1]);
  const std::string failure = ReadExecReport(pipes.exec[0]);
  CloseDescriptor(pipes.exec[0]);

  watch = std::make_shared<NativePlatform::Watch>();
  watch->status = pipes.status[0];
  watch->output = pipes.head[0];
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
    if (prepared.strangers) {
      const std::string refusal = "Cannot start " + command.program + ": " + prepared.reason;
      TellOnce(refusal);
      return refusal;
    }
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
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
      return {};
    }
    watch->ReadWhatIsLeft();
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
