#include "platform/posix_file_rights.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/xattr.h>
#endif

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>

namespace zephran::platform {

namespace {

// A version word, then entries of a 16-bit tag, 16-bit permissions and a
// 32-bit id, little-endian as the kernel hands them over.
constexpr std::uint32_t kAclVersion = 2;
constexpr std::size_t kAclHeader = 4;
constexpr std::size_t kAclEntry = 8;
constexpr std::uint16_t kWrite = 2;

template <typename Number>
Number Read(std::string_view bytes, std::size_t at) {
  Number value{};
  std::memcpy(&value, bytes.data() + at, sizeof value);
  return value;
}

template <typename Number>
void Append(std::string& bytes, Number value) {
  bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
}

bool Contains(const std::vector<gid_t>& groups, gid_t group) {
  return std::find(groups.begin(), groups.end(), group) != groups.end();
}

// The kernel's walk through an ACL (posix_acl_permission): the owner's
// entry, a named user's under the mask, then every group entry the user is
// in under the mask (one granting is enough; being in one that does not
// refuses), then the others' entry.
bool AclLetsWrite(uid_t uid, const std::vector<gid_t>& groups, const struct stat& status,
                  const std::vector<AclEntry>& entries) {
  std::uint16_t mask = 7;
  for (const AclEntry& entry : entries) {
    if (entry.tag == kAclMask) {
      mask = entry.permissions;
    }
  }
  if (uid == status.st_uid) {
    return (status.st_mode & S_IWUSR) != 0;  // the owner's entry is the mode's
  }
  for (const AclEntry& entry : entries) {
    if (entry.tag == kAclNamedUser && entry.id == uid) {
      return (entry.permissions & mask & kWrite) != 0;
    }
  }
  bool in_a_group = false;
  for (const AclEntry& entry : entries) {
    const bool member = (entry.tag == kAclOwningGroup && Contains(groups, status.st_gid)) ||
                        (entry.tag == kAclNamedGroup && Contains(groups, entry.id));
    if (member) {
      if ((entry.permissions & mask & kWrite) != 0) {
        return true;
      }
      in_a_group = true;
    }
  }
  if (in_a_group) {
    return false;
  }
  return (status.st_mode & S_IWOTH) != 0;  // the others' entry is the mode's
}

}  // namespace

std::optional<std::vector<AclEntry>> ParseAcl(std::string_view value) {
  if (value.size() < kAclHeader || (value.size() - kAclHeader) % kAclEntry != 0 ||
      Read<std::uint32_t>(value, 0) != kAclVersion) {
    return std::nullopt;
  }
  std::vector<AclEntry> entries;
  for (std::size_t at = kAclHeader; at < value.size(); at += kAclEntry) {
    entries.push_back({Read<std::uint16_t>(value, at), Read<std::uint16_t>(value, at + 2),
                       Read<std::uint32_t>(value, at + 4)});
  }
  return entries;
}

std::string AclValue(std::vector<AclEntry> entries) {
  std::sort(entries.begin(), entries.end(), [](const AclEntry& a, const AclEntry& b) {
    return a.tag != b.tag ? a.tag < b.tag : a.id < b.id;
  });
  std::string bytes;
  Append(bytes, kAclVersion);
  for (const AclEntry& entry : entries) {
    Append(bytes, entry.tag);
    Append(bytes, entry.permissions);
    Append(bytes, entry.id);
  }
  return bytes;
}

std::optional<std::vector<AclEntry>> AccessAcl(int descriptor) {
#ifdef __linux__
  std::array<char, 4096> value{};
  const ssize_t size =
      ::fgetxattr(descriptor, "system.posix_acl_access", value.data(), value.size());
  if (size <= 0) {
    return std::nullopt;
  }
  return ParseAcl(std::string_view(value.data(), static_cast<std::size_t>(size)));
#else
  (void)descriptor;
  return std::nullopt;
#endif
}

namespace {

struct Account {
  std::string name;
  gid_t group = 0;
};

std::optional<Account> AccountOf(uid_t uid) {
  std::array<char, 4096> text{};
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(uid, &entry, text.data(), text.size(), &found) != 0 || found == nullptr) {
    return std::nullopt;
  }
  return Account{entry.pw_name, entry.pw_gid};
}

// The groups `uid`'s account puts it in (its own first); empty when the
// account is unknown.
std::vector<gid_t> AccountGroups(uid_t uid) {
  const std::optional<Account> account = AccountOf(uid);
  if (!account) {
    return {};
  }
  std::vector<gid_t> groups(256);
  int count = static_cast<int>(groups.size());
  if (::getgrouplist(account->name.c_str(), account->group, groups.data(), &count) < 0) {
    return {account->group};
  }
  groups.resize(static_cast<std::size_t>(count));
  return groups;
}

}  // namespace

std::string AccountName(uid_t uid) {
  const std::optional<Account> account = AccountOf(uid);
  return account ? account->name : "user " + std::to_string(uid);
}

