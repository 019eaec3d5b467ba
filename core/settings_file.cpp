#include "core/settings_file.h"

#include "core/game_layout.h"

namespace zephran::core {

namespace {
// The game reads its values into a buffer of this many characters, the last
// one kept for the terminator; reading with the same size shows the player
// exactly what the game will see.
constexpr std::size_t kValueBufferSize = 255;
}  // namespace

std::string SettingsPath(const LauncherState& state) {
  return state.SettingsFile.empty() ? state.GameDir + kSettingsFile : state.SettingsFile;
}

std::string LireINI(platform::Platform& platform, const std::string& Entete,
                    const std::string& Variable, const std::string& Fichier) {
  return platform.ReadProfileString(Entete, Variable, "", kValueBufferSize, Fichier);
}

std::vector<std::string> LireINIs(platform::Platform& platform,
                                  const std::vector<platform::ProfileKey>& keys,
                                  const std::string& Fichier) {
  return platform.ReadProfileStrings(keys, "", kValueBufferSize, Fichier);
}

std::string EcrireINI(platform::Platform& platform, const std::string& Entete,
                      const std::string& Variable, const std::string& Valeur,
                      const std::string& Fichier) {
  const bool written = platform.WriteProfileString(Entete, Variable, Valeur, Fichier);
  return written ? "1" : "0";
}

Flag FileExists(platform::Platform& platform, const std::string& stFichier) {
  return ToFlag(!platform.FirstDirEntry(stFichier, platform::kAttrAny).empty());
}

}  // namespace zephran::core
