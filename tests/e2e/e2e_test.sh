#!/usr/bin/env bash
# End-to-end tests: the real launcher on a real X server (Xvfb), driven with
# xdotool by keys and by clicks at the controls' pixel positions, in game
# installations made for each test. What the stand-in game was started with
# and the settings file's bytes afterwards are the verdict.
#
# usage: e2e_test.sh LAUNCHER SAMPLE_DIR [TEST_NAME...]
set -uo pipefail

launcher=$1
sample=$2
shift 2
only=("$@")

export ZEPHRAN_STANDIN_QUIET=1
work=$(mktemp -d)
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
xvfb_pid=""
launcher_pid=""

cleanup() {
  [ -n "$launcher_pid" ] && kill "$launcher_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

start_x_server() {
  local display_file=$work/display
  # -noreset: by default the server resets when its last client leaves, and a
  # launcher connecting during that reset is turned away.
  Xvfb -displayfd 5 -noreset -screen 0 1024x768x24 -nolisten tcp 5> "$display_file" 2> "$work/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$display_file" ] && break
    sleep 0.05
  done
  if [ ! -s "$display_file" ]; then
    echo "Xvfb did not start:" >&2
    cat "$work/xvfb.log" >&2
    exit 1
  fi
  export DISPLAY=":$(head -n 1 "$display_file")"
  export QT_QPA_PLATFORM=xcb
}

# --- installations ---------------------------------------------------------

# make_game DIR: a game installation with the sample settings and stand-in
# executables.
make_game() {
  mkdir -p "$1"
  cp "$sample/zephran.ini" "$1/zephran.ini"
  for exe in ZP1.EXE ZP2.EXE ZP3.EXE; do
    cp "$sample/standin-game" "$1/$exe"
  done
}

# --- driving the window --------------------------------------------------------

. "$(dirname "$0")/x_driver.sh"

# start_launcher DIR: starts the copy of the launcher in DIR.
start_launcher() {
  cp "$launcher" "$1/zephran-loader"
  "$1/zephran-loader" > "$work/launcher.log" 2>&1 &
  launcher_pid=$!
}

# report_of DIR: waits for the stand-in game's report in DIR.
wait_report() {
  for _ in $(seq 100); do
    [ -s "$1/launch-report.txt" ] && grep -q '^settings:' "$1/launch-report.txt" && return 0
    sleep 0.1
  done
  echo "the game was not started (no report in $1)" >&2
  return 1
}

# --- tests ---------------------------------------------------------------

test_new_game_writes_settings_and_starts_the_game() {
  local game=$work/new/game
  make_game "$game"
  start_launcher "$game"
  main_window || return 1
  cinema_box    # the sample has cinemascope on: now off
  subtitles_box # and subtitles on: now off
  new_game
  launcher_ended || return 1
  wait_report "$game" || return 1
  expect_equal "$(sed -n '1,/^folder/p' "$game/launch-report.txt")" \
"program: ZP2.EXE
argument: game_nextframe
folder: $game" || return 1
  expect_equal "$(od -An -c "$game/zephran.ini")" "$(printf '[Display]\r\nScreenWidth=400\r\nScreenHeight=300\r\nFullScreen=0\r\nVideoWidth=512\r\nVideoHeight=384\r\nCinemaScope=0\r\nBitsPerPixel=16\r\nGamma=4\r\n\r\n[Audio]\r\nMusicVolume=80\r\nSubtitles=0\r\n' | od -An -c)"
}

test_load_a_slot_chosen_and_started_with_the_keyboard() {
  local top=$work/load
  local game=$top/zp
  make_game "$game"
  add_save "$game" 1 "First"
  add_save "$game" 3 "Third one"
  start_launcher "$top"
  main_window || return 1
  # The focus starts on the windowed box; Tab goes on to the colour list,
  # the resolution list, then the slot list.
  keys Tab Tab Up       # resolution 400x300 -> 512x384
  keys Tab Down Down    # slot 1 -> slot 3
  keys ctrl+l           # as "Load :"
  launcher_ended || return 1
  wait_report "$game" || return 1
  expect_equal "$(sed -n '1,/^folder/p' "$game/launch-report.txt")" \
"program: ZP1.EXE
argument: load_game
argument: slot_3
folder: $game" || return 1
  grep -q $'^ScreenWidth=512\r$' "$game/zephran.ini" &&
    grep -q $'^VideoWidth=640\r$' "$game/zephran.ini" || {
    echo "settings not written:" >&2
    cat -A "$game/zephran.ini" >&2
    return 1
  }
}

test_empty_slot_refuses_and_writes_nothing() {
  local game=$work/empty/game
  make_game "$game"
  add_save "$game" 2 "Second"
  start_launcher "$game"
  main_window || return 1
  cinema_box
  load_game # slot 1 is empty
  dismiss "Caution !" || return 1
  close_launcher
  cmp -s "$sample/zephran.ini" "$game/zephran.ini" || {
    echo "the settings file was changed" >&2
    return 1
  }
  [ ! -e "$game/launch-report.txt" ] || {
    echo "a game was started" >&2
    return 1
  }
}

