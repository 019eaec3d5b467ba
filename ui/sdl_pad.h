#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include <QObject>
#include <QString>
#include <QTimer>

#include "window/gamepad.h"

class QFileSystemWatcher;

namespace zephran::ui {

// The gamepads SDL knows (its game-controller API: every pad in its mapping
// database or in SDL_GAMECONTROLLERCONFIG, Steam's virtual pad, pads
// plugged in at any time), read for the window while the launcher is the
// active application. SDL is loaded and started when the launcher is
// active, that is once a window of it (the main window, or the message box
// of a missing game) is on the screen, and a pad may be plugged in: until
// one is, the launcher watches for devices coming rather than pay for SDL
// (3 MB resident with Debian's). A launcher without SDL installed, or
// without a pad, works as before and starts no later. SDL is kept from the
// launcher's signals.
class SdlPad : public QObject {
  Q_OBJECT

 public:
  using Sink = std::function<void(window::PadAction)>;
  using Clock = std::function<std::chrono::milliseconds()>;

  // Where pads are looked for. `may_have_pad` is asked at each activation
  // and, while it says no, each time something in `device_folder` comes or
  // goes (not watched when empty).
  struct Devices {
    std::function<bool()> may_have_pad;
    QString device_folder;
  };

  // Every read while the launcher is active, as a frame of a 60 Hz screen.
  static constexpr std::chrono::milliseconds kInterval{16};

  // `sink` gets what the player asks; `clock` tells the time of each read.
  SdlPad(Sink sink, Devices devices, Clock clock = SteadyClock, QObject* parent = nullptr);
  ~SdlPad() override;

  SdlPad(const SdlPad&) = delete;
  SdlPad& operator=(const SdlPad&) = delete;

  // Reads the pads now; what they asked for since the last read goes to the
  // sink. Nothing before SDL has started.
  void Poll();

  // SDL is loaded and its game controllers started.
  bool Started() const;
  // How many pads are open.
  int PadCount() const;

  static std::chrono::milliseconds SteadyClock();
  // The system's input devices: sysfs tells their buttons, /dev/input holds
  // their nodes.
  static Devices SystemDevices();

 private:
  struct Sdl;

  void OnApplicationStateChanged(Qt::ApplicationState state);
  // Starts SDL, and the reads, if a pad may be there; otherwise watches for
  // one.
  void StartForPads();
  void Start();

  Sink sink_;
  Devices devices_;
  Clock clock_;
  QTimer timer_;
  window::PadReader reader_;
  QFileSystemWatcher* watcher_ = nullptr;  // a child, while SDL waits for a pad
  bool tried_ = false;
  std::unique_ptr<Sdl> sdl_;
};

}  // namespace zephran::ui
