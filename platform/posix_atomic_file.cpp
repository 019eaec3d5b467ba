#include "platform/posix_atomic_file.h"

#include "platform/posix_file_rights.h"
#include "platform/save_marker.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/xattr.h>
#endif

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace zephran::platform {

namespace fs = std::filesystem;

namespace {

// The limit Linux itself puts on chains of links.
constexpr int kMaxLinkDepth = 40;
// How often the file may change under us before we give up.
constexpr int kAttempts = 5;
constexpr std::time_t kStaleAfterSeconds = 60;
constexpr std::string_view kTooLarge = "larger than 1 MiB, too large for a settings file";
// A save marker is a few short lines.
constexpr std::size_t kLargestMarker = 4096;

class Descriptor {
 public:
  explicit Descriptor(int descriptor) : descriptor_(descriptor) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { Close(); }

  int Get() const { return descriptor_; }
  bool Valid() const { return descriptor_ >= 0; }
  int Release() { return std::exchange(descriptor_, -1); }
  // False when the close reports an error (possible for delayed writes).
  bool Close() {
    const int descriptor = descriptor_;
    descriptor_ = -1;
    return descriptor < 0 || ::close(descriptor) == 0;
  }

 private:
  int descriptor_ = -1;
};

SaveResult Saved() {
  return SaveResult{true, {}};
}

SaveResult Failed(std::string reason) {
  return SaveResult{false, std::move(reason)};
}

std::string Because(std::string_view what, int error) {
  return std::string(what) + " (" + std::strerror(error) + ")";
}

fs::path FolderOf(const fs::path& file) {
  return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

// Where a write to `path` really lands, or why we will not go there.
struct Followed {
  std::optional<fs::path> path;
  std::string refusal;
};

// The kernel's rule for links in sticky folders anyone may write (/tmp,
// protected_symlinks), which it cannot apply for us since we read the link
// ourselves: such a link is followed only when it is ours or the folder
// owner's. Anyone else may have planted it to make us write their choice of
// our files.
bool MayFollow(const fs::path& link) {
  struct stat folder {};
  struct stat status {};
  if (::stat(FolderOf(link).c_str(), &folder) != 0 || ::lstat(link.c_str(), &status) != 0) {
    return false;
  }
  const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
  return !shared || status.st_uid == ::geteuid() || status.st_uid == folder.st_uid;
}

// Replacing a link by a plain file would cut it off from the file it is
// meant to share, so a save goes where the links lead.
Followed FollowLinks(fs::path path) {
  for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(path, error))) {
      return {path, {}};
    }
    if (!MayFollow(path)) {
      return {std::nullopt, "it leads through " + path.string() +
                                ", a link another user made in a folder anyone may write, "
                                "which is not followed"};
    }
    const fs::path link = fs::read_symlink(path, error);
    if (error) {
      break;
    }
    path = link.is_absolute() ? link : FolderOf(path) / link;
  }
  return {std::nullopt, "its symbolic links lead nowhere"};
}

// Reads from the start up to end of file; nullopt on an error or when there
// is more than `limit` (the file grew since it was measured).
std::optional<std::string> ReadAll(int descriptor, std::size_t limit) {
  std::string bytes;
  std::vector<char> block(64 * 1024);
  for (off_t offset = 0;;) {
    const ssize_t got = ::pread(descriptor, block.data(), block.size(), offset);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got < 0) {
      return std::nullopt;
    }
    if (got == 0) {
      return bytes;
    }
    bytes.append(block.data(), static_cast<std::size_t>(got));
    offset += got;
    if (bytes.size() > limit) {
      return std::nullopt;
    }
  }
}

