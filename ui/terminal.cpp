#include "ui/terminal.h"

#include <array>
#include <cstddef>
#include <string>

#include "core/game_layout.h"
#include "core/locator.h"

namespace zephran::ui {

namespace {

constexpr std::string_view kProgram = "zephran-loader";
constexpr std::string_view kSetupCommand = "zephran-loader-setup";

constexpr std::string_view kHelp =
    "usage: zephran-loader [--help | --version]\n"
    "\n"
    "Chooses the display options and a saved game of Zephran, then starts the\n"
    "game under Wine. It finds the game only beside its own file: put it in the\n"
    "game's folder, next to zephran.ini, or in the folder above a sub-folder zp.\n"
    "\"zephran-loader-setup FOLDER\" puts a copy there, with a menu entry.\n"
    "\n"
    "Keys: Ctrl+N starts a new game, Ctrl+L loads the chosen save, F1 opens the\n"
    "game's read-me.\n"
    "Gamepad: the directional pad or the left stick moves, A does what a click\n"
    "does, B closes.\n"
    "More in its manual: man zephran-loader\n";

// The length of the UTF-8 sequence starting at `at`, or 0 when the bytes
// there are no valid sequence (overlong forms and surrogates included).
std::size_t SequenceLength(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  if (lead < 0x80) {
    return 1;
  }
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    low = lead == 0xE0 ? 0xA0 : 0x80;
    high = lead == 0xED ? 0x9F : 0xBF;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    low = lead == 0xF0 ? 0x90 : 0x80;
    high = lead == 0xF4 ? 0x8F : 0xBF;
  } else {
    return 0;
  }
  if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high) {
    return 0;
  }
  for (std::size_t i = at + 2; i < at + length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) {
      return 0;
    }
  }
  return length;
}

void AppendHex(std::string& out, unsigned char byte) {
  constexpr std::array<char, 16> kDigits = {'0', '1', '2', '3', '4', '5', '6', '7',
                                            '8', '9', 'a', 'b', 'c', 'd', 'e', 'f'};
  out += "\\x";
  out += kDigits[byte >> 4];
  out += kDigits[byte & 0x0F];
}

}  // namespace

std::string Escaped(std::string_view text) {
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = SequenceLength(text, at);
    // C1 controls (U+0080 to U+009F) steer a terminal as the C0 ones do.
    const bool control =
        (length == 1 && (lead < 0x20 || lead == 0x7F)) ||
        (length == 2 && lead == 0xC2 && static_cast<unsigned char>(text[at + 1]) <= 0x9F);
    if (length == 0 || control) {
      const std::size_t bytes = length == 0 ? 1 : length;
      for (std::size_t i = at; i < at + bytes; ++i) {
        AppendHex(out, static_cast<unsigned char>(text[i]));
      }
      at += bytes;
      continue;
    }
    if (lead == '\\') {
      out += "\\\\";
    } else {
      out.append(text.substr(at, length));
    }
    at += length;
  }
  return out;
}

std::optional<int> AnswerCommandLine(int argc, const char* const argv[], std::ostream& out) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--") {
      break;
    }
    if (argument == "--help" || argument == "-h") {
      out << kHelp;
      return 0;
    }
    if (argument == "--version") {
      out << kProgram << " (Zephran Loader+) " << ZEPHRAN_VERSION << '\n';
      return 0;
    }
  }
  return std::nullopt;
}

void ReportMissingGame(platform::Platform& platform, std::ostream& out) {
  const core::InstallationSearch search = core::SearchInstallation(platform);
  if (search.found) {
    return;
  }
  out << kProgram << ": the game was not found: there is no " << core::kSettingsFile
      << " (in capitals or not) in\n";
  for (const std::string& folder : search.folders) {
    out << "  " << Escaped(folder) << '\n';
  }
  out << kProgram << ": the launcher finds the game only beside its own file: it must lie in the "
      << "game's folder, next to " << core::kSettingsFile
      << ", or in the folder above a game folder named zp.\n";
  // The installed launcher has the setup command beside it; a copy in a game
  // folder has not.
  const std::string own_dir = search.folders.front();
  if (!platform.FirstDirEntry(own_dir + std::string(kSetupCommand), platform::kAttrAny).empty()) {
    out << kProgram << ": this is the installed launcher, which cannot start a game from here. "
        << "To put a copy into your game's folder, with a menu entry of its own, run:\n"
        << "  " << kSetupCommand << " FOLDER\n";
  }
}

}  // namespace zephran::ui
