#!/usr/bin/env bash
# What a screen reader gets from the launcher: the real launcher on a private
# X server, its accessibility bridge on a private session bus with the AT-SPI
# registry, asked and driven by an AT-SPI client (atspi_client.py), with
# stand-ins for the game and for the desktop's read-me viewer.
#
# usage: accessibility_test.sh LAUNCHER SAMPLE_DIR
set -uo pipefail

launcher=$1
sample=$2
here=$(cd "$(dirname "$0")" && pwd)

work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# Nothing of this machine's desktop: own home, runtime folder and bus.
export HOME=$work/home XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/home/.config
mkdir -p "$HOME" && mkdir -m 700 "$XDG_RUNTIME_DIR"
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS

game=$work/game
mkdir -p "$game" "$work/bin"
cp "$sample/zephran.ini" "$sample/readme.txt" "$game/"
for exe in ZP1.EXE ZP2.EXE ZP3.EXE; do
  cp "$sample/standin-game" "$game/$exe"
done
cp "$launcher" "$game/zephran-loader"
export ZEPHRAN_STANDIN_QUIET=1

# The read-me viewer: notes each file it is asked to open.
printf '#!/bin/sh\nprintf "%%s\\n" "$1" >> "%s/opened"\n' "$work" > "$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
export PATH=$work/bin:$PATH

Xvfb -displayfd 5 -noreset -screen 0 1024x768x24 -nolisten tcp 5> "$work/display" 2> "$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.05
done
[ -s "$work/display" ] || { echo "Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n 1 "$work/display")" QT_QPA_PLATFORM=xcb

# The session bus starts the accessibility bus and its registry on demand,
# as on a desktop; all of it ends with the session.
dbus-run-session -- /usr/bin/python3 "$here/atspi_client.py" "$game" "$work"
