#!/usr/bin/env bash
# End-to-end tests of the Linux program: the real launcher on a private X
# server (Xvfb), driven with xdotool by keys and by clicks at the controls'
# pixel positions, through the scenarios of scenarios.txt, each in a game
# installation made for it. What the stand-in game was started with and the
# settings file's bytes afterwards are the verdict.
#
# usage: e2e_test.sh LAUNCHER SAMPLE_DIR [SCENARIO...]
set -uo pipefail

launcher=$1
sample=$2
shift 2
only=("$@")
here=$(dirname "$0")

program=linux
stand_in=$sample/standin-game
report_name=launch-report.txt
export ZEPHRAN_STANDIN_QUIET=1
work=$(mktemp -d)
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
launcher_pid=""

. "$here/../../scripts/lib/x_server.sh"
. "$here/x_driver.sh"

cleanup() {
  [ -n "$launcher_pid" ] && kill "$launcher_pid" 2>/dev/null
  stop_x_server
  rm -rf "$work"
}
trap cleanup EXIT

# start_launcher DIR: starts the copy of the launcher in DIR.
start_launcher() {
  cp "$launcher" "$1/zephran-loader"
  QT_SCALE_FACTOR=$scale "$1/zephran-loader" >"$work/launcher.log" 2>&1 &
  launcher_pid=$!
}

# The stand-in writes its report as it goes; the settings come last.
report_of() {
  for _ in $(seq 100); do
    [ -s "$1/$report_name" ] && grep -q '^settings:' "$1/$report_name" && break
    sleep 0.1
  done
  grep -q '^settings:' "$1/$report_name" 2>/dev/null || {
    echo "the game was not started (no report in $1)" >&2
    return 1
  }
  sed -n '1,/^folder/p' "$1/$report_name"
}

expected_report() {
  local folder=$1 argument
  echo "program: $2"
  for argument in "${@:3}"; do
    echo "argument: $argument"
  done
  echo "folder: $folder"
}

# Every byte the launcher does not change stays as it was.
as_written() {
  cat
}

folder_name() {
  printf '%s' "$1"
}

# What a terminal shows, row by row: the folder the launcher is copied into
# (the installed launcher has zephran-loader-setup beside it), its arguments,
# and a line of its output. --help and --version are answered without a
# display; a missing game is told beside its message box, with the folder's
# name escaped where a terminal would misread it.
check_terminal() {
  local odd=$work/terminal/$'odd\033[1m\xff' row folder arguments expected output
  local rows=(
    "$work/terminal/help|--help|Keys: Ctrl+N starts a new game, Ctrl+L loads the chosen save, F1 opens the"
    "$work/terminal/version|--version|zephran-loader (Zephran Loader+) $(sed -n 's/^project([^ ]* VERSION \([0-9.]*\).*/\1/p' "$here/../../CMakeLists.txt")"
    "$odd||  $work/terminal/odd\\x1b[1m\\xff/zp/"
    "$work/terminal/installed||  zephran-loader-setup FOLDER"
  )
  for row in "${rows[@]}"; do
    IFS='|' read -r folder arguments expected <<<"$row"
    mkdir -p "$folder"
    [[ $folder == */installed ]] && touch "$folder/zephran-loader-setup"
    if [ -n "$arguments" ]; then
      cp "$launcher" "$folder/zephran-loader"
      output=$(env -u DISPLAY -u WAYLAND_DISPLAY timeout 10 "$folder/zephran-loader" "$arguments" 2>&1) ||
        {
          echo "$arguments ended with a failure: $output" >&2
          return 1
        }
    else
      start_launcher "$folder"
      dismiss "Bad directory !" || return 1
      close_launcher
      output=$(cat "$work/launcher.log")
    fi
    grep -qxF -- "$expected" <<<"$output" || {
      echo "no line ${expected@Q} in:" >&2
      echo "$output" >&2
      return 1
    }
  done
}

# What a screen reader gets: atspi_client.py starts the launcher and asks and
# drives it through AT-SPI, on a private session bus that starts the
# accessibility bus and its registry on demand, as on a desktop; a stand-in
# for the desktop's read-me viewer notes each file it is asked to open.
check_screen_reader() {
  local top=$work/a11y game=$work/a11y/game exe
  mkdir -p "$game" "$top/bin" "$top/home"
  cp "$sample/zephran.ini" "$sample/readme.txt" "$game/" && cp "$launcher" "$game/zephran-loader"
  for exe in ZP1.EXE ZP2.EXE ZP3.EXE; do
    cp "$stand_in" "$game/$exe"
  done
  printf '#!/bin/sh\nprintf "%%s\\n" "$1" >> "%s/opened"\n' "$top" >"$top/bin/xdg-open"
  chmod +x "$top/bin/xdg-open"
  env -u DBUS_SESSION_BUS_ADDRESS -u AT_SPI_BUS_ADDRESS HOME="$top/home" \
    XDG_CONFIG_HOME="$top/home/.config" PATH="$top/bin:$PATH" \
    dbus-run-session -- /usr/bin/python3 "$here/atspi_client.py" "$game" "$top"
}

start_x_server || exit 1
export QT_QPA_PLATFORM=xcb
run_scenarios "e2e"
