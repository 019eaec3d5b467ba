#include "platform/posix_atomic_file.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <optional>
#include <string>
#include <system_error>

namespace zephran::platform {

namespace fs = std::filesystem;

namespace {

// The limit Linux itself puts on chains of links.
constexpr int kMaxLinkDepth = 40;

// Where a write to `path` really lands: replacing a link by a plain file
// would cut it off from the file it is meant to share.
std::optional<fs::path> FollowLinks(fs::path path) {
  for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(path, error))) {
      return path;
    }
    const fs::path link = fs::read_symlink(path, error);
    if (error) {
      return std::nullopt;
    }
    path = link.is_absolute() ? link : path.parent_path() / link;
  }
  return std::nullopt;
}

fs::path FolderOf(const fs::path& file) {
  return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

// Windows callers expect a read-only file to refuse writes, and root (who
// runs the tests and many containers) can write anything, so the owner's
// write bit decides. Without root, the file must also be writable by us:
// replacing it through the folder would otherwise bypass its permissions.
bool MayReplace(const fs::path& target, const struct stat& existing) {
  return S_ISREG(existing.st_mode) && (existing.st_mode & S_IWUSR) != 0 &&
         ::access(target.c_str(), W_OK) == 0;
}

struct TemporaryFile {
  fs::path path;
  int descriptor = -1;
};

// A hidden file beside the target, so that the final rename stays within one
// file system. It is created with 0666 so that a new file ends up with the
// modes the user's umask asks for.
std::optional<TemporaryFile> CreateTemporary(const fs::path& target) {
  static std::atomic<unsigned> counter{0};
  const std::string stem = "." + target.filename().string() + "." + std::to_string(::getpid());
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = FolderOf(target) / (stem + "-" + std::to_string(++counter) + ".tmp");
    const int descriptor = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor >= 0) {
      return TemporaryFile{candidate, descriptor};
    }
    if (errno != EEXIST) {
      return std::nullopt;
    }
  }
  return std::nullopt;
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

bool CopyOwnershipAndModes(int descriptor, const struct stat& existing) {
  // Only root may give a file away; anyone else keeps the file as their own.
  if (::fchown(descriptor, existing.st_uid, existing.st_gid) != 0) {
    // Not an error: the modes below still apply.
  }
  // After the chown, since a chown may clear the set-id bits.
  return ::fchmod(descriptor, existing.st_mode & 07777) == 0;
}

// Makes the rename itself durable; a failure here cannot be undone anymore
// and the new contents are already in place, so it is not reported.
void SyncFolder(const fs::path& folder) {
  const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) {
    return;
  }
  ::fsync(descriptor);
  ::close(descriptor);
}

}  // namespace

bool ReplaceFileContents(const fs::path& requested, std::string_view bytes) {
  const std::optional<fs::path> target = FollowLinks(requested);
  if (!target) {
    return false;
  }
  std::error_code error;
  if (!fs::is_directory(FolderOf(*target), error)) {
    return false;
  }
  struct stat existing {};
  const bool exists = ::stat(target->c_str(), &existing) == 0;
  if (!exists && errno != ENOENT) {
    return false;
  }
  if (exists && !MayReplace(*target, existing)) {
    return false;
  }

  IgnoreFileSizeSignal();
  const std::optional<TemporaryFile> temporary = CreateTemporary(*target);
  if (!temporary) {
    return false;
  }
  const bool written = WriteAll(temporary->descriptor, bytes) &&
                       (!exists || CopyOwnershipAndModes(temporary->descriptor, existing)) &&
                       ::fsync(temporary->descriptor) == 0;
  const bool closed = ::close(temporary->descriptor) == 0;
  if (!written || !closed || ::rename(temporary->path.c_str(), target->c_str()) != 0) {
    ::unlink(temporary->path.c_str());
    return false;
  }
  SyncFolder(FolderOf(*target));
  return true;
}

}  // namespace zephran::platform
