#!/usr/bin/env bash
# End-to-end tests of the Windows program: the real zephran-loader.exe under
# Wine on an X server, driven with xdotool by keys and by clicks at the
# controls' pixel positions, in game installations made for each test. The
# stand-in game (launch_reporter.exe, copied as ZP1/ZP2/ZP3.EXE) writes what
# it was started with; that and the settings file's bytes are the verdict.
#
# usage: windows_e2e_test.sh LAUNCHER REPORTER SAMPLE_DIR WINE PREFIX [TEST_NAME...]
# Uses $DISPLAY when set (scripts/test-windows gives it a private Xvfb),
# otherwise starts an Xvfb of its own. $ZEPHRAN_LINUX_LAUNCHER, when it names
# the Linux (Qt) program, is the window the pictures are compared with.
set -uo pipefail

launcher=$(realpath "$1")
reporter=$(realpath "$2")
sample=$(realpath "$3")
wine=$4
export WINEPREFIX=$(realpath "$5")
shift 5
only=("$@")

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# UTF-8 file names on this side; the Western code page (1252) on the Windows
# side, which has accented Latin letters but no Greek.
export LC_ALL=C.UTF-8
work=$(mktemp -d)
xvfb_pid=""
launcher_pid=""

cleanup() {
  [ -n "$launcher_pid" ] && kill "$launcher_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

start_x_server() {
  [ -n "${DISPLAY:-}" ] && return 0
  local display_file=$work/display
  Xvfb -displayfd 5 -noreset -screen 0 1024x768x24 -nolisten tcp 5>"$display_file" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$display_file" ] && break
    sleep 0.05
  done
  export DISPLAY=":$(head -n 1 "$display_file")"
}

# The Windows name Wine gives a folder of this machine.
windows_path() {
  printf 'Z:%s' "$1" | tr / '\\'
}

make_game() {
  mkdir -p "$1"
  cp "$sample/zephran.ini" "$1/zephran.ini"
  for exe in ZP1.EXE ZP2.EXE ZP3.EXE; do
    cp "$reporter" "$1/$exe"
  done
}

# Wine takes longer than a native window to start and to draw.
x_tries=300 x_settle=0.5 x_pause=0.3
. "$(dirname "$0")/x_driver.sh"

start_launcher() {
  cp "$launcher" "$1/zephran-loader.exe"
  (cd "$1" && exec "$wine" zephran-loader.exe) >"$work/launcher.log" 2>&1 &
  launcher_pid=$!
}

# The stand-in game's report, one field a line: working folder, show
# command, whether it was given, its own folder, its command line, then
# each argument.
report_of() {
  for _ in $(seq 100); do
    [ -s "$1/launch_report.bin" ] && break
    sleep 0.1
  done
  [ -s "$1/launch_report.bin" ] || {
    echo "the game was not started (no report in $1)" >&2
    return 1
  }
  tr '\0' '\n' <"$1/launch_report.bin"
}

# The sample's settings after a launch. Wine's profile functions rewrite the
# file without the blank line between its sections (Windows keeps it).
settings_after() {
  printf '[Display]\r\nScreenWidth=%s\r\nScreenHeight=%s\r\nFullScreen=0\r\nVideoWidth=%s\r\nVideoHeight=%s\r\nCinemaScope=%s\r\nBitsPerPixel=16\r\nGamma=4\r\n[Audio]\r\nMusicVolume=80\r\nSubtitles=%s\r\n' "$@"
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
  local folder
  folder=$(windows_path "$game")
  expect_equal "$(report_of "$game")" "$folder
2
1
$folder
$folder\\ZP2.EXE game_nextframe
game_nextframe" || return 1
  expect_equal "$(od -An -c "$game/zephran.ini")" "$(settings_after 400 300 512 384 0 0 | od -An -c)"
}

test_load_a_slot_chosen_with_the_keyboard_from_the_folder_above() {
  local top=$work/load
  local game=$top/zp
  make_game "$game"
  add_save "$game" 1 "First"
  add_save "$game" 3 "Third one"
  start_launcher "$top"
  main_window || return 1
  # The focus starts on the windowed box; Tab goes on to the colour list,
  # the resolution list, then the slot list.
  keys Tab Tab Up    # resolution 400x300 -> 512x384
  keys Tab Down Down # slot 1 -> slot 3
  keys ctrl+l        # as "Load :"
  launcher_ended || return 1
  local folder
  folder=$(windows_path "$game")
  expect_equal "$(report_of "$game" | sed -n '5,$p')" "$folder\\ZP1.EXE load_game slot_3
load_game
slot_3" || return 1
  expect_equal "$(od -An -c "$game/zephran.ini")" "$(settings_after 512 384 640 480 1 1 | od -An -c)"
}

# Six Tabs from the windowed-mode box come back to it: no label takes the
# focus, and Space there unticks it.
test_tab_cycle_comes_back_to_windowed_mode() {
  local game=$work/tab/game
  make_game "$game"
  start_launcher "$game"
  main_window || return 1
  keys Tab Tab Tab Tab Tab Tab space
  new_game
  launcher_ended || return 1
  grep -q $'^FullScreen=1\r$' "$game/zephran.ini" || {
    echo "windowed mode was not turned off:" >&2
    cat -A "$game/zephran.ini" >&2
    return 1
  }
}

test_empty_slot_and_no_resolution_refuse_and_write_nothing() {
  local game=$work/empty/game
  make_game "$game"
  add_save "$game" 2 "Second"
  start_launcher "$game"
  main_window || return 1
  cinema_box
  load_game # slot 1 is empty
  dismiss "Caution !" || return 1
  close_launcher
  local other=$work/empty/no-resolution
  make_game "$other"
  sed -i 's/^ScreenWidth=400/ScreenWidth=800/' "$other/zephran.ini"
  cp "$other/zephran.ini" "$work/before.ini"
  start_launcher "$other"
  main_window || return 1
  new_game
  dismiss "No resolution" || return 1
  close_launcher
  cmp -s "$sample/zephran.ini" "$game/zephran.ini" && cmp -s "$work/before.ini" "$other/zephran.ini" || {
    echo "a settings file was changed" >&2
    return 1
  }
  [ ! -e "$game/launch_report.bin" ] && [ ! -e "$other/launch_report.bin" ] || {
    echo "a game was started" >&2
    return 1
  }
}

test_missing_installation_is_told_and_nothing_starts() {
  local dir=$work/missing/nothing-here
  mkdir -p "$dir"
  cp "$reporter" "$dir/ZP1.EXE"
  start_launcher "$dir"
  dismiss "Bad directory !" || return 1
  main_window || return 1
  new_game
  dismiss "No, it's not going to work" || return 1
  close_launcher
  [ ! -e "$dir/launch_report.bin" ] && [ ! -e "$dir/zephran.ini" ] || {
    echo "something was written or started" >&2
    return 1
  }
}

test_game_folder_with_spaces_and_quotes() {
  local game="$work/My Games/Zephran 'quoted' (1)"
  make_game "$game"
  start_launcher "$game"
  main_window || return 1
  new_game
  launcher_ended || return 1
  expect_equal "$(report_of "$game" | sed -n '1p;6p')" "$(windows_path "$game")
game_nextframe"
}

# Folder names beyond ASCII, in the code page (accents) and beyond it (Greek):
# the program's own folder, the settings file, the save folders and the
# game's start all go through them.
test_game_folders_beyond_ascii() {
  local game
  for game in "$work/Jeux/Zéphran été" "$work/Παιχνίδια/Ζέφυρος"; do
    make_game "$game"
    add_save "$game" 1 "Sauvé Σώσε"
    start_launcher "$game"
    main_window || return 1
    cinema_box # on in the sample: now off
    load_game
    launcher_ended || return 1
    expect_equal "$(report_of "$game" | sed -n '1p;4p;6,$p')" "$(windows_path "$game")
$(windows_path "$game")
load_game
slot_1" || return 1
    grep -q $'^CinemaScope=0\r$' "$game/zephran.ini" || return 1
  done
}

# The pixel plan: the 2 px strip, the blue bars, the check-box frames.
test_screenshot_shows_the_pixel_plan() {
  local game=$work/shot/game
  make_game "$game"
  start_launcher "$game"
  main_window || return 1
  xdotool mousemove --window "$window" 290 100 # the bare background
  sleep 0.5
  import -window "$window" "$work/shot.ppm" || return 1
  close_launcher
  pixel() { convert "$work/shot.ppm" -format "%[fx:int(255*p{$1,$2}.r)] %[fx:int(255*p{$1,$2}.g)] %[fx:int(255*p{$1,$2}.b)]" info:; }
  local size
  size=$(identify -format '%wx%h' "$work/shot.ppm")
  expect_equal "$size" "302x299" || return 1
  for y in 5 150 290; do
    expect_equal "$(pixel 300 "$y") $(pixel 301 "$y")" "0 0 0 0 0 0" || return 1
  done
  expect_equal "$(pixel 150 256)" "0 0 0" || return 1
  for point in "250 236" "205 236" "60 278"; do
    read -r r g b <<<"$(pixel $point)"
    [ "$b" -gt $((r + 30)) ] && [ "$b" -gt $((g + 30)) ] || {
      echo "not blue at $point: $r $g $b" >&2
      return 1
    }
  done
  # The sample's three boxes are checked: the on picture's green frame,
  # centred and moved one pixel down and right as the box is pressed.
  for top in 62 102 142; do
    expect_equal "$(pixel 37 $((top + 12)))" "0 255 0" || return 1
  done
}

# white_pixels IMAGE X Y W H: how many pure white pixels lie in the box.
white_pixels() {
  convert "$1" -crop "$4x$5+$2+$3" +repage -fill black +opaque white \
    -format '%[fx:int(mean*w*h+0.5)]' info:
}

# shows lit|dark COUNT: whether a button with COUNT white pixels looks so.
shows() {
  if [ "$1" = lit ]; then [ "$2" -gt 20 ]; else [ "$2" -eq 0 ]; fi
}

# The text buttons light up as a pair, and a button stays lit over another
# control.
test_hover_lights_the_text_buttons_as_a_pair() {
  local game=$work/hover/game
  make_game "$game"
  start_launcher "$game"
  main_window || return 1
  local step over load_white new_white
  for step in "90 276 lit dark" "200 276 lit dark" "140 236 dark lit" "290 100 dark dark"; do
    read -r x y load_white new_white <<<"$step"
    xdotool mousemove --window "$window" "$x" "$y"
    sleep 0.5
    import -window "$window" "$work/hover.ppm" || return 1
    over="$(white_pixels "$work/hover.ppm" 64 260 65 33) $(white_pixels "$work/hover.ppm" 96 220 105 33)"
    read -r load new <<<"$over"
    shows "$load_white" "$load" && shows "$new_white" "$new" || {
      echo "mouse at $x,$y: white pixels of \"Load :\" and \"New game\": $over" >&2
      return 1
    }
  done
}

# box IMAGE X Y W H: "left top right bottom" of what the picture shows over
# the window's own backdrop inside the box, or of the lists' green text.
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

# The same installation in the Linux window and here: every caption, button
# and list text lies within 1 px of where the Linux window puts it, and
# outside the controls both show exactly the window's picture. The lists'
# frames and buttons, the check boxes and the focus marks are the system's
# own and are not compared.
test_text_sits_where_the_linux_window_puts_it() {
  local linux=${ZEPHRAN_LINUX_LAUNCHER:-}
  if [ ! -x "$linux" ]; then
    echo "SKIP: no Linux program to compare with (ZEPHRAN_LINUX_LAUNCHER)"
    return 0
  fi
  local game=$work/compare/game which
  make_game "$game"
  add_save "$game" 1 "Castle"
  convert -size 302x299 xc:black "$(dirname "$0")/../../assets/background.bmp" -composite \
    "$work/backdrop.png" || return 1
  for which in windows linux; do
    if [ $which = windows ]; then
      start_launcher "$game"
    else
      cp "$linux" "$game/zephran-loader"
      mkdir -p -m 700 "$work/runtime"
      (cd "$game" && QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$work/runtime exec ./zephran-loader) \
        >"$work/launcher.log" 2>&1 &
      launcher_pid=$!
    fi
    main_window || return 1
    xdotool mousemove 0 0 # off the window: nothing lit
    sleep 0.5
    import -window "$window" "$work/$which.png" || return 1
    close_launcher
  done
  # Control boxes, one pixel wider all round for the text's smoothing.
  local boxes="144 180 73 24, 32 62 27 25, 32 102 27 25, 32 142 27 25, 136 264 129 24,
    168 27 81 24, 56 176 105 33, 168 0 65 17, 48 0 121 17, 96 220 105 33, 64 260 65 33,
    72 140 145 25, 72 100 217 33, 72 60 177 33, 32 24 129 33" draw="" x y w h
  while IFS=' ' read -r x y w h; do
    draw+="rectangle $((x - 1)),$((y - 1)) $((x + w)),$((y + h)) "
  done < <(tr ',' '\n' <<<"$boxes" | sed 's/^ *//')
  local name kind outside ours theirs a b failed=0
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

# --- runner ----------------------------------------------------------------

start_x_server
run_tests "windows e2e"