test_missing_installation_is_told_twice_and_nothing_starts() {
  local dir=$work/missing/nothing-here
  mkdir -p "$dir"
  cp "$sample/standin-game" "$dir/ZP1.EXE"
  start_launcher "$dir"
  dismiss "Bad directory !" || return 1
  main_window || return 1
  new_game
  dismiss "No, it's not going to work" || return 1
  load_game
  dismiss "No, it's not going to work" || return 1
  close_launcher
  [ ! -e "$dir/launch-report.txt" ] && [ ! -e "$dir/zephran.ini" ] || {
    echo "something was written or started" >&2
    return 1
  }
}

# What a terminal shows, row by row: the folder the launcher is copied into
# (the installed launcher has zephran-loader-setup beside it), its arguments,
# and a line of its output. --help and --version are answered without a
# display; a missing game is told beside its message box, with the folder's
# name escaped where a terminal would misread it.
test_the_terminal_hears_what_is_wrong() {
  local odd=$work/terminal/$'odd\033[1m\xff' row folder arguments expected output
  local rows=(
    "$work/terminal/help|--help|Keys: Ctrl+N starts a new game, Ctrl+L loads the chosen save, F1 opens the"
    "$work/terminal/version|--version|zephran-loader (Zephran Loader+) $(sed -n 's/^project([^ ]* VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")"
    "$odd||  $work/terminal/odd\\x1b[1m\\xff/zp/"
    "$work/terminal/installed||  zephran-loader-setup FOLDER"
  )
  for row in "${rows[@]}"; do
    IFS='|' read -r folder arguments expected <<< "$row"
    mkdir -p "$folder"
    [[ $folder == */installed ]] && touch "$folder/zephran-loader-setup"
    if [ -n "$arguments" ]; then
      cp "$launcher" "$folder/zephran-loader"
      output=$(env -u DISPLAY -u WAYLAND_DISPLAY timeout 10 "$folder/zephran-loader" "$arguments" 2>&1) ||
        { echo "$arguments ended with a failure: $output" >&2; return 1; }
    else
      start_launcher "$folder"
      dismiss "Bad directory !" || return 1
      close_launcher
      output=$(cat "$work/launcher.log")
    fi
    grep -qxF -- "$expected" <<< "$output" || {
      echo "no line ${expected@Q} in:" >&2
      echo "$output" >&2
      return 1
    }
  done
}

test_game_folder_with_spaces_and_quotes() {
  local game="$work/My Games/Zephran \$HOME 'quoted' \"too\""
  make_game "$game"
  start_launcher "$game"
  main_window || return 1
  new_game
  launcher_ended || return 1
  wait_report "$game" || return 1
  expect_equal "$(sed -n '3p' "$game/launch-report.txt")" "folder: $game"
}

test_wine_failing_at_once_brings_the_window_back_with_a_message() {
  local game=$work/wine/game
  make_game "$game"
  printf 'MZ' > "$game/ZP2.EXE" # a Windows program: started through $WINE
  mkdir -p "$work/bin"
  printf '#!/bin/sh\necho "wine: could not load kernel32.dll" >&2\nexit 1\n' > "$work/bin/wine"
  chmod +x "$work/bin/wine"
  WINE=$work/bin/wine start_launcher "$game"
  main_window || return 1
  new_game
  dismiss "The game could not be started" || return 1
  main_window || return 1
  kill -0 "$launcher_pid" || return 1
  close_launcher
  grep -q "could not load kernel32.dll" "$work/launcher.log" || {
    echo "Wine's words did not reach the launcher's output" >&2
    return 1
  }
}

# What a screen reader gets: atspi_client.py starts the launcher and asks and
# drives it through AT-SPI, on a private session bus that starts the
# accessibility bus and its registry on demand, as on a desktop; a stand-in
# for the desktop's read-me viewer notes each file it is asked to open.
test_a_screen_reader_hears_and_drives_the_controls() {
  local top=$work/a11y
  make_game "$top/game"
  cp "$sample/readme.txt" "$top/game/" && cp "$launcher" "$top/game/zephran-loader"
  mkdir -p "$top/bin" "$top/home"
  printf '#!/bin/sh\nprintf "%%s\\n" "$1" >> "%s/opened"\n' "$top" > "$top/bin/xdg-open"
  chmod +x "$top/bin/xdg-open"
  env -u DBUS_SESSION_BUS_ADDRESS -u AT_SPI_BUS_ADDRESS HOME="$top/home" \
    XDG_CONFIG_HOME="$top/home/.config" PATH="$top/bin:$PATH" \
    dbus-run-session -- /usr/bin/python3 "$(dirname "$0")/atspi_client.py" "$top/game" "$top"
}

# --- runner ----------------------------------------------------------------

start_x_server
run_tests "e2e"
