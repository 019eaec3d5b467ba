// Times a window program from the outside, as the X server sees it.
//
//   window_probe start TITLE PROGRAM [ARGUMENT...]
//     Starts PROGRAM and waits for its top-level window titled TITLE to be
//     mapped and then drawn; gives it the input focus, as a window manager
//     would (the launcher starts its gamepad library once it is active),
//     reads its resident memory 2 s after exec, closes it as a window
//     manager's close button would, and waits for the program to end. Prints
//       mapped_ms=<exec to mapped> drawn_ms=<exec to first drawing>
//       rss_2s_kb=<resident memory 2 s after exec> sdl=<1: SDL was loaded then>
//       peak_rss_kb=<peak resident memory> exit=<status>
//
//   window_probe click TITLE X Y GAME_FOLDER PROGRAM [ARGUMENT...]
//     Starts PROGRAM, waits for the window, lets it settle, moves the pointer
//     to (X, Y) of the window and clicks there. A game started by the click
//     notes its first moment in GAME_FOLDER/game-started.txt. Prints
//       mapped_ms=... drawn_ms=... click_to_game_ms=<click to game running>
//       click_to_hidden_ms=<click to window unmapped> click_to_gone_ms=<click to launcher ended>
//       exit=<status>
//
// The probe listens on the root window for the creation and mapping of its
// children (SubstructureNotify), so "mapped" is the moment the server maps the
// window, without a window manager or a polling delay in between. Every new
// top-level window also gets a DAMAGE object, whose first report is the
// moment the program first puts pixels into it: "drawn", what a person sees.
// The time starts just before the fork. The click goes through XTest, as a
// real mouse would, and its time is taken just before the button press is
// sent. The two extensions are spoken through xcb's raw request interface, as
// the machines this runs on need not have their client libraries.
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xcbext.h>
#include <xcb/xproto.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace zephran::bench {
namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::duration<double, std::milli>;

// Long enough for the window to be painted and to take input on a busy
// machine; the launcher does nothing after start-up that this would hide.
constexpr auto kSettle = std::chrono::milliseconds(700);
constexpr auto kMemoryAt = std::chrono::seconds(2);
constexpr auto kHover = std::chrono::milliseconds(150);
constexpr auto kTimeout = std::chrono::seconds(20);

constexpr std::string_view kStartedFile = "game-started.txt";

// The XTest FakeInput request; libxcb-xtest is not needed for one request.
struct FakeInputRequest {
  std::uint8_t major_opcode = 0;  // filled in by xcb
  std::uint8_t minor_opcode = 0;  // filled in by xcb
  std::uint16_t length = 0;       // filled in by xcb
  std::uint8_t type = 0;
  std::uint8_t detail = 0;
  std::uint16_t pad0 = 0;
  std::uint32_t time = 0;  // a delay in milliseconds; 0 for at once
  std::uint32_t root = 0;
  std::uint32_t pad1[2] = {0, 0};
  std::int16_t root_x = 0;
  std::int16_t root_y = 0;
  std::uint32_t pad2 = 0;
  std::uint16_t pad3 = 0;
  std::uint8_t pad4 = 0;
  std::uint8_t device_id = 0;
};
static_assert(sizeof(FakeInputRequest) == 36);
constexpr std::uint8_t kFakeInput = 2;

struct DamageQueryVersionRequest {
  std::uint8_t major_opcode = 0;
  std::uint8_t minor_opcode = 0;
  std::uint16_t length = 0;
  std::uint32_t client_major = 1;
  std::uint32_t client_minor = 1;
};
static_assert(sizeof(DamageQueryVersionRequest) == 12);
constexpr std::uint8_t kDamageQueryVersion = 0;

struct DamageCreateRequest {
  std::uint8_t major_opcode = 0;
  std::uint8_t minor_opcode = 0;
  std::uint16_t length = 0;
  std::uint32_t damage = 0;
  std::uint32_t drawable = 0;
  std::uint8_t level = 3;  // NonEmpty: one report, when the first pixels land
  std::uint8_t pad[3] = {0, 0, 0};
};
static_assert(sizeof(DamageCreateRequest) == 16);
constexpr std::uint8_t kDamageCreate = 1;

