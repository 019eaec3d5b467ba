#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/command_line.h"

namespace zephran::platform {

// How folder texts are separated on this system. The one place that knows.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// Attribute bits of FirstDirEntry's mask. Read-only files are always listed;
// hidden files, system files and folders only when their bit is set.
inline constexpr unsigned kAttrReadOnly = 1;
inline constexpr unsigned kAttrHidden = 2;
inline constexpr unsigned kAttrSystem = 4;
inline constexpr unsigned kAttrDirectory = 16;
inline constexpr unsigned kAttrAny = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrDirectory;

// Profile files larger than this are neither read nor rewritten: a real
// settings file is a few hundred bytes, and 1 MiB reads in about a
// millisecond without straining memory, while a stray huge (or sparse) file
// would freeze the window. Such a file reads as missing and a write to it fails.
inline constexpr std::size_t kLargestProfileFile = std::size_t{1} << 20;

// How a started program's window first appears. Only a hint where the
// system has no such notion.
enum class WindowStyle { Normal = 1, MinimizedWithFocus = 2 };

struct StartResult {
  bool started = false;
  // When not started: why, in words that name the program.
  std::string error;
};

// How a started program fared in its first moments.
struct StartWatch {
  // It ended by itself with a failure (a status other than 0, or a signal).
  bool failed = false;
  // When failed: which program ended how, and the first line of its error
  // output when it wrote one.
  std::string reason;
};

// One key of a grouped read of a profile file.
struct ProfileKey {
  std::string section;
  std::string key;
};

// One value of a grouped write to a profile file.
struct ProfileValue {
  std::string section;
  std::string key;
  std::string value;
};

struct SaveResult {
  bool saved = false;
  // When not saved: why, in a few words that do not repeat the file's name.
  std::string reason;
};

// Everything the launcher asks of the operating system. NativePlatform is the
// one implementation for each system; the window hands it to the logic by
// reference, beside its own WindowServices; tests hand in fakes.
// Paths, file names and messages are UTF-8 on every system; profile
// sections, keys and values are single-byte ANSI text, as the game reads
// them.
class Platform {
 public:
  virtual ~Platform() = default;

  // The value of `key` in `[section]` of a profile file, or `default_value`
  // when the file, the section or the key is missing. Section and key match
  // without regard to case; the value comes trimmed and unquoted, and never
  // longer than capacity - 1 characters.
  virtual std::string ReadProfileString(std::string_view section, std::string_view key,
                                        std::string_view default_value, std::size_t capacity,
                                        const std::string& file) = 0;

  // The values of several keys, each as ReadProfileString gives it with the
  // same default and capacity, from one reading of the file.
  virtual std::vector<std::string> ReadProfileStrings(const std::vector<ProfileKey>& keys,
                                                      std::string_view default_value,
                                                      std::size_t capacity,
                                                      const std::string& file) = 0;

  // Sets `key` in `[section]`, creating the file, section or key as needed
  // and leaving everything else in the file as it was. False on failure, in
  // which case the file is unchanged.
  virtual bool WriteProfileString(std::string_view section, std::string_view key,
                                  std::string_view value, const std::string& file) = 0;

  // Sets every value as WriteProfileString would, in order, and the file
  // gets all of them or none: it is read once, edited in memory and replaced
  // in one step, beside other programs that write it. Where the system only
  // writes key by key, the writes stop at the first failure.
  virtual SaveResult WriteProfileStrings(const std::vector<ProfileValue>& values,
                                         const std::string& file) = 0;

  // The name of the first entry matching `pattern` (wild cards * and ? in its
  // last component) that `mask` admits, or empty text. A path ending with the
  // separator yields "." exactly when that folder exists.
  virtual std::string FirstDirEntry(const std::string& pattern, unsigned mask) = 0;

  // Puts right what a save of `file` that was killed midway left beside it,
  // should its launcher be gone: where a save moves the file aside for a
  // moment (Windows' ReplaceFileW), the file is there again afterwards.
  // Waits briefly for a save still running. Called before the file is
  // looked for.
  virtual void FinishInterruptedSave(const std::string& file) = 0;

  // Makes a file writable again (clears read-only and the like). A missing
  // file is not an error, and a symbolic link is left alone: the reset must
  // not reach a file outside the installation.
  virtual void SetNormalAttributes(const std::string& file) = 0;

  // Starts a program without waiting for it. Anything but a regular file
  // (a folder, a pipe, a device) is refused without being opened.
  virtual StartResult StartProgram(const CommandLine& command, WindowStyle style) = 0;

  // Why `command` cannot run here, as far as is known for sure without
  // starting it, in words for the player; empty when nothing speaks against
  // it. Cheap: it reads no more than a file's header.
  virtual std::string CheckStart(const CommandLine& command) = 0;

  // Waits at most `limit` for the program StartProgram started last to end
  // with a failure. Returns at once when it ends, or when the system reports
  // failures as the program starts and there is nothing to wait for. Either
  // way the program no longer depends on the launcher: its output goes on
  // where the launcher's went, and the launcher may end.
  virtual StartWatch WatchStart(std::chrono::milliseconds limit) = 0;

  // The command that shows a text file to the player in this system's own
  // viewer. Started like any program, with StartProgram.
  virtual CommandLine TextViewerCommand(const std::string& file) = 0;

  // Ends the process at once, without asking the window. Real implementations
  // never return; callers return straight after calling it all the same, so
  // that a recording fake can stand in.
  virtual void EndProgram() = 0;

  // The folder holding the launcher's executable, without a trailing
  // separator except at a root.
  virtual std::string ProgramFolder() = 0;
};

}  // namespace zephran::platform
