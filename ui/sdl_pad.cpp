#include "ui/sdl_pad.h"

#include <SDL.h>

#include <algorithm>

#include <QFileSystemWatcher>
#include <QGuiApplication>
#include <QLibrary>

#include "platform/linux_gamepads.h"

namespace zephran::ui {

// SDL's functions, looked up in the library loaded at start. Loaded rather
// than linked: SDL brings some fifty libraries with it, which would delay
// every start of the window, pad or not.
struct SdlPad::Sdl {
  QLibrary library{QStringLiteral("SDL2-2.0"), 0};
  decltype(&SDL_SetHint) SetHint = nullptr;
  decltype(&SDL_InitSubSystem) InitSubSystem = nullptr;
  decltype(&SDL_QuitSubSystem) QuitSubSystem = nullptr;
  decltype(&SDL_PollEvent) PollEvent = nullptr;
  decltype(&SDL_GameControllerOpen) Open = nullptr;
  decltype(&SDL_GameControllerClose) Close = nullptr;
  decltype(&SDL_GameControllerFromInstanceID) FromInstance = nullptr;
  decltype(&SDL_GameControllerGetButton) GetButton = nullptr;
  decltype(&SDL_GameControllerGetAxis) GetAxis = nullptr;
  std::vector<SDL_GameController*> pads;

  template <typename Function>
  bool Resolve(Function& function, const char* name) {
    function = reinterpret_cast<Function>(library.resolve(name));
    return function != nullptr;
  }

  bool Load() {
    return library.load() && Resolve(SetHint, "SDL_SetHint") &&
           Resolve(InitSubSystem, "SDL_InitSubSystem") &&
           Resolve(QuitSubSystem, "SDL_QuitSubSystem") && Resolve(PollEvent, "SDL_PollEvent") &&
           Resolve(Open, "SDL_GameControllerOpen") && Resolve(Close, "SDL_GameControllerClose") &&
           Resolve(FromInstance, "SDL_GameControllerFromInstanceID") &&
           Resolve(GetButton, "SDL_GameControllerGetButton") &&
           Resolve(GetAxis, "SDL_GameControllerGetAxis");
  }

  window::PadState Read(SDL_GameController* pad) const {
    window::PadState state;
    const auto held = [&](SDL_GameControllerButton button) { return GetButton(pad, button) != 0; };
    state.up = held(SDL_CONTROLLER_BUTTON_DPAD_UP);
    state.down = held(SDL_CONTROLLER_BUTTON_DPAD_DOWN);
    state.left = held(SDL_CONTROLLER_BUTTON_DPAD_LEFT);
    state.right = held(SDL_CONTROLLER_BUTTON_DPAD_RIGHT);
    state.accept = held(SDL_CONTROLLER_BUTTON_A);
    state.back = held(SDL_CONTROLLER_BUTTON_B);
    // SDL's y grows downwards too.
    state.stick_x = GetAxis(pad, SDL_CONTROLLER_AXIS_LEFTX);
    state.stick_y = GetAxis(pad, SDL_CONTROLLER_AXIS_LEFTY);
    return state;
  }
};

namespace {

// A press and release between two reads still counts as held at the next.
void Latch(window::PadState& state, Uint8 button) {
  switch (button) {
    case SDL_CONTROLLER_BUTTON_DPAD_UP:
      state.up = true;
      break;
    case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
      state.down = true;
      break;
    case SDL_CONTROLLER_BUTTON_DPAD_LEFT:
      state.left = true;
      break;
    case SDL_CONTROLLER_BUTTON_DPAD_RIGHT:
      state.right = true;
      break;
    case SDL_CONTROLLER_BUTTON_A:
      state.accept = true;
      break;
    case SDL_CONTROLLER_BUTTON_B:
      state.back = true;
      break;
    default:
      break;
  }
}

}  // namespace

SdlPad::SdlPad(Sink sink, Devices devices, Clock clock, QObject* parent)
    : QObject(parent),
      sink_(std::move(sink)),
      devices_(std::move(devices)),
      clock_(std::move(clock)) {
  timer_.setInterval(kInterval);
  connect(&timer_, &QTimer::timeout, this, &SdlPad::Poll);
  connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
          &SdlPad::OnApplicationStateChanged);
  OnApplicationStateChanged(QGuiApplication::applicationState());
}

