#include "platform/windows_file_rights.h"

#include <aclapi.h>

#include <array>
#include <optional>
#include <type_traits>

#include "platform/windows_entries.h"
#include "platform/windows_newer_calls.h"
#include "platform/windows_system_library.h"
#include "platform/windows_text.h"

namespace zephran::platform {

namespace {

// advapi32, looked up: the program imports only what its window needs to
// show.
struct SecurityCalls {
  decltype(&::GetSecurityInfo) get_security_info = nullptr;
  decltype(&::OpenProcessToken) open_process_token = nullptr;
  decltype(&::GetTokenInformation) get_token_information = nullptr;
  decltype(&::EqualSid) equal_sid = nullptr;
  decltype(&::GetAce) get_ace = nullptr;
  decltype(&::GetAclInformation) get_acl_information = nullptr;
  bool complete = false;
};

const SecurityCalls& Calls() {
  static const SecurityCalls calls = [] {
    SecurityCalls found;
    const auto look_up = [](auto& call, const char* name) {
      call =
          LoadSystemFunction<std::remove_reference_t<decltype(call)>>(SystemLibrary::kAdvapi, name);
      return call != nullptr;
    };
    found.complete = look_up(found.get_security_info, "GetSecurityInfo") &
                     look_up(found.open_process_token, "OpenProcessToken") &
                     look_up(found.get_token_information, "GetTokenInformation") &
                     look_up(found.equal_sid, "EqualSid") & look_up(found.get_ace, "GetAce") &
                     look_up(found.get_acl_information, "GetAclInformation");
    return found;
  }();
  return calls;
}

using SidBytes = std::array<BYTE, SECURITY_MAX_SID_SIZE>;

// A SID of the NT authority (S-1-5-...) from its sub-authorities.
SidBytes NtSid(std::initializer_list<DWORD> parts) {
  SidBytes sid{};
  sid[0] = 1;  // revision
  sid[1] = static_cast<BYTE>(parts.size());
  sid[7] = 5;  // SECURITY_NT_AUTHORITY, six bytes, most significant first
  std::size_t at = 8;
  for (const DWORD part : parts) {
    for (int shift = 0; shift < 32; shift += 8) {
      sid[at++] = static_cast<BYTE>(part >> shift);
    }
  }
  return sid;
}

SidBytes EveryoneSid() {
  SidBytes sid{};
  sid[0] = 1;
  sid[1] = 1;
  sid[7] = 1;  // SECURITY_WORLD_SID_AUTHORITY, S-1-1-0
  return sid;
}

// The account this program runs as.
std::optional<SidBytes> PlayerSid() {
  static const std::optional<SidBytes> player = []() -> std::optional<SidBytes> {
    const SecurityCalls& calls = Calls();
    HANDLE token = nullptr;
    if (!calls.complete ||
        calls.open_process_token(::GetCurrentProcess(), TOKEN_QUERY, &token) == FALSE) {
      return std::nullopt;
    }
    std::array<BYTE, sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE> buffer{};
    DWORD size = 0;
    const BOOL got = calls.get_token_information(token, TokenUser, buffer.data(),
                                                 static_cast<DWORD>(buffer.size()), &size);
    ::CloseHandle(token);
    if (got == FALSE) {
      return std::nullopt;
    }
    const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
    SidBytes sid{};
    const auto* bytes = static_cast<const BYTE*>(user->User.Sid);
    const std::size_t length = 8 + 4 * std::size_t{bytes[1]};
    if (length > sid.size()) {
      return std::nullopt;
    }
    std::copy(bytes, bytes + length, sid.begin());
    return sid;
  }();
  return player;
}

bool SameSid(PSID a, const SidBytes& b) {
  return Calls().equal_sid(a, const_cast<BYTE*>(b.data())) != FALSE;
}

// The parts of an entry's security the caller asks for, freed on leaving.
class Security {
 public:
  Security(HANDLE entry, SECURITY_INFORMATION wanted) {
    if (Calls().complete) {
      failed_ = Calls().get_security_info(entry, SE_FILE_OBJECT, wanted, &owner_, nullptr, &dacl_,
                                          nullptr, &descriptor_) != ERROR_SUCCESS;
    }
  }
  Security(const Security&) = delete;
  Security& operator=(const Security&) = delete;
  ~Security() { ::LocalFree(descriptor_); }

  bool Read() const { return Calls().complete && !failed_; }
  PSID Owner() const { return owner_; }
  PACL Dacl() const { return dacl_; }

 private:
  PSID owner_ = nullptr;
  PACL dacl_ = nullptr;
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  bool failed_ = true;
};

// The entry leads elsewhere than its name in `folder` says: a link (a
// Linux one under Wine, where nothing else shows it) or a junction.
bool LeadsElsewhere(HANDLE entry, const std::wstring& path, HANDLE folder) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileInformationByHandle(entry, &info) == FALSE ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
    return true;
  }
  const std::wstring entry_path = FinalPath(entry);
  const std::wstring folder_path = FinalPath(folder);
  if (entry_path.empty() || folder_path.empty()) {
    // XP cannot say, and has no links to files (a junction shows above);
    // elsewhere a path the system will not give cannot be vouched for.
    return SystemFinalPath(entry).has_value();
  }
  return !SameNameIgnoringCase(entry_path, Joined(folder_path, NamePart(path)));
}

