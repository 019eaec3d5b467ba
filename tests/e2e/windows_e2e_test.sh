#!/usr/bin/env bash
# End-to-end tests of the Windows program: the real zephran-loader.exe under
# Wine on an X server, driven with xdotool by keys and by clicks at the
# controls' pixel positions, through the scenarios of scenarios.txt, each in a
# game installation made for it. The stand-in game (launch_reporter.exe,
# copied as ZP1/ZP2/ZP3.EXE) writes what it was started with; that and the
# settings file's bytes are the verdict. The gamepad is a stand-in XInput
# (xinput_standin.dll), put into the prefix's system folder for the run under
# XInput's names, which Wine is told to take over its own in the scenarios
# with a pad.
#
# usage: windows_e2e_test.sh LAUNCHER REPORTER XINPUT_STANDIN SAMPLE_DIR WINE PREFIX BITS
#          [SCENARIO...]
# Uses $DISPLAY when set (scripts/test-windows gives it a private Xvfb),
# otherwise starts an Xvfb of its own. $ZEPHRAN_LINUX_LAUNCHER, when it names
# the Linux (Qt) program, is the window the pictures are compared with.
set -uo pipefail

launcher=$(realpath "$1")
stand_in=$(realpath "$2")
xinput_standin=$(realpath "$3")
sample=$(realpath "$4")
wine=$5
export WINEPREFIX=$(realpath "$6")
bits=$7
shift 7
only=("$@")
here=$(dirname "$0")

program=windows
report_name=launch_report.bin
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# UTF-8 file names on this side; the Western code page (1252) on the Windows
# side, which has accented Latin letters but no Greek.
export LC_ALL=C.UTF-8
work=$(mktemp -d)
launcher_pid=""

# Wine takes longer than a native window to start and to draw.
x_tries=300 x_settle=0.5 x_pause=0.3
. "$here/../../scripts/lib/x_server.sh"
. "$here/x_driver.sh"

# The prefix, made here when the test runs by hand.
[ -d "$WINEPREFIX/drive_c/windows" ] || timeout 120 "$wine" wineboot --init >/dev/null 2>&1
# The stand-in XInput goes where the system's are, Wine's own kept aside. A
# 32-bit program's system folder in a 64-bit prefix is syswow64.
system=$WINEPREFIX/drive_c/windows/system32
if [ "$bits" = 32 ] && [ -d "$WINEPREFIX/drive_c/windows/syswow64" ]; then
  system=$WINEPREFIX/drive_c/windows/syswow64
fi
xinput_names=(xinput1_4 xinput9_1_0)
for name in "${xinput_names[@]}"; do
  [ -e "$system/$name.dll" ] && cp "$system/$name.dll" "$work/$name.dll.wine"
done

cleanup() {
  [ -n "$launcher_pid" ] && kill "$launcher_pid" 2>/dev/null
  set_prefix_dpi 96
  # Wine's own files back, or none where there was none.
  for name in "${xinput_names[@]}"; do
    if [ -e "$work/$name.dll.wine" ]; then
      cp "$work/$name.dll.wine" "$system/$name.dll"
    else
      rm -f "$system/$name.dll"
    fi
  done
  stop_x_server
  rm -rf "$work"
}
trap cleanup EXIT

for name in "${xinput_names[@]}"; do
  cp "$xinput_standin" "$system/$name.dll"
done

# The Windows name Wine gives a folder of this machine.
windows_path() {
  printf 'Z:%s' "$1" | tr / '\\'
}

# set_prefix_dpi DPI: Wine gives every program the prefix's dots per inch,
# read as the program starts.
prefix_dpi=96
set_prefix_dpi() {
  [ "$1" = "$prefix_dpi" ] && return 0
  "$wine" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
    >/dev/null 2>&1 || {
    echo "the prefix's dots per inch could not be set to $1" >&2
    return 1
  }
  prefix_dpi=$1
}