// The start of DamageNotify; the drawable is all the probe reads of it.
struct DamageNotifyEvent {
  std::uint8_t response_type = 0;
  std::uint8_t level = 0;
  std::uint16_t sequence = 0;
  std::uint32_t drawable = 0;
};

xcb_extension_t xtest_extension{"XTEST", 0};
xcb_extension_t damage_extension{"DAMAGE", 0};

// When the program's window appeared, as seen from the probe.
struct Appearance {
  xcb_window_t window = 0;
  Clock::time_point mapped{};
  Clock::time_point drawn{};
};

double RealtimeMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Thrown rather than exiting, so that a program under observation is ended
// on the way out.
[[noreturn]] void Fail(const std::string& message) {
  throw std::runtime_error(message);
}

// A program under observation; it is ended when the probe gives up.
class Child {
 public:
  explicit Child(char** argv) {
    pid_ = ::fork();
    if (pid_ < 0) {
      Fail("cannot fork");
    }
    if (pid_ == 0) {
      ::execvp(argv[0], argv);
      std::perror(argv[0]);
      ::_exit(127);
    }
  }
  ~Child() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // True once the program has ended; its status and peak memory are kept.
  bool Ended(bool wait) {
    if (pid_ <= 0) {
      return true;
    }
    int status = 0;
    rusage usage{};
    const pid_t done = ::wait4(pid_, &status, wait ? 0 : WNOHANG, &usage);
    if (done != pid_) {
      return false;
    }
    pid_ = 0;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    peak_rss_kb_ = usage.ru_maxrss;
    return true;
  }

  // Waits up to `timeout`; false when the program is still running then.
  bool WaitEnd(Clock::duration timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    while (!Ended(false)) {
      if (Clock::now() > deadline) {
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }

  int Status() const { return status_; }
  long PeakRssKb() const { return peak_rss_kb_; }

  // Resident memory now, and whether SDL is loaded, from /proc.
  long RssKb() const {
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.starts_with("VmRSS:")) {
        return std::atol(line.c_str() + 6);
      }
    }
    return 0;
  }
  bool Maps(std::string_view library) const {
    std::ifstream maps("/proc/" + std::to_string(pid_) + "/maps");
    std::string line;
    while (std::getline(maps, line)) {
      if (line.find(library) != std::string::npos) {
        return true;
      }
    }
    return false;
  }

 private:
  pid_t pid_ = -1;
  int status_ = -1;
  long peak_rss_kb_ = 0;
};

class Display {
 public:
  Display() {
    int screen_number = 0;
    connection_ = xcb_connect(nullptr, &screen_number);
    if (xcb_connection_has_error(connection_) != 0) {
      Fail("cannot connect to the X server (is DISPLAY set?)");
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screen_number; ++i) {
      xcb_screen_next(&screens);
    }
    root_ = screens.data->root;
    net_wm_name_ = Atom("_NET_WM_NAME");
    wm_protocols_ = Atom("WM_PROTOCOLS");
    wm_delete_window_ = Atom("WM_DELETE_WINDOW");
    // Before the program starts, so that no mapping can be missed.
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_generic_error_t* error = xcb_request_check(
        connection_,
        xcb_change_window_attributes_checked(connection_, root_, XCB_CW_EVENT_MASK, &mask));
    if (error != nullptr) {
      std::free(error);
      Fail("cannot watch the root window");
    }
    StartDamage();
  }
  ~Display() { xcb_disconnect(connection_); }
  Display(const Display&) = delete;
  Display& operator=(const Display&) = delete;

