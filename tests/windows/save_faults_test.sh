#!/usr/bin/env bash
# The Windows program's save under Wine, against the real faults:
# - file systems that refuse it: a 64 KiB file system left with 0 to 3 free
#   pages (no room for the copy; room for the copy but not for the system's
#   writer, which then cuts it and says nothing; room enough), and a
#   read-only mount. The file ends whole with the new values, or untouched
#   with a reason; nothing is left beside it; on the read-only mount a file
#   that already holds the values is no failure.
# - links planted beside the file as a second user would plant them, and a
#   settings file that is itself a link: nothing outside the folder is
#   touched, the link stays a link and its target is saved.
# - kills at random moments of saves (with one rename, as under Wine, and
#   with ReplaceFileW, as on Windows) while a reader reads the file over and
#   over: the reader never finds it missing after a rename, and the next
#   start finds it whole.
# - another user's files, as Wine shows them: a dead save's marker and copy,
#   a marker naming the game, a settings file, a game and a link planted in a
#   sticky folder everyone may write: none is acted on or taken for the game's.
# - two launchers at once, two Windows ones, and the Linux one beside a
#   Windows one: each waits for the other's save lock, or is refused saying so.
#
# usage: save_faults_test.sh SAVE_TOOL WINE PREFIX
# $ZEPHRAN_LINUX_LAUNCH_WRITER names the Linux build's launch_writer, for the
# Linux-beside-Windows rows (skipped, and said so, without it).
# Needs a private mount namespace (root; CI runs as root): fails without.
set -euo pipefail

tool=$(realpath "$1")
wine=$2
export WINEPREFIX=$(realpath "$3") WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8

if [ "${SAVE_FAULTS_INSIDE:-}" != 1 ]; then
  # The Wine server opens the files: one started outside would not see the mounts.
  wineserver -w
  if [ "$(id -u)" != 0 ]; then
    echo "save_faults_test: FAILED (a private mount namespace needs root)" >&2
    exit 1
  fi
  SAVE_FAULTS_INSIDE=1 unshare -m --propagation private bash "$0" "$@"
  exit
fi