bool MayWrite(uid_t uid, const std::vector<gid_t>& groups, const struct stat& status,
              int descriptor) {
  if (uid == 0) {
    return true;
  }
  if (const std::optional<std::vector<AclEntry>> entries = AccessAcl(descriptor)) {
    return AclLetsWrite(uid, groups, status, *entries);
  }
  if (uid == status.st_uid) {
    return (status.st_mode & S_IWUSR) != 0;
  }
  if (Contains(groups, status.st_gid)) {
    return (status.st_mode & S_IWGRP) != 0;
  }
  return (status.st_mode & S_IWOTH) != 0;
}

bool MakerMayWrite(const struct stat& entry, const struct stat& folder, const struct stat& status,
                   int descriptor) {
  const uid_t maker = entry.st_uid;
  if (maker == ::geteuid() || maker == 0 || maker == status.st_uid) {
    return true;
  }
  std::vector<gid_t> groups = AccountGroups(maker);
  if ((folder.st_mode & S_ISGID) == 0 || folder.st_gid != entry.st_gid) {
    groups.push_back(entry.st_gid);
  }
  return MayWrite(maker, groups, status, descriptor);
}

bool EveryoneMayWrite(const struct stat& folder) {
  return (folder.st_mode & S_IWOTH) != 0;
}

void OpenToTheFilesReaders(int copy, int file_descriptor, const struct stat& file) {
  const bool in_group = ::fchown(copy, static_cast<uid_t>(-1), file.st_gid) == 0;
  const std::optional<std::vector<AclEntry>> acl = AccessAcl(file_descriptor);
  if (!acl) {
    if (in_group && (file.st_mode & S_IRGRP) != 0) {
      ::fchmod(copy, 0640);
    }
    return;
  }
  std::uint16_t mask = 7;
  for (const AclEntry& entry : *acl) {
    mask = entry.tag == kAclMask ? entry.permissions : mask;
  }
  constexpr std::uint16_t kRead = 4;
  std::vector<AclEntry> narrowed{{kAclOwner, 6, 0}, {kAclOthers, 0, 0}};
  std::uint16_t readers = 0;
  const auto add = [&](std::uint16_t tag, std::uint16_t permissions, std::uint32_t id) {
    narrowed.push_back({tag, static_cast<std::uint16_t>(permissions & kRead), id});
    readers |= permissions & kRead;
  };
  if (file.st_uid != ::geteuid()) {
    add(kAclNamedUser, (file.st_mode & S_IRUSR) != 0 ? kRead : 0, file.st_uid);
  }
  for (const AclEntry& entry : *acl) {
    if (entry.tag == kAclNamedUser && entry.id != file.st_uid && entry.id != ::geteuid()) {
      add(kAclNamedUser, entry.permissions & mask, entry.id);
    } else if (entry.tag == kAclNamedGroup) {
      add(kAclNamedGroup, entry.permissions & mask, entry.id);
    } else if (entry.tag == kAclOwningGroup) {
      add(kAclOwningGroup, in_group ? entry.permissions & mask : 0, 0);
    }
  }
  narrowed.push_back({kAclMask, readers, 0});
  const std::string value = AclValue(narrowed);
#ifdef __linux__
  ::fsetxattr(copy, "system.posix_acl_access", value.data(), value.size(), 0);
#endif
}

namespace {

// Walks `path` up to its root; false at the first entry another user made
// in a folder every user may write.
bool CheckChain(std::filesystem::path path, PathTrust& trust) {
  for (; path.has_relative_path(); path = path.parent_path()) {
    const std::filesystem::path folder = path.parent_path();
    struct stat entry {};
    struct stat holder {};
    if (::lstat(path.c_str(), &entry) != 0 || ::stat(folder.c_str(), &holder) != 0) {
      continue;  // missing: nothing of anyone's to take
    }
    if (!EveryoneMayWrite(holder)) {
      continue;
    }
    const bool sticky = (holder.st_mode & S_ISVTX) != 0;
    const bool players = entry.st_uid == ::geteuid() || entry.st_uid == 0 ||
                         (sticky && S_ISLNK(entry.st_mode) && entry.st_uid == holder.st_uid);
    if (!players) {
      trust.stranger = path.string();
      return false;
    }
    if (!sticky && trust.unsafe_folder.empty()) {
      trust.unsafe_folder = folder.string();
    }
  }
  return true;
}

}  // namespace

PathTrust TrustOfPath(const std::string& path) {
  PathTrust trust;
  std::error_code error;
  const std::filesystem::path given = std::filesystem::absolute(path, error);
  if (error || !CheckChain(given.lexically_normal(), trust)) {
    return trust;
  }
  // Where the folders on the way are links, the entry really lies elsewhere.
  const std::filesystem::path real_folder =
      std::filesystem::weakly_canonical(given.parent_path(), error);
  if (!error && real_folder != given.parent_path()) {
    CheckChain(real_folder / given.filename(), trust);
  }
  return trust;
}

std::string StrangersEntryText(const std::string& entry) {
  return entry +
         " belongs to another user, in a folder every user may write, so anyone could have "
         "put it there: it is not taken for the game's. Remove it, or ask its owner to";
}

}  // namespace zephran::platform
