#include "platform/posix_text_viewer.h"

#include "platform/native_platform.h"

namespace zephran::platform {

namespace {

constexpr const char* kOpener = "xdg-open";

// xdg-open's documented exit statuses.
constexpr int kNoMethod = 3;      // no program found for the file's type
constexpr int kActionFailed = 4;  // the program chosen for it failed

}  // namespace

// Desktops differ in their editors; xdg-open asks the player's desktop for
// the viewer it has chosen for text files.
CommandLine NativePlatform::TextViewerCommand(const std::string& file) {
  return {kOpener, {file}};
}

std::string TextViewerFailure(std::string_view program, int exit_status) {
  if (program != kOpener) {
    return {};
  }
  switch (exit_status) {
    case kNoMethod:
      return "this computer has no program set up to show text files. Open the file with any "
             "text editor, or install one";
    case kActionFailed:
      return "the program this computer has set up to show text files could not show it. Open "
             "the file with any text editor";
    default:
      return {};
  }
}

}  // namespace zephran::platform