  // The window titled `title` once it is mapped and drawn.
  std::optional<Appearance> WaitDrawn(std::string_view title, Child& child) {
    const Clock::time_point deadline = Clock::now() + kTimeout;
    std::map<xcb_window_t, Clock::time_point> drawn;
    std::optional<Appearance> found;
    while (Clock::now() < deadline) {
      while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        const Clock::time_point seen = Clock::now();
        const std::uint8_t type = event->response_type & 0x7F;
        if (type == XCB_CREATE_NOTIFY) {
          Watch(reinterpret_cast<xcb_create_notify_event_t*>(event)->window);
        } else if (type == damage_first_event_) {
          drawn.try_emplace(reinterpret_cast<DamageNotifyEvent*>(event)->drawable, seen);
        } else if (type == XCB_MAP_NOTIFY && !found) {
          const xcb_window_t window = reinterpret_cast<xcb_map_notify_event_t*>(event)->window;
          if (TitleOf(window) == title) {
            found = Appearance{window, seen, {}};
          }
        }
        std::free(event);
        if (found && drawn.contains(found->window)) {
          found->drawn = drawn[found->window];
          return found;
        }
      }
      if (xcb_connection_has_error(connection_) != 0) {
        Fail("lost the X server");
      }
      if (child.Ended(false)) {
        return std::nullopt;
      }
      pollfd descriptor{xcb_get_file_descriptor(connection_), POLLIN, 0};
      ::poll(&descriptor, 1, 20);
    }
    return std::nullopt;
  }

  // CLOCK_REALTIME in milliseconds when `window` goes off the screen.
  std::optional<double> WaitUnmapped(xcb_window_t window) {
    const Clock::time_point deadline = Clock::now() + kTimeout;
    while (Clock::now() < deadline) {
      while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        const std::uint8_t type = event->response_type & 0x7F;
        const bool gone = (type == XCB_UNMAP_NOTIFY &&
                           reinterpret_cast<xcb_unmap_notify_event_t*>(event)->window == window) ||
                          (type == XCB_DESTROY_NOTIFY &&
                           reinterpret_cast<xcb_destroy_notify_event_t*>(event)->window == window);
        std::free(event);
        if (gone) {
          return RealtimeMilliseconds();
        }
      }
      if (xcb_connection_has_error(connection_) != 0) {
        return RealtimeMilliseconds();  // the server dropped it with its client
      }
      pollfd descriptor{xcb_get_file_descriptor(connection_), POLLIN, 0};
      ::poll(&descriptor, 1, 20);
    }
    return std::nullopt;
  }

  // Lets time pass while reading what the server sends, so that it never
  // waits on us.
  void Idle(Clock::duration how_long) {
    const Clock::time_point until = Clock::now() + how_long;
    while (Clock::now() < until) {
      while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
        std::free(event);
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
      pollfd descriptor{xcb_get_file_descriptor(connection_), POLLIN, 0};
      ::poll(&descriptor, 1, static_cast<int>(std::max<long>(left.count(), 0)) + 1);
    }
  }

  // What a window manager does for a window it shows.
  void Focus(xcb_window_t window) {
    xcb_set_input_focus(connection_, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    xcb_flush(connection_);
  }

  // What a window manager sends when its close button is clicked.
  void Close(xcb_window_t window) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = wm_protocols_;
    message.data.data32[0] = wm_delete_window_;
    message.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection_, 0, window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection_);
  }

  std::pair<int, int> Origin(xcb_window_t window) {
    xcb_translate_coordinates_reply_t* reply = xcb_translate_coordinates_reply(
        connection_, xcb_translate_coordinates(connection_, window, root_, 0, 0), nullptr);
    if (reply == nullptr) {
      Fail("the window went away");
    }
    const std::pair origin{static_cast<int>(reply->dst_x), static_cast<int>(reply->dst_y)};
    std::free(reply);
    return origin;
  }

  void RequireXTest() {
    const xcb_query_extension_reply_t* xtest =
        xcb_get_extension_data(connection_, &xtest_extension);
    if (xtest == nullptr || xtest->present == 0) {
      Fail("the X server has no XTEST extension");
    }
  }

  void MovePointer(int x, int y) {
    FakeInputRequest request;
    request.type = XCB_MOTION_NOTIFY;
    request.root = root_;
    request.root_x = static_cast<std::int16_t>(x);
    request.root_y = static_cast<std::int16_t>(y);
    Send(request);
    xcb_flush(connection_);
  }

  // Left button down and up, sent together.
  void Click() {
    FakeInputRequest request;
    request.detail = 1;
    request.type = XCB_BUTTON_PRESS;
    Send(request);
    request.type = XCB_BUTTON_RELEASE;
    Send(request);
    xcb_flush(connection_);
  }

 private:
  xcb_atom_t Atom(const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection_, xcb_intern_atom(connection_, 0, std::strlen(name), name), nullptr);
    if (reply == nullptr) {
      Fail(std::string("cannot intern ") + name);
    }
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
  }

  std::string Property(xcb_window_t window, xcb_atom_t property) {
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection_,
        xcb_get_property(connection_, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
        nullptr);
    if (reply == nullptr) {
      return {};
    }
    std::string value(static_cast<const char*>(xcb_get_property_value(reply)),
                      static_cast<std::size_t>(xcb_get_property_value_length(reply)));
    std::free(reply);
    return value;
  }

  std::string TitleOf(xcb_window_t window) {
    std::string title = Property(window, net_wm_name_);
    return title.empty() ? Property(window, XCB_ATOM_WM_NAME) : title;
  }

  // One extension request; xcb fills in the opcodes and the length.
  unsigned SendRaw(xcb_extension_t& extension, std::uint8_t minor, void* request, std::size_t size,
                   bool has_reply) {
    iovec parts[3] = {};
    parts[2].iov_base = request;
    parts[2].iov_len = size;
    const xcb_protocol_request_t kind{1, &extension, minor,
                                      static_cast<std::uint8_t>(has_reply ? 0 : 1)};
    return xcb_send_request(connection_, has_reply ? XCB_REQUEST_CHECKED : 0, parts + 2, &kind);
  }

  void Send(FakeInputRequest& request) {
    SendRaw(xtest_extension, kFakeInput, &request, sizeof request, false);
  }

  void StartDamage() {
    const xcb_query_extension_reply_t* damage =
        xcb_get_extension_data(connection_, &damage_extension);
    if (damage == nullptr || damage->present == 0) {
      Fail("the X server has no DAMAGE extension");
    }
    damage_first_event_ = damage->first_event;
    // The server ignores the extension until the client has said which
    // version it speaks.
    DamageQueryVersionRequest request;
    const unsigned sequence =
        SendRaw(damage_extension, kDamageQueryVersion, &request, sizeof request, true);
    xcb_generic_error_t* error = nullptr;
    void* reply = xcb_wait_for_reply(connection_, sequence, &error);
    std::free(reply);
    if (error != nullptr) {
      std::free(error);
      Fail("the DAMAGE extension refused to talk");
    }
  }

  // Asks to hear when anything is first drawn into `window`. Windows that
  // vanish before the request arrives only cause an error event, ignored.
  void Watch(xcb_window_t window) {
    DamageCreateRequest request;
    request.damage = xcb_generate_id(connection_);
    request.drawable = window;
    SendRaw(damage_extension, kDamageCreate, &request, sizeof request, false);
    xcb_flush(connection_);
  }

  xcb_connection_t* connection_ = nullptr;
  xcb_window_t root_ = 0;
  xcb_atom_t net_wm_name_ = 0;
  xcb_atom_t wm_protocols_ = 0;
  xcb_atom_t wm_delete_window_ = 0;
  std::uint8_t damage_first_event_ = 0;
};

