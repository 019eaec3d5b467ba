#!/usr/bin/env bash
# The Windows program with a gamepad alone, under Wine: a stand-in XInput
# (xinput_standin.dll) in the prefix's system folder, under XInput's names
# and with Wine told to take it over its own, replays a scripted pad. Each
# row starts the real launcher in a game made for it, with no keyboard or
# mouse, and waits for it to end by itself (a launch, or B); then the stand-in
# game's report, the settings file and the stand-in's log are the verdict.
# A copy of the stand-in in the game's folder must never be the one loaded.
#
# usage: pad_test.sh LAUNCHER REPORTER STANDIN SAMPLE_DIR WINE PREFIX BITS [ROW...]
# Uses $DISPLAY when set, otherwise starts an Xvfb of its own.
set -uo pipefail

launcher=$(realpath "$1")
reporter=$(realpath "$2")
standin=$(realpath "$3")
sample=$(realpath "$4")
wine=$5
export WINEPREFIX=$(realpath "$6")
bits=$7
shift 7
only=("$@")
export WINEDEBUG=-all LC_ALL=C.UTF-8
work=$(mktemp -d)
. "$(dirname "$0")/../../scripts/lib/x_server.sh"

# A 32-bit program's system folder in a 64-bit prefix is syswow64.
system=$WINEPREFIX/drive_c/windows/system32
if [ "$bits" = 32 ] && [ -d "$WINEPREFIX/drive_c/windows/syswow64" ]; then
  system=$WINEPREFIX/drive_c/windows/syswow64
fi
names=(xinput1_4 xinput9_1_0)

cleanup() {
  for name in "${names[@]}"; do
    if [ -e "$work/$name.dll.wine" ]; then
      cp "$work/$name.dll.wine" "$system/$name.dll"
    fi
  done
  stop_x_server
  rm -rf "$work"
}
trap cleanup EXIT

[ -n "${DISPLAY:-}" ] || start_x_server || exit 1

# Wine's own files are put back afterwards.
timeout 120 "$wine" wineboot --init >/dev/null 2>&1
for name in "${names[@]}"; do
  [ -e "$system/$name.dll" ] && cp "$system/$name.dll" "$work/$name.dll.wine"
  cp "$standin" "$system/$name.dll"
done

windows_path() {
  printf 'Z:%s' "$1" | tr / '\\'
}

# One scenario a row, fields apart by "|":
#   name | Wine's choice of XInput libraries | saves (slot:name ...; "-": no game at
#   all) | the pad's script |
#   the library expected | what the game is started with, after its folder ("" none) |
#   a line the settings file must then hold ("" unchanged)
# The pad starts at the windowed-mode box. The first step only lets the
# launcher learn that nothing is held.
rows=(
  # Resolution 400x300 -> 320x240, down to "Load :", slot 2 picked, loaded.
  "load_a_save_with_the_pad_alone|xinput1_4,xinput9_1_0=n|2:Second|idle up a down a down down stick-down down down down right a down a left a|xinput1_4|ZP3.EXE load_game slot_2|ScreenWidth=320"
  # Slot 1 is empty: the message, answered with B; the cursor is still on
  # "Load :" after it, and slot 2 loads.
  "answer_a_message_with_b_and_go_on|xinput1_4,xinput9_1_0=n|2:Second|idle down down down down down a b idle right a down a left a|xinput1_4|ZP2.EXE load_game slot_2|ScreenWidth=400"
  # Where the system lacks xinput1_4: the message answered with A, then B
  # closes the window, writing nothing.
  "xinput9_1_0_where_xinput1_4_is_missing|xinput1_4=d;xinput9_1_0=n||idle down down down down down a a idle b|xinput9_1_0||"
  # No game: "Bad directory !" comes before the window; A answers it.
  "answer_bad_directory_before_the_window|xinput1_4,xinput9_1_0=n|-|idle a idle b|xinput1_4||"
)

run_row() {
  local name=$1 overrides=$2 saves=$3 script=$4 library=$5 started=$6 setting=$7
  local game=$work/$name/game save reads empty left path
  mkdir -p "$game"
  cp "$sample/zephran.ini" "$game/zephran.ini"
  for exe in ZP1.EXE ZP2.EXE ZP3.EXE; do
    cp "$reporter" "$game/$exe"
  done
  if [ "$saves" = - ]; then
    rm "$game/zephran.ini"
    saves=""
  fi
  for save in $saves; do
    mkdir -p "$game/savegames/slot${save%%:*}"
    : >"$game/savegames/slot${save%%:*}/${save#*:}.nam"
  done
  cp "$launcher" "$game/zephran-loader.exe"
  cp "$standin" "$game/xinput1_4.dll"
  printf '%s\n' "$script" >"$work/$name/pad.txt"
  (cd "$game" &&
    ZEPHRAN_PAD_SCRIPT=$(windows_path "$work/$name/pad.txt") \
      ZEPHRAN_PAD_LOG=$(windows_path "$work/$name/pad.log") \
      WINEDLLOVERRIDES="mscoree,mshtml=;$overrides" \
      timeout 120 "$wine" zephran-loader.exe) >"$work/$name/launcher.log" 2>&1
  local status=$?
  if [ $status -ne 0 ]; then
    echo "the launcher did not end by itself (status $status)"
    return 1
  fi
  if [ ! -s "$work/$name/pad.log" ]; then
    echo "the stand-in XInput was not loaded"
    return 1
  fi
  read -r path reads empty left <"$work/$name/pad.log"
  case "${path,,}" in
    'c:\windows\system32\'"$library.dll" | 'c:\windows\syswow64\'"$library.dll") ;;
    *)
      echo "loaded $path, not $library.dll from the system folder"
      return 1
      ;;
  esac
  if [ "$left" -ne 0 ]; then
    echo "$left steps of the pad's script were never read"
    return 1
  fi
  # Every slot at the first read, then one empty slot every 32 reads.
  if [ "$empty" -lt 3 ] || [ "$empty" -gt $((3 + reads / 32)) ]; then
    echo "$empty reads of empty slots for $reads of the pad"
    return 1
  fi
  local folder
  folder=$(windows_path "$game")
  if [ -n "$started" ]; then
    if [ ! -s "$game/launch_report.bin" ]; then
      echo "the game was not started"
      return 1
    fi
    local command
    command=$(tr '\0' '\n' <"$game/launch_report.bin" | sed -n 5p)
    if [ "$command" != "$folder\\$started" ]; then
      echo "the game was started as: $command"
      return 1
    fi
    if ! grep -q "^$setting"$'\r'"\$" "$game/zephran.ini"; then
      echo "the settings lack $setting:"
      cat -A "$game/zephran.ini"
      return 1
    fi
  else
    if [ -e "$game/launch_report.bin" ]; then
      echo "a game was started"
      return 1
    fi
    if [ -e "$game/zephran.ini" ] && ! cmp -s "$sample/zephran.ini" "$game/zephran.ini"; then
      echo "the settings file was changed"
      return 1
    fi
  fi
}

passed=0
failed=0
for row in "${rows[@]}"; do
  IFS='|' read -r name overrides saves script library started setting <<<"$row"
  if [ ${#only[@]} -gt 0 ] && [[ " ${only[*]} " != *" $name "* ]]; then
    continue
  fi
  if reason=$(run_row "$name" "$overrides" "$saves" "$script" "$library" "$started" "$setting"); then
    echo "ok      $name"
    passed=$((passed + 1))
  else
    echo "FAILED  $name: $reason"
    sed 's/^/    /' "$work/$name/launcher.log"
    failed=$((failed + 1))
  fi
done
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