start_launcher() {
  local overrides=$WINEDLLOVERRIDES
  set_prefix_dpi "$(scaled 96)" || return 1
  cp "$launcher" "$1/zephran-loader.exe"
  rm -f "$work/pad.txt" "$work/pad.log"
  pad_steps=0
  if [ -n "$pad_library" ]; then
    : >"$work/pad.txt"
    cp "$xinput_standin" "$1/xinput1_4.dll"
    case $pad_library in
      xinput1_4) overrides+=";xinput1_4,xinput9_1_0=n" ;;
      xinput9_1_0) overrides+=";xinput1_4=d;xinput9_1_0=n" ;;
      *)
        echo "scenarios.txt: no pad library \"$pad_library\"" >&2
        return 1
        ;;
    esac
  fi
  (cd "$1" &&
    ZEPHRAN_PAD_SCRIPT=$(windows_path "$work/pad.txt") \
      ZEPHRAN_PAD_LOG=$(windows_path "$work/pad.log") WINEDLLOVERRIDES=$overrides \
      exec "$wine" zephran-loader.exe) >"$work/launcher.log" 2>&1 &
  launcher_pid=$!
}

# The stand-in XInput's log: its path, the reads of the pad, the reads of
# empty slots, the steps played.
pad_log() {
  local line
  line=$(cat "$work/pad.log" 2>/dev/null) && [ -n "$line" ] && echo "$line"
}