// The game's first moment, from the file it writes as it starts.
std::optional<double> WaitGameStart(const std::string& folder, int watch_descriptor) {
  const Clock::time_point deadline = Clock::now() + kTimeout;
  const std::string path = folder + "/" + std::string(kStartedFile);
  while (Clock::now() < deadline) {
    std::ifstream in(path);
    long long seconds = 0;
    long nanoseconds = 0;
    if (in >> seconds >> nanoseconds) {
      return static_cast<double>(seconds) * 1e3 + static_cast<double>(nanoseconds) / 1e6;
    }
    pollfd descriptor{watch_descriptor, POLLIN, 0};
    if (::poll(&descriptor, 1, 50) > 0) {
      char events[4096];
      if (::read(watch_descriptor, events, sizeof events) < 0) {
        // Only a wake-up; the file is looked at again above.
      }
    }
  }
  return std::nullopt;
}

double Since(Clock::time_point start, Clock::time_point moment) {
  return Milliseconds(moment - start).count();
}

int Start(std::string_view title, char** program) {
  Display display;
  const Clock::time_point started = Clock::now();
  Child child(program);
  const std::optional<Appearance> shown = display.WaitDrawn(title, child);
  if (!shown) {
    Fail("no window titled \"" + std::string(title) + "\" appeared");
  }
  display.Focus(shown->window);
  display.Idle(std::max<Clock::duration>(kSettle, started + kMemoryAt - Clock::now()));
  const long rss_kb = child.RssKb();
  const bool sdl = child.Maps("libSDL2");
  display.Close(shown->window);
  if (!child.WaitEnd(std::chrono::seconds(10))) {
    Fail("the program did not end when its window was closed");
  }
  std::printf("mapped_ms=%.3f drawn_ms=%.3f rss_2s_kb=%ld sdl=%d peak_rss_kb=%ld exit=%d\n",
              Since(started, shown->mapped), Since(started, shown->drawn), rss_kb, sdl ? 1 : 0,
              child.PeakRssKb(), child.Status());
  return 0;
}

