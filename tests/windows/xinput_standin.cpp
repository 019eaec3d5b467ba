// A stand-in for XInput, put into a Wine prefix's system folder under
// XInput's names: slot 0 holds a pad that plays a script, one step a read
// of the slot, each step followed by a read with nothing held, so that no
// step lasts long enough to repeat however slowly the reads come. The
// other slots are empty.
//
// The script is the file ZEPHRAN_PAD_SCRIPT names: words apart by blanks,
// each one step: up, down, left, right (the directional pad), a, b, stick-up,
// stick-down, stick-left, stick-right (the left stick pushed all the way),
// idle (nothing). A test adds steps to it as it goes: once every step known
// is played, each read looks at the file again, and holds nothing until
// there is more. After each step played, and when the program ends, the
// file ZEPHRAN_PAD_LOG names holds one line: this library's own path, the
// reads of slot 0, the reads of empty slots and the steps played.
#include "platform/windows_api.h"

#include <xinput.h>

#include <string>
#include <vector>

namespace {

HMODULE self = nullptr;
std::vector<std::string> steps;
std::size_t played = 0;
bool release_next = false;
std::size_t reads = 0;
std::size_t empty_reads = 0;

std::wstring Environment(const wchar_t* name) {
  wchar_t value[MAX_PATH] = {};
  const DWORD length = ::GetEnvironmentVariableW(name, value, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::wstring(value, length) : std::wstring();
}

// The script's steps, those already known included.
void ReadScript() {
  HANDLE file =
      ::CreateFileW(Environment(L"ZEPHRAN_PAD_SCRIPT").c_str(), GENERIC_READ,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return;
  }
  std::string text(4096, '\0');
  DWORD got = 0;
  ::ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &got, nullptr);
  ::CloseHandle(file);
  text.resize(got);
  // A word the test is still writing ends at a blank yet to come.
  while (!text.empty() && text.back() != ' ' && text.back() != '\n') {
    text.pop_back();
  }
  steps.clear();
  std::string word;
  for (const char c : text) {
    if (c == ' ' || c == '\n' || c == '\r' || c == '\t') {
      if (!word.empty()) {
        steps.push_back(word);
      }
      word.clear();
    } else {
      word += c;
    }
  }
}

void Play(const std::string& step, XINPUT_GAMEPAD& pad) {
  const struct {
    const char* word;
    WORD button;
  } buttons[] = {{"up", XINPUT_GAMEPAD_DPAD_UP},
                 {"down", XINPUT_GAMEPAD_DPAD_DOWN},
                 {"left", XINPUT_GAMEPAD_DPAD_LEFT},
                 {"right", XINPUT_GAMEPAD_DPAD_RIGHT},
                 {"a", XINPUT_GAMEPAD_A},
                 {"b", XINPUT_GAMEPAD_B}};
  for (const auto& button : buttons) {
    if (step == button.word) {
      pad.wButtons = button.button;
    }
  }
  // Up is positive in XInput.
  if (step == "stick-up") {
    pad.sThumbLY = 32767;
  } else if (step == "stick-down") {
    pad.sThumbLY = -32768;
  } else if (step == "stick-left") {
    pad.sThumbLX = -32768;
  } else if (step == "stick-right") {
    pad.sThumbLX = 32767;
  }
}

void WriteLog() {
  const std::wstring log = Environment(L"ZEPHRAN_PAD_LOG");
  if (log.empty()) {
    return;
  }
  wchar_t path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameW(self, path, MAX_PATH);
  std::string line;
  for (DWORD i = 0; i < length; ++i) {
    line += path[i] < 0x80 ? static_cast<char>(path[i]) : '?';
  }
  line += ' ' + std::to_string(reads) + ' ' + std::to_string(empty_reads) + ' ' +
          std::to_string(played) + '\n';
  // Whole or not at all for a test reading it meanwhile.
  const std::wstring part = log + L".part";
  HANDLE file = ::CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(file);
    ::MoveFileExW(part.c_str(), log.c_str(), MOVEFILE_REPLACE_EXISTING);
  }
}

}  // namespace

extern "C" __declspec(dllexport) DWORD WINAPI XInputGetState(DWORD slot, XINPUT_STATE* state) {
  if (slot != 0) {
    ++empty_reads;
    return ERROR_DEVICE_NOT_CONNECTED;
  }
  *state = XINPUT_STATE{};
  state->dwPacketNumber = static_cast<DWORD>(reads + 1);
  ++reads;
  if (release_next) {
    release_next = false;
    return ERROR_SUCCESS;
  }
  if (played == steps.size()) {
    ReadScript();
  }
  if (played < steps.size()) {
    Play(steps[played], state->Gamepad);
    ++played;
    release_next = true;
    WriteLog();
  }
  return ERROR_SUCCESS;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
  if (reason == DLL_PROCESS_ATTACH) {
    self = instance;
  } else if (reason == DLL_PROCESS_DETACH) {
    WriteLog();
  }
  return TRUE;
}