// Whether the volume the open `folder` lies on keeps owners and rights at
// all. FAT, as on many a USB stick, keeps none: there every user may write
// everything and no file shows whose it is, so nothing can be told apart and
// the game plays as it always did. Where the system cannot say, the checks
// apply. Asked of the handle through the native call (XP has it), which,
// unlike GetVolumeInformation under Wine, does not try to read the device.
bool KeepsOwners(HANDLE folder) {
  using QueryVolumeCall = LONG(WINAPI*)(HANDLE, NativeIoStatus*, void*, ULONG, int);
  constexpr int kFileFsAttributeInformation = 5;
  static const auto query =
      LoadSystemFunction<QueryVolumeCall>(SystemLibrary::kNative, "NtQueryVolumeInformationFile");
  // FILE_FS_ATTRIBUTE_INFORMATION: the attributes first, then the name.
  std::array<ULONG, 64> answer{};
  NativeIoStatus io{};
  if (query == nullptr ||
      query(folder, &io, answer.data(), sizeof answer, kFileFsAttributeInformation) < 0) {
    return true;
  }
  return (answer[0] & FILE_PERSISTENT_ACLS) != 0;
}

}  // namespace

bool OwnedByPlayerOrSystem(HANDLE entry) {
  const Security security(entry, OWNER_SECURITY_INFORMATION);
  const std::optional<SidBytes> player = PlayerSid();
  if (!security.Read() || security.Owner() == nullptr || !player) {
    return false;
  }
  if (SameSid(security.Owner(), *player)) {
    return true;
  }
  if (RunningUnderWine()) {
    return false;  // every other user, root too, shows as one stranger
  }
  static const std::array<SidBytes, 3> kSystem = {
      NtSid({32, 544}),  // BUILTIN\Administrators
      NtSid({18}),       // SYSTEM
      NtSid({80, 956008885, 3418522649, 1831038044, 1853292631, 2271478464}),  // TrustedInstaller
  };
  for (const SidBytes& sid : kSystem) {
    if (SameSid(security.Owner(), sid)) {
      return true;
    }
  }
  return false;
}

bool EveryoneMayAddFiles(HANDLE folder) {
  const Security security(folder, DACL_SECURITY_INFORMATION);
  if (!security.Read()) {
    return false;  // cannot tell: as before such checks
  }
  if (security.Dacl() == nullptr) {
    return true;  // no list at all: everyone may do anything
  }
  ACL_SIZE_INFORMATION size{};
  if (Calls().get_acl_information(security.Dacl(), &size, sizeof size, AclSizeInformation) ==
      FALSE) {
    return false;
  }
  static const std::array<SidBytes, 3> kEveryone = {
      EveryoneSid(), NtSid({11}) /* Authenticated Users */, NtSid({32, 545}) /* Users */};
  constexpr ACCESS_MASK kAddFiles = FILE_ADD_FILE | GENERIC_WRITE | GENERIC_ALL;
  for (DWORD index = 0; index < size.AceCount; ++index) {
    void* ace = nullptr;
    if (Calls().get_ace(security.Dacl(), index, &ace) == FALSE) {
      continue;
    }
    const auto* header = static_cast<const ACE_HEADER*>(ace);
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE) != 0) {
      continue;
    }
    const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
    if ((allowed->Mask & kAddFiles) == 0) {
      continue;
    }
    for (const SidBytes& sid : kEveryone) {
      if (SameSid(const_cast<DWORD*>(&allowed->SidStart), sid)) {
        return true;
      }
    }
  }
  return false;
}

PathTrust TrustOfPath(const std::wstring& path, SharedFolders& known) {
  for (std::wstring entry = path;;) {
    const std::wstring folder = FolderPart(entry);
    if (folder == entry || folder.empty() || folder == L".") {
      return {};
    }
    const auto seen = known.find(folder);
    const bool shared = seen != known.end() ? seen->second : [&] {
      const FileHandle holder(OpenEntry(folder, READ_CONTROL | FILE_READ_ATTRIBUTES));
      return known[folder] =
                 holder.Valid() && KeepsOwners(holder.Get()) && EveryoneMayAddFiles(holder.Get());
    }();
    if (shared) {
      const FileHandle holder(OpenEntry(folder, READ_CONTROL | FILE_READ_ATTRIBUTES));
      const FileHandle named(OpenEntry(entry, READ_CONTROL | FILE_READ_ATTRIBUTES));
      if (named.Valid()) {
        if (LeadsElsewhere(named.Get(), entry, holder.Get())) {
          return {entry, true};
        }
        if (!OwnedByPlayerOrSystem(named.Get())) {
          return {entry, false};
        }
      }
    }
    entry = folder;
  }
}

std::string StrangersEntryText(const PathTrust& trust) {
  return Utf8FromUtf16(trust.stranger) +
         (trust.link ? " is a link in a folder every user may add files to"
                     : " belongs to another user, in a folder every user may add files to") +
         ", so anyone could have put it there: it is not taken for the game's. Remove it, or ask "
         "its owner to";
}

}  // namespace zephran::platform
