#pragma once

// The Windows program's save of the settings file (NativePlatform's
// WriteProfileStrings), and what it leaves for a later start to finish.
#include <functional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace zephran::platform {

// How the checked copy takes the file's place.
enum class ReplaceMethod {
  // ReplaceFileW on Windows; one rename under Wine (and so Proton).
  Detect,
  // ReplaceFileW: keeps the file's attributes, ACL and streams, but moves
  // the file aside for a moment first; a kill then leaves it under its
  // backup name, which the next start puts back.
  KeepingSecurity,
  // MoveFileExW: one step, so a reader always finds the old file or the new.
  // The file gets the copy's ACL; Wine keeps none anyway.
  OneRename,
};

SaveResult SaveProfileValues(const std::vector<ProfileValue>& values, const std::string& file,
                             ReplaceMethod method);

// Finishes or undoes a save of `file` that was killed midway, when its
// launcher is gone (waiting briefly for one that is still saving). Run at
// start-up, before the file is looked for.
void FinishInterruptedSave(const std::string& file);

// Runs `held` with the save lock of `file` taken, as a save takes it; the
// reason when it cannot be taken. For the tests of two launchers at once.
std::string WithSaveLock(const std::string& file, const std::function<void()>& held);

// Larger than a settings file can be (kLargestProfileFile): neither read
// nor rewritten.
bool TooLargeForAProfile(const std::wstring& path);

}  // namespace zephran::platform
