#pragma once

#include <QCoreApplication>

#include "tests/platform/recording_platform.h"

namespace zephran::ui::testing {

// Records like the platform tests' version, and lets the window's events run
// where a launch pumps them.
class RecordingPlatform : public test_support::RecordingPlatform {
 public:
  using test_support::RecordingPlatform::RecordingPlatform;

  void PumpEvents() override { QCoreApplication::processEvents(); }
};

}  // namespace zephran::ui::testing
