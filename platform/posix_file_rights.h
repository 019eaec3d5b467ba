#pragma once

// Who may do what to a file, as the kernel decides it: the modes, or the
// POSIX ACL with its mask and named entries where the file has one (under
// an ACL the group bits of the mode are the mask, not the group's right).
// What a launcher finds in a shared folder is believed by these rules only:
// someone who could not have written a file themselves must not get their
// bytes into it through us.
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zephran::platform {

// One entry of a POSIX ACL, as the system.posix_acl_* attributes hold it.
struct AclEntry {
  std::uint16_t tag = 0;
  std::uint16_t permissions = 0;  // 4 read, 2 write, 1 execute
  std::uint32_t id = 0;           // a named user's or group's; unused otherwise

  friend bool operator==(const AclEntry&, const AclEntry&) = default;
};

inline constexpr std::uint16_t kAclOwner = 0x01;
inline constexpr std::uint16_t kAclNamedUser = 0x02;
inline constexpr std::uint16_t kAclOwningGroup = 0x04;
inline constexpr std::uint16_t kAclNamedGroup = 0x08;
inline constexpr std::uint16_t kAclMask = 0x10;
inline constexpr std::uint16_t kAclOthers = 0x20;

// The entries of an ACL attribute's value; nullopt when it is none.
std::optional<std::vector<AclEntry>> ParseAcl(std::string_view value);
// The attribute's value for `entries`, in the order the kernel wants them.
std::string AclValue(std::vector<AclEntry> entries);

// The open file's access ACL; nullopt when it has none beyond its modes.
std::optional<std::vector<AclEntry>> AccessAcl(int descriptor);

// The name of `uid`'s account, or "user <number>" without one.
std::string AccountName(uid_t uid);

// Whether `uid`, in `groups`, may write the file `status` describes (open
// as `descriptor`, for its ACL), by the kernel's rule. Root always may.
bool MayWrite(uid_t uid, const std::vector<gid_t>& groups, const struct stat& status,
              int descriptor);

// Opens `copy` (a copy of the file's bytes, made 0600 by this process) to
// those who may read the file, and to no one else: the file's group, where
// this user is its member and it reads the file; under an ACL each named
// user and group as far as the file's mask lets them read it, and the file's
// owner by name. Where the copy cannot carry an ACL, the group alone.
void OpenToTheFilesReaders(int copy, int file_descriptor, const struct stat& file);

// Whether `entry` (a marker or a recovery copy, in `folder`) comes from
// someone who could have written the file `status` describes (open as
// `descriptor`): the player, root, the file's owner, or a user its
// permissions let write it. The maker's groups are those of their account,
// and the entry's own group, which only a member can give it, unless the
// folder hands its group down to new files.
bool MakerMayWrite(const struct stat& entry, const struct stat& folder, const struct stat& status,
                   int descriptor);

// A folder every user may create files in (its others' write bit: under an
// ACL that is the others' entry). In a sticky one, only an entry's owner (or
// the folder's) may remove or rename it.
bool EveryoneMayWrite(const struct stat& folder);

// What a folder every user may write says of a path through it. Anyone
// may put an entry there, so an entry made by someone other than the player
// or root is not the game's: a settings file, a game, a save, a folder on
// the way, or a link (in a sticky folder, also the folder owner's link, as
// the kernel follows it). Only an entry's owner may swap it in a sticky
// folder; in another one anyone may swap even the player's own entries,
// which are still taken, but the folder is not safe.
struct PathTrust {
  // Empty when the path may be taken; else the entry another user made.
  std::string stranger;
  // A folder on the way, not sticky, that every user may write.
  std::string unsafe_folder;
};
// Every folder from `path` up, and the folders it really lies in where links
// lead elsewhere. A missing entry is no stranger's.
PathTrust TrustOfPath(const std::string& path);

// The words for an entry another user made: what it is, whose, and what the
// player can do.
std::string StrangersEntryText(const std::string& entry);

}  // namespace zephran::platform