bool HasHoles(int descriptor, const struct stat& status) {
#ifdef SEEK_HOLE
  const off_t hole = ::lseek(descriptor, 0, SEEK_HOLE);
  return hole >= 0 && hole < status.st_size;
#else
  return status.st_blocks * 512 < status.st_size;
#endif
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool SameContents(const struct stat& a, const struct stat& b) {
  return SameFile(a, b) && a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
         a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// Still the file we read, under its name, unchanged.
bool StillAsRead(const fs::path& target, int descriptor, const struct stat& read) {
  struct stat named {};
  struct stat open {};
  return ::lstat(target.c_str(), &named) == 0 && ::fstat(descriptor, &open) == 0 &&
         SameFile(named, read) && SameContents(open, read);
}

std::string TemporaryPrefix(const fs::path& target) {
  // Built by appending: GCC 12 warns falsely about "." + std::string.
  std::string prefix(".");
  prefix += target.filename().string();
  prefix += '.';
  return prefix;
}

struct TemporaryFile {
  fs::path path;
  int descriptor = -1;
};

// A hidden file beside the target, so that the final rename stays within one
// file system, named after our process so that a later writer can tell when
// it was left by one that died. Created for us alone: in a shared folder
// anyone the folder lets in (its modes, a default ACL) could otherwise open
// it before it gets the file's own permissions, and keep that handle.
std::optional<TemporaryFile> CreateTemporary(const fs::path& target) {
  static std::atomic<unsigned> counter{0};
  const std::string stem = TemporaryPrefix(target) + std::to_string(::getpid());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = FolderOf(target) / (stem + "-" + std::to_string(++counter) + ".tmp");
    const int descriptor = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (descriptor >= 0) {
      return TemporaryFile{candidate, descriptor};
    }
    if (errno != EEXIST) {
      return std::nullopt;
    }
  }
  errno = EEXIST;
  return std::nullopt;
}

// The process id in ".<file>.<pid>-<n>.tmp", or 0 for any other name.
pid_t WriterOf(std::string_view name, std::string_view prefix) {
  if (!name.starts_with(prefix) || !name.ends_with(".tmp")) {
    return 0;
  }
  name.remove_prefix(prefix.size());
  name.remove_suffix(4);
  const std::size_t dash = name.find('-');
  if (dash == std::string_view::npos || dash == 0 || dash + 1 == name.size() ||
      name.find_first_not_of("0123456789-") != std::string_view::npos ||
      name.find('-', dash + 1) != std::string_view::npos) {
    return 0;
  }
  long pid = 0;
  const auto [end, error] = std::from_chars(name.data(), name.data() + dash, pid);
  return error == std::errc() && end == name.data() + dash && pid > 0 ? static_cast<pid_t>(pid) : 0;
}

// Left by writers that were killed mid-write. A process that still runs (or
// that we may not signal, EPERM) keeps its file, and so does a recent one: in
// a folder shared over the network, its writer may be running on another
// machine, where a write takes milliseconds, not a minute.
void RemoveStaleTemporaries(const fs::path& target) {
  const std::string prefix = TemporaryPrefix(target);
  const std::time_t settled = std::time(nullptr) - kStaleAfterSeconds;
  std::error_code error;
  for (fs::directory_iterator it(FolderOf(target), error); !error && it != fs::directory_iterator();
       it.increment(error)) {
    const pid_t writer = WriterOf(it->path().filename().string(), prefix);
    struct stat status {};
    if (writer != 0 && writer != ::getpid() && ::kill(writer, 0) != 0 && errno == ESRCH &&
        ::lstat(it->path().c_str(), &status) == 0 && status.st_mtime < settled) {
      ::unlink(it->path().c_str());
    }
  }
}

// A write past the file size limit (RLIMIT_FSIZE, a full disk as far as we
// are concerned) raises SIGXFSZ, whose default action ends the process before
// write() can return EFBIG: the temporary file would stay behind and the
// failure would go unreported. Every write error is handled below, so the
// signal is ignored, unless someone installed a handler of their own. This
// runs before each write rather than once because the disposition belongs to
// the whole process and anyone may have reset it since. Started programs get
// the default action back (posix_process.cpp resets every signal before exec).
void IgnoreFileSizeSignal() {
  struct sigaction current {};
  if (::sigaction(SIGXFSZ, nullptr, &current) != 0 || (current.sa_flags & SA_SIGINFO) != 0 ||
      current.sa_handler != SIG_DFL) {
    return;
  }
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGXFSZ, &ignore, nullptr);
}