SdlPad::~SdlPad() {
  if (sdl_) {
    for (SDL_GameController* pad : sdl_->pads) {
      sdl_->Close(pad);
    }
    sdl_->QuitSubSystem(SDL_INIT_GAMECONTROLLER);
  }
}

std::chrono::milliseconds SdlPad::SteadyClock() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
}

SdlPad::Devices SdlPad::SystemDevices() {
  return {[] { return platform::GamepadMayBePresent("/sys/class/input"); },
          QStringLiteral("/dev/input")};
}

void SdlPad::OnApplicationStateChanged(Qt::ApplicationState state) {
  if (state != Qt::ApplicationActive) {
    // Presses meant for another program are not ours to read.
    timer_.stop();
    reader_.Forget();
    return;
  }
  if (tried_) {
    if (sdl_) {
      timer_.start();
    }
    return;
  }
  // Once the window system events that came with the activation are done:
  // a window shown and activated at once paints first.
  QTimer::singleShot(0, this, &SdlPad::StartForPads);
}

void SdlPad::StartForPads() {
  if (tried_ || QGuiApplication::applicationState() != Qt::ApplicationActive) {
    return;  // an inactive launcher looks again when it is activated
  }
  if (!devices_.may_have_pad()) {
    // A pad plugged in later, or Steam's virtual pad made when Steam
    // starts, adds a node to the folder.
    if (watcher_ == nullptr && !devices_.device_folder.isEmpty()) {
      watcher_ = new QFileSystemWatcher(this);
      connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &SdlPad::StartForPads);
      watcher_->addPath(devices_.device_folder);
    }
    return;
  }
  if (watcher_ != nullptr) {
    // From here SDL follows the devices itself. Possibly inside the
    // watcher's own signal: deleted once that is done.
    watcher_->deleteLater();
    watcher_ = nullptr;
  }
  Start();
  if (sdl_) {
    timer_.start();
  }
}

void SdlPad::Start() {
  if (tried_) {
    return;
  }
  tried_ = true;
  auto sdl = std::make_unique<Sdl>();
  if (!sdl->Load()) {
    return;  // no SDL on this machine: no pad, the rest as before
  }
  // SDL would otherwise turn SIGINT and SIGTERM into events of its own
  // that nothing reads: the launcher would no longer end on them.
  sdl->SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  if (sdl->InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
    return;
  }
  sdl_ = std::move(sdl);
}

bool SdlPad::Started() const {
  return sdl_ != nullptr;
}

int SdlPad::PadCount() const {
  return sdl_ ? static_cast<int>(sdl_->pads.size()) : 0;
}

void SdlPad::Poll() {
  if (!sdl_) {
    return;
  }
  window::PadState state;
  SDL_Event event;
  while (sdl_->PollEvent(&event) != 0) {
    if (event.type == SDL_CONTROLLERDEVICEADDED) {
      // Pads already there when SDL started come this way too.
      if (SDL_GameController* pad = sdl_->Open(event.cdevice.which)) {
        if (std::find(sdl_->pads.begin(), sdl_->pads.end(), pad) == sdl_->pads.end()) {
          sdl_->pads.push_back(pad);
        } else {
          sdl_->Close(pad);  // opened twice: SDL counts the opens
        }
      }
    } else if (event.type == SDL_CONTROLLERDEVICEREMOVED) {
      SDL_GameController* pad = sdl_->FromInstance(event.cdevice.which);
      const auto found = std::find(sdl_->pads.begin(), sdl_->pads.end(), pad);
      if (found != sdl_->pads.end()) {
        sdl_->Close(pad);
        sdl_->pads.erase(found);
      }
    } else if (event.type == SDL_CONTROLLERBUTTONDOWN) {
      Latch(state, event.cbutton.button);
    }
  }
  for (SDL_GameController* pad : sdl_->pads) {
    state.Merge(sdl_->Read(pad));
  }
  for (const window::PadAction action : reader_.Read(state, clock_())) {
    sink_(action);
  }
}

}  // namespace zephran::ui