# One Wine server for the whole test: a process started while a server with
# no programs left is shutting down can fail to start at all, which the
# rows below would take for the launcher's fault.
wineserver -p
work=$(mktemp -d)
cleanup() {
  wineserver -k || true
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

# Everything in FILE's folder, with where links lead.
listing() { (cd "$(dirname "$1")" && find . -mindepth 1 -printf '%p %l\n' | sort); }

# Saves FILE with save_tool's further arguments; sets $said to "saved" or
# "refused: <reason>". Nothing may be left beside the file, nor go.
save() {
  local file=$1 case=$2 before
  shift 2
  before=$(listing "$file")
  # The tool's answer is its standard output; Wine's own processes may say
  # things on standard error (a service of its own failing on the full
  # disk), which are shown but are not the answer. A crash of the tool
  # leaves no answer and fails the case.
  said=$("$wine" "$tool" "$@" "$(windows "$file")" 2>"$work/wine-errors" | tr -d '\r') || true
  [ -s "$work/wine-errors" ] && sed 's/^/  (wine) /' "$work/wine-errors" >&2
  echo "$case: $said"
  [ "$(listing "$file")" = "$before" ] || fail "$case: the folder changed: $(listing "$file")"
}
windows() { echo "Z:${1//\//\\}"; }

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

# --- Links, planted in the folder as a second user would, pointing at one of
# the player's files elsewhere: at the fixed names earlier versions used, at
# names of the kind the save uses now (one leading nowhere), and at the
# marker's name. Nothing they lead to may change.
links=$work/links
mkdir -p "$links/game" "$links/elsewhere"
printf 'mine' >"$links/elsewhere/victim" && chmod 0444 "$links/elsewhere/victim"
settings >"$links/game/zephran.ini"
for name in zephran.ini.new~ zephran.ini.old~ zephran.ini.0000.new~ zephran.ini.ffff.old~; do
  ln -s "$links/elsewhere/victim" "$links/game/$name"
done
ln -s "$links/elsewhere/missing" "$links/game/zephran.ini.1234.new~"
save "$links/game/zephran.ini" "links planted beside it"
[ "$said" = saved ] || fail "links planted beside it: $said"
ln -s "$links/elsewhere/victim" "$links/game/zephran.ini.saving~"
save "$links/game/zephran.ini" "a link planted at the marker's name" --full-screen
[ "$said" = "refused: zephran.ini.saving~ beside it was not made by a launcher; remove it to save" ] ||
  fail "a link planted at the marker's name: $said"
[ "$(stat -c '%a %s' "$links/elsewhere/victim")" = "444 4" ] && [ "$(cat "$links/elsewhere/victim")" = mine ] ||
  fail "a planted link's target changed: $(stat -c '%a %s' "$links/elsewhere/victim")"

# A marker made up by a second user, naming links to the player's file as a
# dead save's working files, with the settings file missing as after a kill
# in ReplaceFileW: the start removes the marker and nothing it names.
mkdir "$links/made-up"
printf 'Zephran Loader+ save in progress\r\nfile=zephran.ini\r\ncopy=zephran.ini.1111.new~\r\nbackup=zephran.ini.1111.old~\r\n' \
  >"$links/made-up/zephran.ini.saving~"
ln -s "$links/elsewhere/victim" "$links/made-up/zephran.ini.1111.new~"
ln -s "$links/elsewhere/victim" "$links/made-up/zephran.ini.1111.old~"
"$wine" "$tool" --finish "$(windows "$links/made-up/zephran.ini")" 2>/dev/null
[ "$(ls "$links/made-up")" = $'zephran.ini.1111.new~\nzephran.ini.1111.old~' ] &&
  [ "$(cat "$links/elsewhere/victim")" = mine ] ||
  fail "a made-up marker: the folder holds $(ls "$links/made-up")"

# A settings file that is a link: the start's reset leaves its target alone,
# the save replaces the target and keeps the link.
mkdir "$links/linked"
settings >"$links/elsewhere/real.ini" && chmod 0444 "$links/elsewhere/real.ini"
ln -s ../elsewhere/real.ini "$links/linked/zephran.ini"
"$wine" "$tool" --reset "$(windows "$links/linked/zephran.ini")" 2>/dev/null
[ "$(stat -c %a "$links/elsewhere/real.ini")" = 444 ] || fail "the reset changed a link's target"
chmod 0644 "$links/elsewhere/real.ini"
before_target=$(listing "$links/elsewhere/real.ini")
save "$links/linked/zephran.ini" "a linked settings file"
[ "$said" = saved ] && [ "$(readlink "$links/linked/zephran.ini")" = ../elsewhere/real.ini ] &&
  grep -q $'^ScreenWidth=320\r$' "$links/elsewhere/real.ini" ||
  fail "a linked settings file: $said, link $(readlink "$links/linked/zephran.ini")"
[ "$(listing "$links/elsewhere/real.ini")" = "$before_target" ] || fail "the link's target folder changed"

# --- Another user's files, as Wine shows them: every owner but the runner
# looks alike, so only the runner's own files count.
others=$work/others
stranger=4325
mkdir -p "$others/family" "$others/open/zp" "$others/home"
chmod 0777 "$others/family" && chmod 1777 "$others/open"
settings >"$others/family/zephran.ini"
cp "$others/family/zephran.ini" "$work/family-before"
printf 'MZ the game' >"$others/family/ZP1.EXE"
plant_marker() { # FOLDER FILE OWNER: a dead in-place save's marker and copy
  printf 'Zephran Loader+ save in progress\r\nfile=%s\r\nrewriting=%s.0000.old~\r\n' "$2" "$2" \
    >"$1/zephran.ini.saving~"
  printf '[Display]\r\nScreenWidth=1\r\n' >"$1/$2.0000.old~"
  chown "$3" "$1/zephran.ini.saving~" "$1/$2.0000.old~"
}
plant_marker "$others/family" ZP1.EXE 0
"$wine" "$tool" --finish "$(windows "$others/family/zephran.ini")" 2>/dev/null
[ "$(cat "$others/family/ZP1.EXE")" = "MZ the game" ] || fail "a marker naming ZP1.EXE was followed"
rm "$others/family/"*saving~ "$others/family/"*old~
plant_marker "$others/family" zephran.ini $stranger
"$wine" "$tool" --finish "$(windows "$others/family/zephran.ini")" 2>/dev/null
save "$others/family/zephran.ini" "another user's dead save"
[ "$said" = "refused: zephran.ini.saving~ belongs to another user, whose save of zephran.ini did not finish and may have left it half written: that user's launcher can finish it (or, if no save of theirs was cut short, remove it)" ] ||
  fail "another user's dead save: $said"
cmp -s "$work/family-before" "$others/family/zephran.ini" || fail "another user's copy was put back"
# Above zp/ in a sticky folder everyone may write: a stranger's settings
# file, game and link are not the game's; the player's own in zp/ is.
settings >"$others/open/zp/zephran.ini"
printf 'alias ls=ls\n' >"$others/home/.profile" && chmod 0600 "$others/home/.profile"
settings >"$others/open/zephran.ini" && printf 'MZ' >"$others/open/ZP1.EXE"
ln -s "$others/home/.profile" "$others/open/link.ini"
chown -h $stranger "$others/open/zephran.ini" "$others/open/ZP1.EXE" "$others/open/link.ini"
found=$("$wine" "$tool" --find "$(windows "$others/open/zephran.ini")" 2>/dev/null | tr -d '\r')
[ -z "$found" ] || fail "a stranger's settings file above zp/ was found: $found"
found=$("$wine" "$tool" --find "$(windows "$others/open/zp/zephran.ini")" 2>/dev/null | tr -d '\r')
[ "$found" = zephran.ini ] || fail "the player's settings file in zp/ was not found: $found"
said=$("$wine" "$tool" --check-start "$(windows "$others/open/ZP1.EXE")" 2>/dev/null | tr -d '\r')
[[ $said == *"ZP1.EXE belongs to another user, in a folder every user may add files to"* ]] ||
  fail "a stranger's game: $said"
save "$others/open/link.ini" "a stranger's link to the player's file"
[[ $said == "refused: "*"link.ini is a link in a folder every user may add files to"* ]] ||
  fail "a stranger's link: $said"
[ "$(cat "$others/home/.profile")" = "alias ls=ls" ] && [ "$(stat -c %a "$others/home/.profile")" = 600 ] ||
  fail "a stranger's link: the player's file changed"

# --- Kills at random moments while saves follow one another, and a reader
# that reads the file all the while: with one rename (Wine's way) it never
# finds it missing; with ReplaceFileW (Windows' way) it may, for a moment,
# and a start afterwards finds it again. Either way the file is whole.
whole() { grep -q $'^Extra300=value-300\r$' "$1" && grep -q $'^MusicVolume=80\r$' "$1"; }
reader() {
  python3 - "$1" "$2" <<'PY'
import os, sys
path, stop = sys.argv[1], sys.argv[2]
reads = missing = torn = 0
while not os.path.exists(stop):
    reads += 1
    try:
        with open(path, 'rb') as f:
            data = f.read()
    except FileNotFoundError:
        missing += 1
        continue
    if b'Extra300=value-300\r\n' not in data or b'MusicVolume=80\r\n' not in data:
        torn += 1
print(reads, missing, torn)
PY
}
# finish_start FILE: the start after a kill (FinishInterruptedSave). A start
# that hangs fails the row rather than the whole run. Wine now and then
# cannot start a program at all right after one was killed ("Application
# could not be started", before any of the program runs): that start is
# made once more.
finish_start() {
  timeout 60 "$wine" "$tool" --finish "$1" >"$work/wine-errors" 2>&1 && return 0
  local status=$?
  grep -q "could not be started" "$work/wine-errors" || return $status
  sleep 1
  timeout 60 "$wine" "$tool" --finish "$1" >"$work/wine-errors" 2>&1
}
kills=$work/kills
mkdir "$kills"
mkfifo "$work/ready"
for method in one-rename keeping-security; do
  case="killed saves ($method)"
  settings >"$kills/zephran.ini"
  options=()
  [ $method = keeping-security ] && options=(--keeping-security)
  rm -f "$work/stop"
  reader "$kills/zephran.ini" "$work/stop" >"$work/reads" &
  reader_pid=$!
  for round in $(seq 25); do
    "$wine" "$tool" --repeat "${options[@]}" "$(windows "$kills/zephran.ini")" >"$work/ready" 2>/dev/null &
    saver=$!
    read -r -t 60 ready <"$work/ready" || true
    sleep "0.$(printf '%03d' $((RANDOM % 400)))"
    kill -KILL $saver 2>/dev/null || fail "$case: round $round: the saver had stopped"
    wait $saver 2>/dev/null || true
    finish_start "$(windows "$kills/zephran.ini")" ||
      fail "$case: round $round: the start did not finish (exit $?): $(cat "$work/wine-errors")"
    [ -f "$kills/zephran.ini" ] && whole "$kills/zephran.ini" ||
      { fail "$case: round $round: after the start: $(ls "$kills")"; break; }
  done
  touch "$work/stop" && wait $reader_pid
  read -r reads missing torn <"$work/reads"
  echo "$case: $reads reads during 25 kills, $missing found no file, $torn a cut one"
  [ "$torn" = 0 ] || fail "$case: the reader found the file cut"
  [ $method = keeping-security ] || [ "$missing" = 0 ] || fail "$case: the reader found no file"
  "$wine" "$tool" "$(windows "$kills/zephran.ini")" >/dev/null 2>&1
  [ "$(ls -A "$kills")" = zephran.ini ] || fail "$case: left beside the file: $(ls -A "$kills")"
done

# --- Two launchers at once: each saves, one after the other; neither
# removes the other's work.
pair=$work/pair
mkdir "$pair"
settings >"$pair/zephran.ini"
for round in $(seq 6); do
  "$wine" "$tool" "$(windows "$pair/zephran.ini")" >"$work/first" 2>/dev/null &
  first=$!
  "$wine" "$tool" --full-screen "$(windows "$pair/zephran.ini")" >"$work/second" 2>/dev/null
  wait $first || true
  answers=$(cat "$work/first" "$work/second" | tr -d '\r' | tr '\n' ' ')
  [ "$answers" = "saved saved " ] || fail "two launchers, round $round: $answers"
done
whole "$pair/zephran.ini" && [ "$(ls -A "$pair")" = zephran.ini ] ||
  fail "two launchers: the folder holds $(ls -A "$pair")"

# The Linux program beside a Windows one: each sees the other's lock.
writer=${ZEPHRAN_LINUX_LAUNCH_WRITER:-}
if [ -x "$writer" ]; then
  # Each lock is held until the other's answer is in, however slow the
  # machine: the answer must be a refusal after the 2 s wait.
  rm -f "$work/stop"
  "$wine" "$tool" --hold "$(windows "$pair/zephran.ini")" "$(windows "$work/stop")" >"$work/ready" 2>/dev/null &
  holder=$!
  read -r -t 60 ready <"$work/ready" || true
  said=$(timeout 20 "$writer" "$pair/zephran.ini" 2>&1 >/dev/null) || true
  touch "$work/stop" && wait $holder || true
  echo "the Linux program, a Windows one holding the lock: $said"
  [ "$said" = "launch_writer: a write failed: another launcher is saving it (zephran.ini.saving~)" ] ||
    fail "the Linux program beside a Windows one holding the lock: $said"
  # The Linux program's lock as it takes it: an open file description lock.
  settings >"$pair/zephran.ini"
  rm -f "$work/stop"
  python3 - "$pair/zephran.ini.saving~" "$work/stop" >"$work/ready" <<'PY' &
import fcntl, os, struct, sys, time
fd = os.open(sys.argv[1], os.O_RDWR | os.O_CREAT | os.O_EXCL, 0o644)
os.write(fd, b'Zephran Loader+ save in progress\r\nfile=zephran.ini\r\n')
fcntl.fcntl(fd, fcntl.F_OFD_SETLK, struct.pack('hhqqi4x', fcntl.F_WRLCK, 0, 1 << 28, 1, 0))
print('held', flush=True)
for _ in range(1500):
    if os.path.exists(sys.argv[2]):
        break
    time.sleep(0.02)
os.unlink(sys.argv[1])
PY
  holder=$!
  read -r -t 60 ready <"$work/ready" || true
  said=$("$wine" "$tool" "$(windows "$pair/zephran.ini")" 2>/dev/null | tr -d '\r') || true
  touch "$work/stop" && wait $holder || true
  echo "a Windows program, the Linux one holding the lock: $said"
  [ "$said" = "refused: another launcher is saving it (zephran.ini.saving~)" ] ||
    fail "a Windows launcher beside the Linux one holding the lock: $said"
  # Both saving over and over at once.
  "$writer" "$pair/zephran.ini" 20 >/dev/null 2>"$work/writer-errors" &
  linux=$!
  for round in $(seq 6); do
    said=$("$wine" "$tool" $([ $((round % 2)) = 0 ] && echo --full-screen) \
      "$(windows "$pair/zephran.ini")" 2>/dev/null | tr -d '\r') || true
    [ "$said" = saved ] || fail "beside the Linux program saving, round $round: $said"
  done
  kill -0 $linux 2>/dev/null || fail "the Linux program stopped: $(cat "$work/writer-errors")"
  kill $linux && wait $linux 2>/dev/null || true
  whole "$pair/zephran.ini" || fail "beside the Linux program: the file is cut"
else
  echo "SKIP: the Linux program beside a Windows one (no ZEPHRAN_LINUX_LAUNCH_WRITER)"
fi

[ $failures -eq 0 ] || { echo "save_faults_test: $failures failures" >&2; exit 1; }
echo "save_faults_test: all passed"
