#!/usr/bin/env bash
# System libraries come from the system folder only: stand-ins of comctl32,
# oleacc, ole32 and uxtheme planted in the game's folder, with Wine told to
# prefer a library it finds over its own (as Windows does for libraries it
# does not protect), must never be loaded by the launcher, which still gives
# its tooltips and screen-reader answers. Each stand-in leaves a mark beside
# itself when loaded.
#
# usage: planted_libraries_test.sh LAUNCHER CHECKER PLANTED_DLL SAMPLE_DIR WINE PREFIX
# Uses $DISPLAY when set, otherwise starts an Xvfb of its own.
set -uo pipefail

launcher=$(realpath "$1")
checker=$(realpath "$2")
planted=$(realpath "$3")
sample=$(realpath "$4")
wine=$5
export WINEPREFIX=$(realpath "$6")
export WINEDEBUG=-all
work=$(mktemp -d)
. "$(dirname "$0")/../../scripts/lib/x_server.sh"
cleanup() {
  stop_x_server
  rm -rf "$work"
}
trap cleanup EXIT

[ -n "${DISPLAY:-}" ] || start_x_server || exit 1

windows_path() {
  printf 'Z:%s' "$1" | tr / '\\'
}

game=$work/game
mkdir -p "$game"
cp "$sample/zephran.ini" "$game/"
cp "$launcher" "$game/zephran-loader.exe"
for exe in ZP1.EXE ZP2.EXE ZP3.EXE; do
  : > "$game/$exe"
done
libraries=(comctl32 oleacc ole32 uxtheme)
for library in "${libraries[@]}"; do
  cp "$planted" "$game/$library.dll"
done
overrides="mscoree,mshtml=;$(IFS=,; echo "${libraries[*]}")=n,b"

failed=0
# The stand-ins do leave their mark when loaded: otherwise their absence
# below would prove nothing.
(cd "$work" && WINEDLLOVERRIDES=$overrides "$wine" "$checker" --load "$(windows_path "$game/oleacc.dll")")
if [ ! -e "$game/oleacc.dll.loaded" ]; then
  echo "FAIL: a stand-in loaded by its path left no mark" >&2
  failed=1
fi
rm -f "$game"/*.loaded

if ! (cd "$work" && WINEDLLOVERRIDES=$overrides "$wine" "$checker" "$(windows_path "$game/zephran-loader.exe")"); then
  echo "FAIL: the launcher lost its tooltips or its screen-reader answers" >&2
  failed=1
fi
for library in "${libraries[@]}"; do
  if [ -e "$game/$library.dll.loaded" ]; then
    echo "FAIL: the launcher loaded the $library.dll planted in the game's folder" >&2
    failed=1
  fi
done
[ $failed -eq 0 ] && echo "planted libraries: none loaded, tooltips and screen readers answer"
exit $failed
