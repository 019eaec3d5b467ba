#!/usr/bin/env bash
# The Windows program's save on real file systems that refuse it: a small
# file system filled to the brim (at several amounts of space left) and a
# read-only mount. Each save must end with the settings file holding all of
# the new values and every other key, or its old bytes and a reason; never
# a cut file, never a leftover. On the read-only mount a file that already
# holds the values is no failure.
#
# usage: save_faults_test.sh SAVE_TOOL WINE PREFIX
# Needs root for a private mount namespace (CI runs as root); fails, never
# skips, without one.
set -euo pipefail

tool=$(realpath "$1")
wine=$2
export WINEPREFIX=$(realpath "$3")
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8

if [ "${SAVE_FAULTS_INSIDE:-}" != 1 ]; then
  # The running Wine server opens files for its programs; one started
  # outside would not see our mounts, so it must be gone first.
  wineserver -w
  if ! SAVE_FAULTS_INSIDE=1 unshare -m --propagation private bash "$0" "$@"; then
    echo "save_faults_test: FAILED (or no private mount namespace: this needs root)" >&2
    exit 1
  fi
  exit 0
fi

work=$(mktemp -d)
cleanup() {
  wineserver -w
  grep -o " $work/[^ ]*" /proc/self/mounts | xargs -r -n1 umount
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# The values save_tool writes (the windowed launch of tests/tools/launch_writes.h).
new_lines=(ScreenWidth=320 ScreenHeight=240 FullScreen=0 VideoWidth=400 VideoHeight=300
  CinemaScope=1 Subtitles=1 BitsPerPixel=32)

# Settings holding other values and keys after them, without the subtitles'
# key: 8,190 bytes, two pages, which the system's writer makes 8,201, three.
settings() {
  printf '[Display]\r\nScreenWidth=640\r\nScreenHeight=480\r\nFullScreen=1\r\n'
  printf 'VideoWidth=640\r\nVideoHeight=480\r\nCinemaScope=0\r\nBitsPerPixel=16\r\n'
  printf 'Pad=%s\r\n' "$(printf '%2140s' '' | tr ' ' x)"
  for i in $(seq 300); do printf 'Extra%03d=%s\r\n' "$i" "value-$i"; done
  printf '\r\n[Audio]\r\nMusicVolume=80\r\n'
}

windows_path() {
  local path=${1//\//\\}
  echo "Z:$path"
}

# Runs the tool on FILE; sets $saved (0/1) and $said.
save() {
  if said=$("$wine" "$tool" "$(windows_path "$1")" 2>&1); then saved=1; else saved=0; fi
  said=${said//$'\r'/}
}

no_leftovers() {
  local extra
  extra=$(find "$1" -mindepth 1 ! -name zephran.ini ! -name filler)
  [ -z "$extra" ] || fail "$2: left behind: $extra"
}

# A full file system, with 0 to 3 pages left: the copy cannot be made (0,
# 1), the system's writer runs out of room midway and says nothing (2), or
# there is room enough (3).
refused_somewhere=0
for free_pages in 0 1 2 3; do
  disk=$work/full-$free_pages
  mkdir "$disk"
  mount -t tmpfs -o size=64k tmpfs "$disk"
  settings >"$disk/zephran.ini"
  cp "$disk/zephran.ini" "$work/before"
  dd if=/dev/zero of="$disk/filler" bs=4096 2>/dev/null || true
  truncate -s "-$((free_pages * 4096))" "$disk/filler"
  save "$disk/zephran.ini"
  case=("full disk, $free_pages pages left")
  if [ "$saved" = 1 ]; then
    for line in "${new_lines[@]}"; do
      grep -q "^$line"$'\r'"\$" "$disk/zephran.ini" || fail "$case: saved without $line"
    done
    for i in 001 150 300; do
      grep -q "^Extra$i=value-" "$disk/zephran.ini" || fail "$case: saved without Extra$i"
    done
    grep -q '^MusicVolume=80' "$disk/zephran.ini" || fail "$case: saved cut"
  else
    refused_somewhere=1
    cmp -s "$work/before" "$disk/zephran.ini" || fail "$case: refused, but the file changed"
    [[ $said == "refused: "?* ]] || fail "$case: refused without a reason: $said"
  fi
  echo "$case: $said"
  no_leftovers "$disk" "$case"
done
[ $refused_somewhere = 1 ] || fail "the full disk never refused a save"

# A read-only mount: a file that already holds the values plays, a change
# is refused with the system's reason.
mounted=$work/read-only
mkdir "$mounted"
mount -t tmpfs -o size=64k tmpfs "$mounted"
mkdir "$mounted/holds" "$mounted/differs"
{
  settings | sed -e 's/ScreenWidth=640/ScreenWidth=320/; s/ScreenHeight=480/ScreenHeight=240/' \
    -e 's/FullScreen=1/FullScreen=0/; s/VideoWidth=640/VideoWidth=400/' \
    -e 's/VideoHeight=480/VideoHeight=300/; s/CinemaScope=0/CinemaScope=1/' \
    -e 's/BitsPerPixel=16/BitsPerPixel=32/'
  printf 'Subtitles=1\r\n'
} >"$mounted/holds/zephran.ini"
settings >"$mounted/differs/zephran.ini"
cp -r "$mounted" "$work/read-only-before"
mount -o remount,ro "$mounted"
save "$mounted/holds/zephran.ini"
echo "read-only mount, nothing to change: $said"
[ "$saved" = 1 ] || fail "read-only mount: nothing to change, yet refused: $said"
save "$mounted/differs/zephran.ini"
echo "read-only mount, a change: $said"
[ "$saved" = 0 ] || fail "read-only mount: a change was reported saved"
diff -r "$work/read-only-before" "$mounted" >/dev/null || fail "read-only mount: files changed"

if [ $failures -ne 0 ]; then
  echo "save_faults_test: $failures failures" >&2
  exit 1
fi
echo "save_faults_test: all passed"
