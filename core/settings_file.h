#pragma once

#include <string>
#include <vector>

#include "core/launcher_state.h"
#include "platform/platform.h"

namespace zephran::core {

// Every access to the game's settings file and every existence probe goes
// through these three.

// The game's settings file: the one the locator found, or, before it has
// run, the installation folder followed by "zephran.ini".
std::string SettingsPath(const LauncherState& state);

// The value of `Variable` in section `Entete` of `Fichier`; empty text when
// the file, the section or the key is missing. Values longer than 254
// characters come back cut to 254.
std::string LireINI(platform::Platform& platform, const std::string& Entete,
                    const std::string& Variable, const std::string& Fichier);

// The values of several keys of `Fichier`, each as LireINI gives it, from one
// reading of the file.
std::vector<std::string> LireINIs(platform::Platform& platform,
                                  const std::vector<platform::ProfileKey>& keys,
                                  const std::string& Fichier);

// Writes `Valeur` as `Variable` in section `Entete` of `Fichier`, creating
// what is missing. Returns "1" when written, "0" when the write failed.
std::string EcrireINI(platform::Platform& platform, const std::string& Entete,
                      const std::string& Variable, const std::string& Valeur,
                      const std::string& Fichier);

// True for an existing file of any attributes, or, for a path ending with the
// separator, an existing folder.
Flag FileExists(platform::Platform& platform, const std::string& stFichier);

}  // namespace zephran::core
