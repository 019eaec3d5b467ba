#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zephran::platform {

// While a launcher saves a settings file, a marker beside it says so: it is
// created exclusively (so a planted link or file is never taken for it),
// locked for as long as its maker lives, and names the working files that
// save made. Both programs, the Linux one and the Windows one (also under
// Wine, where both may save into the same folder), take this one lock
// before they change the file, and a marker nobody holds any more is what a
// later launcher clears: it finishes or undoes the dead save from what the
// marker names, and removes nothing else.

// "<file>.saving~" beside the file, for the file's own name.
inline constexpr std::string_view kSaveMarkerSuffix = ".saving~";

// The settings file's name for a marker's own name (as the folder spells
// it): the name less kSaveMarkerSuffix, or empty text for a name without it.
std::string_view MarkedFileName(std::string_view marker_name);

// The byte range every launcher locks in the marker: far past what it holds,
// so that a lock (which Windows enforces on reads) never stands in the way
// of reading it. Wine hands a LockFileEx lock on to Linux as the same fcntl
// range, so the two programs see each other's lock.
inline constexpr std::uint64_t kSaveLockOffset = std::uint64_t{1} << 28;
inline constexpr std::uint64_t kSaveLockLength = 1;

// A marker's contents: the settings file's name and the working files of the
// save, each a plain name in the same folder (UTF-8). Empty when not made.
struct SaveMarkerRecord {
  std::string file;
  std::string copy;    // the new contents, before they take the file's place
  std::string backup;  // the old file, while it is moved aside (Windows only)
  // A copy of the file's bytes while the file itself is rewritten in place
  // (Linux, by a player allowed to write a file of another user): a dead
  // save's file gets these bytes back.
  std::string rewriting;
};

// What a marker holds from its creation on, and the line added for each
// working file just before that file is created (exclusively). A marker only
// ever grows, one whole line at a time; of two lines of a kind, the later
// counts.
std::string SaveMarkerStart(std::string_view file);
enum class SaveMarkerName { Copy, Backup, Rewriting };
std::string SaveMarkerLine(SaveMarkerName name, std::string_view value);

// A working file's name: "<file>.<4 hex digits of unique>.new~" for the copy,
// ".old~" for the backup and the copy of a file rewritten in place. The digits let many saves, live
// or dead, sit side by side; each is created exclusively, so a name someone planted is skipped.
std::string SaveWorkingName(std::string_view file, unsigned unique, SaveMarkerName name);
inline constexpr std::size_t kSaveWorkingNameExtra = 10;  // ".1a2b.new~"

// The record a launcher wrote in the marker of settings file `file` (the
// marker's own name less kSaveMarkerSuffix), or nullopt when the bytes are
// not a marker of ours: not a launcher's, naming another file than `file`,
// or anything but that file's own working files (so that a marker made up
// by someone else can never make us touch another file). An empty marker,
// or one whose last line was cut short, is ours: its maker died while
// writing it.
std::optional<SaveMarkerRecord> ParseSaveMarker(std::string_view bytes, std::string_view file);

// What one try at the save lock came to, on either system.
enum class SaveLockStep {
  Taken,    // our marker, locked and in place
  Again,    // a dead save's marker cleared, or ours taken from us: try again now
  Wait,     // another launcher is saving
  NotOurs,  // a link, a file that is no marker, or another user's is in the way
            // (the reason then says whose, after the marker's name)
  Failed,   // with the reason
};

struct SaveLockTry {
  SaveLockStep step = SaveLockStep::Failed;
  std::string reason;
};

// Another launcher's save is waited for this long; a launcher holds the
// lock for milliseconds, so much longer means something is stuck.
inline constexpr std::chrono::milliseconds kSaveLockWait{2000};
inline constexpr std::chrono::milliseconds kSaveLockPoll{10};

// Runs `attempt` until the lock is taken (empty text) or it is clear that
// it will not be (the reason): a save running is waited for kSaveLockWait,
// and however others come and go, this ends. `marker` is the marker's name,
// `where` where it is in words ("zephran.ini.saving~ beside it").
std::string TakeSaveLockBy(std::string_view marker, std::string_view where,
                           const std::function<SaveLockTry()>& attempt);

}  // namespace zephran::platform