int ClickAndWaitForGame(std::string_view title, int x, int y, const std::string& game_folder,
                        char** program) {
  Display display;
  display.RequireXTest();
  const std::string started_file = game_folder + "/" + std::string(kStartedFile);
  std::remove(started_file.c_str());
  const int watch = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  if (watch < 0 || ::inotify_add_watch(watch, game_folder.c_str(), IN_MOVED_TO) < 0) {
    Fail("cannot watch " + game_folder);
  }

  const Clock::time_point started = Clock::now();
  Child child(program);
  const std::optional<Appearance> shown = display.WaitDrawn(title, child);
  if (!shown) {
    Fail("no window titled \"" + std::string(title) + "\" appeared");
  }
  display.Idle(kSettle);
  const auto [left, top] = display.Origin(shown->window);
  display.MovePointer(left + x, top + y);
  display.Idle(kHover);

  const double clicked = RealtimeMilliseconds();
  display.Click();
  // The game's start time comes from its own file, so it may be read after.
  const std::optional<double> unmapped = display.WaitUnmapped(shown->window);
  const std::optional<double> game_started = WaitGameStart(game_folder, watch);
  ::close(watch);
  if (!game_started) {
    Fail("no game started after the click");
  }
  if (!child.WaitEnd(std::chrono::seconds(10))) {
    Fail("the program did not end after starting the game");
  }
  const double ended = RealtimeMilliseconds();
  std::printf(
      "mapped_ms=%.3f drawn_ms=%.3f click_to_game_ms=%.3f click_to_hidden_ms=%.3f "
      "click_to_gone_ms=%.3f exit=%d\n",
      Since(started, shown->mapped), Since(started, shown->drawn), *game_started - clicked,
      unmapped ? *unmapped - clicked : -1.0, ended - clicked, child.Status());
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: window_probe start TITLE PROGRAM [ARGUMENT...]\n"
               "       window_probe click TITLE X Y GAME_FOLDER PROGRAM [ARGUMENT...]\n");
  return 2;
}

}  // namespace
}  // namespace zephran::bench

int main(int argc, char* argv[]) {
  using namespace zephran::bench;
  const std::vector<std::string_view> arguments(argv, argv + argc);
  try {
    if (argc >= 4 && arguments[1] == "start") {
      return Start(arguments[2], argv + 3);
    }
    if (argc >= 7 && arguments[1] == "click") {
      return ClickAndWaitForGame(arguments[2], std::atoi(argv[3]), std::atoi(argv[4]), argv[5],
                                 argv + 6);
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "window_probe: %s\n", error.what());
    return 1;
  }
  return Usage();
}