// Any error here (ENOSPC, EFBIG past RLIMIT_FSIZE, EIO) ends the attempt.
bool WriteAll(int descriptor, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// The save lock (save_marker.h) on Linux: an open file description lock
// on the marker, which conflicts with the fcntl lock Wine takes for the
// Windows program's LockFileEx, and which, unlike a traditional fcntl lock,
// no other close of the file in this process can release. A descriptor
// open for reading only can take a read lock, which still tells a held
// marker from an abandoned one. 0, or the errno.
int LockMarker(int marker) {
  struct flock range {};
  range.l_type = F_WRLCK;
  range.l_whence = SEEK_SET;
  range.l_start = static_cast<off_t>(kSaveLockOffset);
  range.l_len = static_cast<off_t>(kSaveLockLength);
  for (;;) {
    if (::fcntl(marker, F_OFD_SETLK, &range) == 0) {
      return 0;
    }
    if (errno == EBADF && range.l_type == F_WRLCK) {
      range.l_type = F_RDLCK;
    } else if (errno != EINTR) {
      return errno;
    }
  }
}

bool Held(int error) {
  return error == EAGAIN || error == EACCES;
}

// A recovery copy is believed only from someone who could have rewritten the
// file: else anyone allowed to write the folder could plant a marker and a
// copy and have the owner's next start write their bytes into the owner's
// file. It is a regular file with one name (opened without following links)
// made by the marker's maker, who could have written the file.
bool TrustedCopy(const struct stat& copy, uid_t marker_owner, const struct stat& file,
                 int file_descriptor, const struct stat& folder) {
  return S_ISREG(copy.st_mode) && copy.st_nlink == 1 && copy.st_uid == marker_owner &&
         MakerMayWrite(copy, folder, file, file_descriptor);
}

// Writes `bytes` over the file's own, in place, and makes it reach the disk.
bool Overwrite(int file, std::string_view bytes) {
  for (off_t at = 0; !bytes.empty();) {
    const ssize_t written = ::pwrite(file, bytes.data(), bytes.size(), at);
    if (written < 0 && errno == EINTR) {
      continue;
    }
    if (written < 0) {
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
    at += written;
  }
  return true;
}

bool OverwriteWhole(int file, std::string_view bytes) {
  return Overwrite(file, bytes) && ::ftruncate(file, static_cast<off_t>(bytes.size())) == 0 &&
         ::fsync(file) == 0;
}

// A dead save that rewrote the file in place gets its old bytes back from
// the recovery copy the marker names, in place, so that its owner, modes,
// ACL and names stay. False when that cannot be done now: the marker and the
// copy then stay for a later start.
bool RestoreRewrite(const fs::path& folder, const SaveMarkerRecord& record, uid_t marker_owner) {
  const fs::path copy_path = folder / record.rewriting;
  const Descriptor copy(::open(copy_path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!copy.Valid()) {
    return errno == ENOENT;  // the save had not made it yet, or ended
  }
  const Descriptor file(
      ::open((folder / record.file).c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat copy_status {};
  struct stat file_status {};
  struct stat folder_status {};
  if (!file.Valid() || ::fstat(copy.Get(), &copy_status) != 0 ||
      ::fstat(file.Get(), &file_status) != 0 || !S_ISREG(file_status.st_mode) ||
      ::stat(folder.c_str(), &folder_status) != 0 ||
      !TrustedCopy(copy_status, marker_owner, file_status, file.Get(), folder_status)) {
    return false;
  }
  const std::optional<std::string> bytes = ReadAll(copy.Get(), kLargestEditableFile);
  if (!bytes || !OverwriteWhole(file.Get(), *bytes)) {
    return false;
  }
  ::unlink(copy_path.c_str());
  return true;
}

// A marker is a dead save of the file only when its maker could have saved
// the file: us, root, the file's owner, or someone the file's permissions
// let write it. Anything else is someone else's file that the marker's
// name happens to fit, and nothing it names is touched. Where the file is
// missing, only our own or root's marker counts.
bool MarkerTrusted(const fs::path& folder, const std::string& file_name,
                   const struct stat& marker) {
  if (marker.st_uid == ::geteuid() || marker.st_uid == 0) {
    return true;
  }
  const Descriptor file(
      ::open((folder / file_name).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat status {};
  struct stat holder {};
  return file.Valid() && ::fstat(file.Get(), &status) == 0 && S_ISREG(status.st_mode) &&
         ::stat(folder.c_str(), &holder) == 0 && MakerMayWrite(marker, holder, status, file.Get());
}

// A marker's record in the folder of `marker`: a file rewritten in place
// gets its old bytes back, a dead save's backup is put back where the file
// is missing, its working files removed, each only while it is a regular
// file of that name. False when a rewritten file could not be put right.
bool UndoAbandonedSave(const fs::path& marker, const SaveMarkerRecord& record, uid_t marker_owner) {
  if (record.file.empty()) {
    return true;
  }
  const fs::path folder = FolderOf(marker);
  if (!record.rewriting.empty() && !RestoreRewrite(folder, record, marker_owner)) {
    return false;
  }
  // Only what the marker's maker made: a file of that name someone else put
  // there is theirs to remove.
  const auto regular = [&](const fs::path& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           status.st_uid == marker_owner;
  };
  if (!record.backup.empty() && regular(folder / record.backup)) {
    struct stat file {};
    if (::lstat((folder / record.file).c_str(), &file) != 0 && errno == ENOENT) {
      // link() never replaces a file someone made meanwhile.
      if (::link((folder / record.backup).c_str(), (folder / record.file).c_str()) != 0) {
        return true;
      }
    }
    ::unlink((folder / record.backup).c_str());
  }
  if (!record.copy.empty() && regular(folder / record.copy)) {
    ::unlink((folder / record.copy).c_str());
  }
  return true;
}

// `path` names the open file itself still.
bool NamesOpenFile(const fs::path& path, int descriptor) {
  struct stat named {};
  struct stat open {};
  return ::lstat(path.c_str(), &named) == 0 && ::fstat(descriptor, &open) == 0 &&
         SameFile(named, open);
}

// Removes `path` only while it names the open file: never a marker another
// launcher made in its place.
void UnlinkIfStill(const fs::path& path, int descriptor) {
  if (NamesOpenFile(path, descriptor)) {
    ::unlink(path.c_str());
  }
}

// Another user's marker may be ours to look at but not to change.
int OpenMarker(const fs::path& path) {
  constexpr int kFlags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  const int marker = ::open(path.c_str(), O_RDWR | kFlags);
  return marker < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)
             ? ::open(path.c_str(), O_RDONLY | kFlags)
             : marker;
}

// A marker whose launcher is gone is cleared: what its save left is put
// right, then it goes. One that is locked belongs to a save running now.
SaveLockTry ClearAbandonedSave(const fs::path& marker_path) {
  const std::string name = marker_path.filename().string();
  const Descriptor marker(OpenMarker(marker_path));
  if (!marker.Valid()) {
    return errno == ENOENT ? SaveLockTry{SaveLockStep::Again, {}}
           : errno == ELOOP
               ? SaveLockTry{SaveLockStep::NotOurs, {}}
               : SaveLockTry{SaveLockStep::Failed, Because("cannot open " + name, errno)};
  }
  struct stat status {};
  // One that went meanwhile was a save that ended: the caller tries again.
  const auto not_ours = [&] {
    return NamesOpenFile(marker_path, marker.Get()) ? SaveLockTry{SaveLockStep::NotOurs, {}}
                                                    : SaveLockTry{SaveLockStep::Again, {}};
  };
  if (::fstat(marker.Get(), &status) != 0 || !S_ISREG(status.st_mode)) {
    return not_ours();
  }
  const int locked = LockMarker(marker.Get());
  if (Held(locked) || (locked != 0 && status.st_mtime >= std::time(nullptr) - kStaleAfterSeconds)) {
    return {SaveLockStep::Wait, {}};
  }
  const std::optional<std::string> bytes = ReadAll(marker.Get(), kLargestMarker);
  const std::optional<SaveMarkerRecord> record =
      bytes ? ParseSaveMarker(*bytes, MarkedFileName(name)) : std::nullopt;
  const bool players = status.st_uid == ::geteuid();
  if (!record) {
    SaveLockTry refused = not_ours();
    if (refused.step == SaveLockStep::NotOurs && !players) {
      refused.reason = "belongs to another user (" + AccountName(status.st_uid) +
                       ") and is no launcher's; remove it, or ask its owner to";
    }
    return refused;
  }
  if (!MarkerTrusted(FolderOf(marker_path), std::string(MarkedFileName(name)), status)) {
    return {SaveLockStep::NotOurs,
            "belongs to another user (" + AccountName(status.st_uid) +
                "), who may not write the settings file, so it is no save of it; remove it, "
                "or ask its owner to"};
  }
  if (!UndoAbandonedSave(marker_path, *record, status.st_uid)) {
    return {SaveLockStep::Failed,
            name + " was left by a save of " + AccountName(status.st_uid) +
                "'s that did not finish, and this user cannot put " + record->file + " back from " +
                record->rewriting + ": the file may be half written. " +
                AccountName(status.st_uid) + "'s launcher, or the file's owner's, can finish it"};
  }
  if (!NamesOpenFile(marker_path, marker.Get())) {
    return {SaveLockStep::Again, {}};  // someone else cleared it meanwhile
  }
  if (::unlink(marker_path.c_str()) != 0 && errno != ENOENT) {
    return {
        SaveLockStep::Failed,
        Because(name + " was left by a save that did not finish, and cannot be removed", errno)};
  }
  return {SaveLockStep::Again, {}};
}

// The save lock, held: our marker, created exclusively and locked. Leaving
// it removes the marker.
class SaveLock {
 public:
  SaveLock(fs::path path, int descriptor) : path_(std::move(path)), marker_(descriptor) {}
  SaveLock(const SaveLock&) = delete;
  SaveLock& operator=(const SaveLock&) = delete;
  ~SaveLock() {
    if (!kept_) {
      UnlinkIfStill(path_, marker_.Get());
    }
  }

  int Get() const { return marker_.Get(); }

  // Names a working file before it is made, on the disk before anything
  // relies on it.
  bool Append(std::string_view line) {
    return WriteAll(marker_.Get(), line) && ::fsync(marker_.Get()) == 0;
  }

  // Leaves the marker for the next start, which finishes what it names once
  // our lock on it is gone.
  void Keep() { kept_ = true; }

 private:
  fs::path path_;
  Descriptor marker_;
  bool kept_ = false;
};

// One try at the save lock of `target`: our marker, created exclusively,
// locked and checked to be in place, or the marker in the way cleared when
// its launcher is gone. Others may read the marker, which is all a look at
// its lock needs, but only its maker may write what it names.
SaveLockTry TryToLockSave(const fs::path& target, const fs::path& path,
                          std::optional<SaveLock>& lock) {
  Descriptor created(
      ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
  if (!created.Valid()) {
    return errno == EEXIST ? ClearAbandonedSave(path)
                           : SaveLockTry{SaveLockStep::Failed,
                                         Because("cannot create a file beside it", errno)};
  }
  // Another launcher may have taken it, empty and not yet locked, for a dead
  // save's and be clearing it: then it is not ours. Without locks (some
  // network file systems) the exclusive creation still guards, and the
  // marker's age tells a dead save.
  if (Held(LockMarker(created.Get()))) {
    return {SaveLockStep::Wait, {}};
  }
  if (!WriteAll(created.Get(), SaveMarkerStart(target.filename().string()))) {
    const int error = errno;
    UnlinkIfStill(path, created.Get());
    return {SaveLockStep::Failed, Because("cannot write a file beside it", error)};
  }
  if (!NamesOpenFile(path, created.Get())) {
    return {SaveLockStep::Again, {}};
  }
  lock.emplace(path, created.Release());
  return {SaveLockStep::Taken, {}};
}

fs::path MarkerOf(const fs::path& target) {
  return FolderOf(target) / (target.filename().string() + std::string(kSaveMarkerSuffix));
}

// A dead save this launcher cannot finish may have left the file half
// written, and nothing may start from it: why not, when there is one. One
// look: a save running now is another launcher's, which may be the very one
// that wrote these values.
std::optional<std::string> UnfinishedSave(const fs::path& target) {
  const fs::path marker = MarkerOf(target);
  struct stat status {};
  if (::lstat(marker.c_str(), &status) != 0) {
    return std::nullopt;
  }
  SaveLockTry tried = ClearAbandonedSave(marker);
  return tried.step == SaveLockStep::Failed ? std::optional(std::move(tried.reason)) : std::nullopt;
}

// Takes the save lock of `target`; why not, if it cannot. `linked`: the file
// is a link to `target`, and the marker, beside the target, is named in full.
std::optional<std::string> TakeSaveLock(const fs::path& target, bool linked,
                                        std::optional<SaveLock>& lock) {
  const fs::path path = MarkerOf(target);
  const std::string name = path.filename().string();
  std::string refusal = TakeSaveLockBy(name, linked ? path.string() : name + " beside it",
                                       [&] { return TryToLockSave(target, path, lock); });
  return refusal.empty() ? std::nullopt : std::optional(std::move(refusal));
}

#ifdef __linux__
std::vector<std::string> ExtendedAttributeNames(int file) {
  const ssize_t size = ::flistxattr(file, nullptr, 0);
  if (size <= 0) {
    return {};
  }
  std::vector<char> names(static_cast<std::size_t>(size));
  const ssize_t listed = ::flistxattr(file, names.data(), names.size());
  std::vector<std::string> result;
  for (std::size_t at = 0; listed > 0 && at < static_cast<std::size_t>(listed);) {
    result.emplace_back(names.data() + at);
    at += result.back().size() + 1;
  }
  return result;
}
#endif

// ACLs are the system.posix_acl_* attributes, so they come along here. The
// security namespace belongs to the system's policy, which labels a new file
// itself and may refuse us the old label.
std::optional<std::string> CopyExtendedAttributes(int from, int to) {
#ifdef __linux__
  for (const std::string& name : ExtendedAttributeNames(from)) {
    const ssize_t length = ::fgetxattr(from, name.c_str(), nullptr, 0);
    std::vector<char> value(length > 0 ? static_cast<std::size_t>(length) : 0);
    const bool copied = length >= 0 &&
                        ::fgetxattr(from, name.c_str(), value.data(), value.size()) == length &&
                        ::fsetxattr(to, name.c_str(), value.data(), value.size(), 0) == 0;
    if (!copied && !name.starts_with("security.")) {
      return Because("cannot keep its extended attribute " + name, errno);
    }
  }
#else
  (void)from;
  (void)to;
#endif
  return std::nullopt;
}

// The copy was born in the folder and may carry what the folder hands down
// to new files (a default ACL becomes an access ACL): whatever the original
// lacks goes, so that nobody gains access through a save.
std::optional<std::string> DropInheritedAttributes(int original, int copy) {
#ifdef __linux__
  for (const std::string& name : ExtendedAttributeNames(copy)) {
    if (name.starts_with("security.") || ::fgetxattr(original, name.c_str(), nullptr, 0) >= 0) {
      continue;
    }
    if (::fremovexattr(copy, name.c_str()) != 0 && errno != ENODATA) {
      return Because("cannot keep its permissions as they are (" + name + ")", errno);
    }
  }
#else
  (void)original;
  (void)copy;
#endif
  return std::nullopt;
}

// Who may use the file must not change behind the player's back: its owner
// and group (and their access) are kept or nothing is written.
std::optional<std::string> KeepWhatTheFileCarries(int original, int copy,
                                                  const struct stat& existing) {
  if (::fchown(copy, existing.st_uid, existing.st_gid) != 0) {
    return Because(
        existing.st_uid == ::geteuid() ? "cannot keep its group" : "cannot keep its owner", errno);
  }
  if (std::optional<std::string> failed = CopyExtendedAttributes(original, copy)) {
    return failed;
  }
  if (std::optional<std::string> failed = DropInheritedAttributes(original, copy)) {
    return failed;
  }
  // Last: a chown may clear the set-id bits, and the modes set the ACL mask.
  if (::fchmod(copy, existing.st_mode & 07777) != 0) {
    return Because("cannot keep its permissions", errno);
  }
  return std::nullopt;
}

// The process's umask, read without changing it where the system says it
// (Linux 4.7 on): setting it to read it would race with other threads
// creating files.
mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("Umask:")) {
      return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8) & 0777);
    }
  }
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

// The permission bits open(path, O_CREAT, 0666) would have given a new file
// in `folder`: those of the folder's default ACL when it has one (the umask
// then does not count), else 0666 less the umask.
mode_t NewFileModes(const fs::path& folder) {
#ifdef __linux__
  std::array<char, 1024> value{};
  const ssize_t size =
      ::getxattr(folder.c_str(), "system.posix_acl_default", value.data(), value.size());
  const std::optional<std::vector<AclEntry>> acl =
      size > 0 ? ParseAcl(std::string_view(value.data(), static_cast<std::size_t>(size)))
               : std::nullopt;
  if (acl && !acl->empty()) {
    unsigned owner = 0;
    unsigned group = 0;
    unsigned mask = 8;  // none yet
    unsigned others = 0;
    for (const AclEntry& entry : *acl) {
      const unsigned bits = entry.permissions & 6U;
      switch (entry.tag) {
        case kAclOwner:
          owner = bits;
          break;
        case kAclOwningGroup:
          group = bits;
          break;
        case kAclMask:  // stands for the group bits when present
          mask = bits;
          break;
        case kAclOthers:
          others = bits;
          break;
        default:  // named users and groups: the mask covers them
          break;
      }
    }
    return static_cast<mode_t>(owner << 6 | (mask == 8 ? group : mask) << 3 | others);
  }
#else
  (void)folder;
#endif
  return 0666 & ~CurrentUmask();
}

// Makes the rename itself durable; a failure here cannot be undone anymore
// and the new contents are already in place, so it is not reported.
void SyncFolder(const fs::path& folder) {
  const Descriptor descriptor(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (descriptor.Valid()) {
    ::fsync(descriptor.Get());
  }
}

// The new bytes in a temporary file that has reached the disk, carrying what
// the original carries; its path, or why not.
struct Prepared {
  std::optional<fs::path> path;
  std::string reason;
};

Prepared PrepareCopy(const fs::path& target, std::string_view bytes, int original,
                     const struct stat* existing) {
  const std::optional<TemporaryFile> temporary = CreateTemporary(target);
  if (!temporary) {
    return {std::nullopt, Because("cannot create a file beside it", errno)};
  }
  Descriptor copy(temporary->descriptor);
  std::string reason;
  if (!WriteAll(copy.Get(), bytes)) {
    reason = Because("cannot write", errno);
  } else if (existing != nullptr) {
    reason = KeepWhatTheFileCarries(original, copy.Get(), *existing).value_or("");
  } else if (::fchmod(copy.Get(), NewFileModes(FolderOf(target))) != 0) {
    reason = Because("cannot give it its permissions", errno);
  }
  if (reason.empty() && ::fsync(copy.Get()) != 0) {
    reason = Because("cannot write", errno);
  }
  if (!copy.Close() && reason.empty()) {
    reason = Because("cannot write", errno);
  }
  if (!reason.empty()) {
    ::unlink(temporary->path.c_str());
    return {std::nullopt, reason};
  }
  return {temporary->path, {}};
}

// Replacing a file makes the new one ours, and only root may hand it back:
// a player who may write another's file (through its group) rewrites it in
// place instead, keeping its owner, modes, ACL and inode.
bool RewritesInPlace(const struct stat& file) {
  const uid_t saver = ::geteuid();
  return saver != 0 && saver != file.st_uid;
}

// A name for the recovery copy that no other save, live or dead, uses now.
unsigned UniqueNumber() {
  static std::atomic<unsigned> counter{0};
  return (static_cast<unsigned>(::getpid()) * 40503U + ++counter * 7919U) & 0xFFFFU;
}

// The recovery copy of `bytes`: named in the marker first, created
// exclusively (a name someone planted is skipped), readable by the file's
// group where the file is, so that its owner can put it back, and on the
// disk. Its name, or why not.
Prepared MakeRecoveryCopy(const fs::path& target, std::string_view bytes, int file_descriptor,
                          const struct stat& file, SaveLock& lock) {
  const std::string name = target.filename().string();
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::string copy_name = SaveWorkingName(name, UniqueNumber(), SaveMarkerName::Rewriting);
    // Named first as a working file that a dead save's clearing removes,
    // and as the copy to put back only once it is whole on the disk.
    if (!lock.Append(SaveMarkerLine(SaveMarkerName::Backup, copy_name))) {
      return {std::nullopt, Because("cannot write a file beside it", errno)};
    }
    const fs::path path = FolderOf(target) / copy_name;
    Descriptor copy(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!copy.Valid() && errno == EEXIST) {
      continue;
    }
    if (!copy.Valid()) {
      return {std::nullopt, Because("cannot create a file beside it", errno)};
    }
    // The file's group shows that we are its member (TrustedCopy), and the
    // file's owner can read it to put it back.
    OpenToTheFilesReaders(copy.Get(), file_descriptor, file);
    if (!WriteAll(copy.Get(), bytes) || ::fsync(copy.Get()) != 0 || !copy.Close()) {
      const int error = errno;
      ::unlink(path.c_str());
      return {std::nullopt, Because("cannot write", error)};
    }
    if (!lock.Append(SaveMarkerLine(SaveMarkerName::Rewriting, copy_name))) {
      const int error = errno;
      ::unlink(path.c_str());
      return {std::nullopt, Because("cannot write a file beside it", error)};
    }
    return {path, {}};
  }
  return {std::nullopt, Because("cannot create a file beside it", EEXIST)};
}

// The file rewritten in place, all or nothing across a kill: its old bytes
// first into a recovery copy that the marker names, then the new bytes over
// the file, then the copy goes. A failure midway writes the old bytes back;
// if even that fails, the marker and the copy stay, and the next start (or
// save) puts the old bytes back once our lock is gone. A reader meanwhile
// may see the file half written: the game does not run while we save.
std::optional<SaveResult> RewriteInPlace(const fs::path& target, int file, const struct stat& read,
                                         const std::string& current, const std::string& updated,
                                         SaveLock& lock) {
  const Prepared copy = MakeRecoveryCopy(target, current, file, read, lock);
  if (!copy.path) {
    return Failed(copy.reason);
  }
  if (!StillAsRead(target, file, read)) {
    ::unlink(copy.path->c_str());
    return std::nullopt;
  }
  if (!OverwriteWhole(file, updated)) {
    const std::string reason = Because("cannot write", errno);
    if (!OverwriteWhole(file, current)) {
      lock.Keep();
      return Failed(reason + "; its old contents are in " + copy.path->filename().string() +
                    ", which the next start puts back");
    }
    ::unlink(copy.path->c_str());
    return Failed(reason);
  }
  ::unlink(copy.path->c_str());
  return Saved();
}

// nullopt: someone created the file meanwhile; edit theirs.
// Takes the save lock, when not held yet; why not, if it cannot.
using LockSave = std::function<std::optional<std::string>()>;

std::optional<SaveResult> CreateFile(const fs::path& target, const FileEdit& edit,
                                     const LockSave& lock) {
  const std::optional<std::string> bytes = edit(std::string());
  if (!bytes) {
    return Failed("the new values cannot be written into it");
  }
  if (bytes->size() > kLargestEditableFile) {
    return Failed("the new values would make it " + std::string(kTooLarge));
  }
  if (std::optional<std::string> refused = lock()) {
    return Failed(*refused);
  }
  const Prepared copy = PrepareCopy(target, *bytes, -1, nullptr);
  if (!copy.path) {
    return Failed(copy.reason);
  }
  // link() never replaces an existing file; file systems without hard links
  // fall back to rename().
  const bool linked = ::link(copy.path->c_str(), target.c_str()) == 0;
  const int link_error = errno;
  if (!linked && link_error == EEXIST) {
    ::unlink(copy.path->c_str());
    return std::nullopt;
  }
  if (linked) {
    ::unlink(copy.path->c_str());
  } else if (::rename(copy.path->c_str(), target.c_str()) != 0) {
    const int error = errno;
    ::unlink(copy.path->c_str());
    return Failed(Because("cannot create it", error));
  }
  SyncFolder(FolderOf(target));
  return Saved();
}

// What keeps us from reading the file.
std::optional<std::string> Refusal(const struct stat& status) {
  if (S_ISDIR(status.st_mode)) {
    return "it is a folder";
  }
  if (!S_ISREG(status.st_mode)) {
    return "it is not a regular file";
  }
  if (static_cast<std::uintmax_t>(status.st_size) > kLargestEditableFile) {
    return "it is " + std::string(kTooLarge);
  }
  return std::nullopt;
}

// What keeps us from replacing it; asked only once there is something to
// change, so that a file we may only read still serves when it already holds
// what it should.
std::optional<std::string> WriteRefusal(const fs::path& target, const struct stat& status,
                                        std::size_t new_size) {
  if ((status.st_mode & S_IWUSR) == 0) {
    return "it is read-only";
  }
  if (status.st_nlink > 1) {
    return "it has several names (hard links), which saving would separate";
  }
  if (new_size > kLargestEditableFile) {
    return "the new values would make it " + std::string(kTooLarge);
  }
  // The permission the save is about: a folder we may write would let us
  // replace a file we may not.
  const Descriptor writable(::open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!writable.Valid()) {
    return Because("cannot open it", errno);
  }
  return std::nullopt;
}

// Open for writing where we may: over NFS the lock needs it. Else for
// reading, since when there is nothing to change, nothing needs the right to
// write (WriteRefusal asks for it otherwise). Not blocking: the file may have
// become a pipe since it was looked at.
int OpenToEdit(const fs::path& target) {
  constexpr int kFlags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  const int descriptor = ::open(target.c_str(), O_RDWR | kFlags);
  if (descriptor < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
    return ::open(target.c_str(), O_RDONLY | kFlags);
  }
  return descriptor;
}

// The locks a careful program takes on the file itself while it changes it,
// held from before the read to after the replacement (they go with the
// descriptor): flock, and a POSIX record lock over the whole file, which
// Wine's LockFileEx and most programs' fcntl locks meet. Exclusive where we
// may write the file, shared where we only read it (a read-only
// installation that holds the values already). Both or neither, and never
// a wait while one is held, so that no program taking them the other way
// round can deadlock with us. A holder is waited for briefly; file systems
// without locks save as before. Why not, when another program keeps it.
std::optional<std::string> LockTheFile(int file) {
  const bool writable = (::fcntl(file, F_GETFL) & O_ACCMODE) == O_RDWR;
  const auto deadline = std::chrono::steady_clock::now() + kSaveLockWait;
  for (;;) {
    if (::flock(file, (writable ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
      if (errno != EWOULDBLOCK && errno != EINTR) {
        return std::nullopt;  // no such locks here
      }
    } else {
      struct flock range {};
      range.l_type = writable ? F_WRLCK : F_RDLCK;
      range.l_whence = SEEK_SET;  // from the start, to the end whatever it grows to
      if (::fcntl(file, F_OFD_SETLK, &range) == 0) {
        return std::nullopt;
      }
      const int error = errno;
      ::flock(file, LOCK_UN);
      if (!Held(error) && error != EINTR) {
        return std::nullopt;
      }
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return "another program keeps it locked";
    }
    std::this_thread::sleep_for(kSaveLockPoll);
  }
}

// One read-edit-replace; nullopt when the file changed under us.
// The file is read under the locks on the file itself, without the save
// lock: a read-only installation that already holds the values needs no
// marker. A save by another launcher between our read and our save lock
// shows in the check before the rename, and the edit is made again, under
// the save lock.
std::optional<SaveResult> TryEdit(const fs::path& target, const FileEdit& edit,
                                  const LockSave& lock, std::optional<SaveLock>& held) {
  struct stat named {};
  if (::lstat(target.c_str(), &named) != 0) {
    return errno == ENOENT ? CreateFile(target, edit, lock)
                           : Failed(Because("cannot look at it", errno));
  }
  if (std::optional<std::string> refused = Refusal(named)) {
    return Failed(*refused);
  }
  const Descriptor file(OpenToEdit(target));
  if (!file.Valid()) {
    return errno == ENOENT || errno == ELOOP
               ? std::nullopt
               : std::optional(Failed(Because("cannot open it", errno)));
  }
  if (std::optional<std::string> refused = LockTheFile(file.Get())) {
    return Failed(*refused);
  }
  struct stat read {};
  if (::fstat(file.Get(), &read) != 0) {
    return Failed(Because("cannot look at it", errno));
  }
  if (!SameFile(read, named) || !StillAsRead(target, file.Get(), read)) {
    return std::nullopt;  // replaced since we looked
  }
  if (std::optional<std::string> refused = Refusal(read)) {
    return Failed(*refused);
  }
  if (HasHoles(file.Get(), read)) {
    return Failed("it is a sparse file, which rewriting would fill");
  }
  const std::optional<std::string> current = ReadAll(file.Get(), kLargestEditableFile);
  if (!current) {
    // More bytes than measured: it grew meanwhile. Else a read error.
    const int error = errno;
    return StillAsRead(target, file.Get(), read)
               ? std::optional(Failed(Because("cannot read it", error)))
               : std::nullopt;
  }
  const std::optional<std::string> updated = edit(*current);
  if (!updated) {
    return Failed("the new values cannot be written into it");
  }
  if (*updated == *current) {
    const std::optional<std::string> unfinished = UnfinishedSave(target);
    return unfinished ? Failed(*unfinished) : Saved();
  }
  if (std::optional<std::string> refused = WriteRefusal(target, read, updated->size())) {
    return Failed(*refused);
  }
  if (std::optional<std::string> refused = lock()) {
    return Failed(*refused);
  }
  if (RewritesInPlace(read)) {
    return RewriteInPlace(target, file.Get(), read, *current, *updated, *held);
  }
  const Prepared copy = PrepareCopy(target, *updated, file.Get(), &read);
  if (!copy.path) {
    return Failed(copy.reason);
  }
  if (!StillAsRead(target, file.Get(), read)) {
    ::unlink(copy.path->c_str());
    return std::nullopt;
  }
  if (::rename(copy.path->c_str(), target.c_str()) != 0) {
    const int error = errno;
    ::unlink(copy.path->c_str());
    return Failed(Because("cannot replace it", error));
  }
  SyncFolder(FolderOf(target));
  return Saved();  // the lock goes with the descriptor, after the rename
}

}  // namespace

std::optional<std::string> ReadSmallFile(const fs::path& path) {
  const Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat status {};
  if (!file.Valid() || ::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode) ||
      static_cast<std::uintmax_t>(status.st_size) > kLargestEditableFile) {
    return std::nullopt;
  }
  return ReadAll(file.Get(), kLargestEditableFile);
}

SaveResult EditFile(const fs::path& requested, const FileEdit& edit) {
  const Followed followed = FollowLinks(requested);
  if (!followed.path) {
    return Failed(followed.refusal);
  }
  const fs::path& target = *followed.path;
  std::error_code error;
  if (!fs::is_directory(FolderOf(target), error)) {
    return Failed("its folder does not exist");
  }
  IgnoreFileSizeSignal();
  RemoveStaleTemporaries(target);
  std::optional<SaveLock> held;
  const LockSave lock = [&]() -> std::optional<std::string> {
    return held ? std::nullopt : TakeSaveLock(target, target != requested, held);
  };
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (std::optional<SaveResult> result = TryEdit(target, edit, lock, held)) {
      return *result;
    }
  }
  return Failed("other programs kept changing it");
}

void FinishInterruptedSave(const fs::path& requested) {
  const Followed followed = FollowLinks(requested);
  if (!followed.path) {
    return;
  }
  const fs::path marker = MarkerOf(*followed.path);
  struct stat status {};
  if (::lstat(marker.c_str(), &status) == 0) {
    ClearAbandonedSave(marker);
  }
}

bool ReplaceFileContents(const fs::path& target, std::string_view bytes) {
  return EditFile(target, [&](const std::string&) { return std::string(bytes); }).saved;
}

}  // namespace zephran::platform
