#!/usr/bin/env bash
# The Windows program's save on file systems that refuse it, under Wine: a
# 64 KiB file system left with 0 to 3 free pages (no room for the copy; room
# for the copy but not for the system's writer, which then cuts it and says
# nothing; room enough), and a read-only mount. The file ends whole with the
# new values, or untouched with a reason; nothing is left beside it; on the
# read-only mount a file that already holds the values is no failure.
#
# usage: save_faults_test.sh SAVE_TOOL WINE PREFIX
# Needs a private mount namespace (root; CI runs as root): fails without.
set -euo pipefail

tool=$(realpath "$1")
wine=$2
export WINEPREFIX=$(realpath "$3") WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8

if [ "${SAVE_FAULTS_INSIDE:-}" != 1 ]; then
  # The Wine server opens the files: one started outside would not see the mounts.
  wineserver -w
  SAVE_FAULTS_INSIDE=1 unshare -m --propagation private bash "$0" "$@" ||
    { echo "save_faults_test: FAILED (a private mount namespace needs root)" >&2; exit 1; }
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
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# save_tool's values (the windowed launch of tests/tools/launch_writes.h).
new_values='ScreenWidth=320 ScreenHeight=240 FullScreen=0 VideoWidth=400 VideoHeight=300
  CinemaScope=1 BitsPerPixel=32 Subtitles=1'

# Other values and no subtitles' key: 8,190 bytes, which the writer makes 8,201.
settings() {
  printf '[Display]\r\nScreenWidth=640\r\nScreenHeight=480\r\nFullScreen=1\r\nVideoWidth=640\r\n'
  printf 'VideoHeight=480\r\nCinemaScope=0\r\nBitsPerPixel=16\r\nPad=%s\r\n' "$(printf '%2140s' | tr ' ' x)"
  for i in $(seq 300); do printf 'Extra%03d=value-%d\r\n' "$i" "$i"; done
  printf '\r\n[Audio]\r\nMusicVolume=80\r\n'
}

# Saves FILE; sets $said to "saved" or "refused: <reason>".
save() {
  # The tool's answer is its standard output; Wine's own processes may say
  # things on standard error (a service of its own failing on the full
  # disk), which are shown but are not the answer. A crash of the tool
  # leaves no answer and fails the case.
  said=$("$wine" "$tool" "Z:${1//\//\\}" 2>"$work/wine-errors" | tr -d '\r') || true
  [ -s "$work/wine-errors" ] && sed 's/^/  (wine) /' "$work/wine-errors" >&2
  echo "$2: $said"
  local extra
  extra=$(find "$(dirname "$1")" -mindepth 1 ! -name zephran.ini ! -name filler)
  [ -z "$extra" ] || fail "$2: left behind: $extra"
}

refused=0
for free_pages in 0 1 2 3; do
  disk=$work/full-$free_pages case="full disk, $free_pages pages left"
  mkdir "$disk" && mount -t tmpfs -o size=64k tmpfs "$disk"
  settings | tee "$work/before" >"$disk/zephran.ini"
  dd if=/dev/zero of="$disk/filler" bs=4096 2>/dev/null || true
  truncate -s "-$((free_pages * 4096))" "$disk/filler"
  save "$disk/zephran.ini" "$case"
  if [ "$said" = saved ]; then
    for line in $new_values Extra001=value-1 Extra300=value-300 MusicVolume=80; do
      grep -q "^$line"$'\r'"\$" "$disk/zephran.ini" || fail "$case: saved without $line"
    done
  else
    refused=1
    cmp -s "$work/before" "$disk/zephran.ini" || fail "$case: refused, but the file changed"
    [[ $said == "refused: "?* ]] || fail "$case: no reason: $said"
  fi
done
[ $refused = 1 ] || fail "the full disk never refused a save"

mounted=$work/read-only
mkdir -p "$mounted" && mount -t tmpfs -o size=64k tmpfs "$mounted" && mkdir "$mounted/holds" "$mounted/differs"
settings | tee "$mounted/holds/zephran.ini" >"$mounted/differs/zephran.ini"
save "$mounted/holds/zephran.ini" "before the mount"
cp -r "$mounted" "$work/read-only-before"
mount -o remount,ro "$mounted"
save "$mounted/holds/zephran.ini" "read-only mount, nothing to change"
[ "$said" = saved ] || fail "read-only mount: nothing to change, yet $said"
save "$mounted/differs/zephran.ini" "read-only mount, a change"
[ "$said" != saved ] || fail "read-only mount: a change reported saved"
diff -r "$work/read-only-before" "$mounted" >/dev/null || fail "read-only mount: files changed"

[ $failures -eq 0 ] || { echo "save_faults_test: $failures failures" >&2; exit 1; }
echo "save_faults_test: all passed"