# press_pad BUTTON...: the steps go at the end of the stand-in's script,
# which plays one a read of the pad while the launcher is the active program.
press_pad() {
  local path reads empty played
  printf '%s\n' "$*" >>"$work/pad.txt"
  pad_steps=$((pad_steps + $#))
  for _ in $(seq 300); do
    read -r path reads empty played <<<"$(pad_log)"
    [ "${played:-0}" -ge "$pad_steps" ] && break
    sleep 0.1
  done
  [ "${played:-0}" -ge "$pad_steps" ] || {
    echo "the pad played ${played:-0} of $pad_steps steps" >&2
    return 1
  }
  sleep "$x_pause"
}

# The pad was read through the library the installation names, from the
# system folder, and empty slots only now and then: every slot at the first
# read, then one every 32 reads.
check_xinput() {
  local path reads empty played
  read -r path reads empty played <<<"$(pad_log)"
  case "${path,,}" in
    'c:\windows\system32\'"$pad_library.dll" | 'c:\windows\syswow64\'"$pad_library.dll") ;;
    *)
      echo "the pad was read through \"$path\", not $pad_library.dll from the system folder" >&2
      return 1
      ;;
  esac
  if [ "$empty" -lt 3 ] || [ "$empty" -gt $((3 + reads / 32)) ]; then
    echo "$empty reads of empty slots for $reads of the pad" >&2
    return 1
  fi
}

# The stand-in game's report, one field a line: working folder, show
# command, whether it was given, its own folder, its command line, then
# each argument.
report_of() {
  for _ in $(seq 100); do
    [ -s "$1/$report_name" ] && break
    sleep 0.1
  done
  [ -s "$1/$report_name" ] || {
    echo "the game was not started (no report in $1)" >&2
    return 1
  }
  tr '\0' '\n' <"$1/$report_name"
}

# Started in its folder, minimised (2) as asked (1), by its full name, in
# quotes where that holds a space.
expected_report() {
  local folder program
  folder=$(windows_path "$1")
  program=$folder\\$2
  [[ $program == *" "* ]] && program="\"$program\""
  printf '%s\n' "$folder" 2 1 "$folder" "$program${3:+ ${*:3}}" "${@:3}"
}

# Wine's profile functions rewrite the file without the blank line between
# its sections (Windows keeps it).
as_written() {
  sed '/^\r$/d'
}

# Windows file names hold no " * ? < > |.
folder_name() {
  printf '%s' "$1" | tr -d '"*?<>|'
}

# ink_box IMAGE X Y W H: "left top right bottom" of what the picture shows
# over the window's own backdrop inside the box; green_box, of the lists'
# green text.
ink_box() {
  convert "$1" "$work/backdrop.png" -compose difference -composite -crop "$4x$5+$2+$3" +repage \
    -separate -evaluate-sequence max -threshold 30% -format '%@' info:
}
green_box() {
  convert "$1" -crop "$4x$5+$2+$3" +repage -alpha off -fuzz 30% -fill black +opaque '#00FF00' \
    -fill white -opaque '#00FF00' -format '%@' info:
}
edges() {
  local w h x y
  IFS='x+' read -r w h x y <<<"$1"
  echo "$x $y $((x + w)) $((y + h))"
}

# at_scale X Y W H: the box at the installation's scale, by its edges.
at_scale() {
  local x y
  x=$(scaled "$1") y=$(scaled "$2")
  echo "$x $y $(($(scaled $(($1 + $3))) - x)) $(($(scaled $(($2 + $4))) - y))"
}

# The scenario's installation in this window, shown, and in the Linux window
# at the same scale: both are as large, every caption, button and list text
# lies within 1 px of where the Linux window puts it, and outside the
# controls both show exactly the window's picture, scaled as the Linux
# window scales it. The lists' frames and buttons, the check boxes and the
# focus marks are the system's own and are not compared. This program is
# started again afterwards, for the steps that follow.
check_text_beside_linux() {
  local linux=${ZEPHRAN_LINUX_LAUNCHER:-} which width height
  if [ ! -x "$linux" ]; then
    echo "SKIP: no Linux program to compare with (ZEPHRAN_LINUX_LAUNCHER)"
    return 0
  fi
  width=$(scaled 302) height=$(scaled 299)
  convert -size "${width}x$height" xc:black \( "$here/../../assets/background.bmp" \
    -sample "$(scaled 300)x$(scaled 300)!" \) -composite "$work/backdrop.png" || return 1
  for which in windows linux; do
    if [ $which = linux ]; then
      cp "$linux" "$game_dir/zephran-loader"
      mkdir -p -m 700 "$work/runtime"
      (cd "$game_dir" && QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale \
        XDG_RUNTIME_DIR=$work/runtime exec ./zephran-loader) >"$work/launcher.log" 2>&1 &
      launcher_pid=$!
      main_window || return 1
    fi
    xdotool mousemove 0 0 # off the window: nothing lit
    sleep 0.5
    import -window "$window" "$work/$which.png" || return 1
    close_launcher
  done
  start_launcher "$launcher_dir" || return 1
  local failed=0
  for which in windows linux; do
    expect_equal "$which: $(identify -format '%wx%h' "$work/$which.png")" \
      "$which: ${width}x$height" || failed=1
  done
  # Control boxes, one pixel wider all round for the text's smoothing.
  local boxes="144 180 73 24, 32 62 27 25, 32 102 27 25, 32 142 27 25, 136 264 129 24,
    168 27 81 24, 56 176 105 33, 168 0 65 17, 48 0 121 17, 96 220 105 33, 64 260 65 33,
    72 140 145 25, 72 100 217 33, 72 60 177 33, 32 24 129 33" draw="" x y w h
  while IFS=' ' read -r x y w h; do
    [ -n "$h" ] || continue
    read -r x y w h <<<"$(at_scale "$x" "$y" "$w" "$h")"
    draw+="rectangle $((x - 1)),$((y - 1)) $((x + w)),$((y + h)) "
  done < <(tr ',' '\n' <<<"$boxes" | sed 's/^ *//')
  local name kind outside ours theirs a b
  for which in windows linux; do
    outside=$(convert "$work/$which.png" "$work/backdrop.png" -compose difference -composite \
      -separate -evaluate-sequence max -threshold 10% -fill black -draw "$draw" \
      -format '%[fx:int(mean*w*h+0.5)]' info:)
    expect_equal "$which: $outside pixels off the picture" "$which: 0 pixels off the picture" ||
      failed=1
  done
  # Text areas, cut where a neighbour overlaps; list fields short of their
  # buttons.
  while read -r kind name x y w h; do
    read -r x y w h <<<"$(at_scale "$x" "$y" "$w" "$h")"
    ours=$(edges "$($kind "$work/windows.png" "$x" "$y" "$w" "$h")")
    theirs=$(edges "$($kind "$work/linux.png" "$x" "$y" "$w" "$h")")
    read -r -a a <<<"$ours"
    read -r -a b <<<"$theirs"
    for i in 0 1 2 3; do
      if [ $((a[i] - b[i])) -gt 1 ] || [ $((b[i] - a[i])) -gt 1 ]; then
        echo "$name: text at $ours (left top right bottom), on Linux at $theirs" >&2
        failed=1
        break
      fi
    done
  done <<'TEXTS'
ink_box TextResol 32 24 129 33
ink_box TextFenetre 72 60 177 33
ink_box TexteCinema 72 100 217 33
ink_box TexteST 72 140 145 25
ink_box TextCol 56 176 88 33
ink_box beta 48 0 120 17
ink_box Lien_txt 168 0 65 17
ink_box BoutLancerNouveau 96 220 105 33
ink_box BoutLoad 64 260 65 33
green_box ListCol 144 180 52 24
green_box ListSlot 136 264 108 24
green_box ListChoixResol 168 27 60 24
TEXTS
  return $failed
}

[ -n "${DISPLAY:-}" ] || start_x_server || exit 1
run_scenarios "windows e2e"
