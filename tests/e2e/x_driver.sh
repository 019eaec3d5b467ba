# Shared by the end-to-end drivers: driving a launcher window on an X server
# with xdotool, and running the scenarios of scenarios.txt that are this
# program's. The driver that sources this sets, before run_scenarios:
#   program        linux or windows
#   work           a scratch folder (launcher.log is shown for a failed scenario)
#   launcher_pid   the running launcher's process, or empty
#   only           the scenario names asked for (empty: all)
#   sample         the sample installation's folder
#   stand_in       the stand-in game, copied as ZP1.EXE, ZP2.EXE and ZP3.EXE
#   report_name    the file the stand-in writes beside itself when started
# and defines:
#   start_launcher DIR               starts a copy of the launcher in DIR
#   report_of DIR                    waits for the stand-in's report, prints it
#   expected_report DIR EXE ARG...   that report for EXE started with ARGs
#   as_written                       the settings file on standard input, laid
#                                    out as this program's save lays it out
#   folder_name NAME                 NAME as this system's file names hold it
#   press_pad BUTTON...              (when it can drive a pad) the pad presses
#                                    each in turn; returns once the launcher
#                                    has read them all
#   check_NAME                       the checks its own scenarios name
# It may set how patient the driver is (Wine is slower than a native window):
#   x_tries        polls of 0.1 s while waiting for a window (default 100)
#   x_settle       seconds to let a new window draw and take input (0.3)
#   x_pause        seconds after a click or keys (0.2)
x_tries=${x_tries:-100}
x_settle=${x_settle:-0.3}
x_pause=${x_pause:-0.2}
window=""

# --- driving the window --------------------------------------------------------

# title_pattern TITLE: xdotool matches names as regular expressions.
title_pattern() {
  printf '^%s$' "$(printf '%s' "$1" | sed 's/[][\\.*^$+?(){}|]/\\&/g')"
}

# wait_window TITLE: the id of the visible window with that title.
wait_window() {
  local id=""
  for _ in $(seq "$x_tries"); do
    id=$(xdotool search --onlyvisible --name "$(title_pattern "$1")" 2>/dev/null | head -n 1)
    [ -n "$id" ] && break
    sleep 0.1
  done
  [ -n "$id" ] || return 1
  # Mapped is not yet drawn and ready for input; give it a moment.
  sleep "$x_settle"
  echo "$id"
}

main_window() {
  window=$(wait_window "Zephran Loader+") || {
    echo "the launcher window did not appear" >&2
    return 1
  }
  xdotool windowfocus --sync "$window"
  sleep "$x_pause"
}

# click X Y: a click at a point of the window's client area, in pixels at
# 96 dots per inch (at the installation's scale on screen).
click() {
  xdotool mousemove --window "$window" "$(scaled "$1")" "$(scaled "$2")" click 1
  sleep "$x_pause"
}

# scaled PIXELS: a length at 96 dots per inch at the installation's scale,
# rounded half up as the windows round it.
scaled() {
  awk -v pixels="$1" -v factor="${scale:-1}" 'BEGIN { printf "%d", int(pixels * factor + 0.5) }'
}

# The controls' centres, in client pixels.
declare -A control_at=([new]="140 236" [load]="90 276" [cinema]="45 114" [subtitles]="45 154")

keys() {
  xdotool key --delay 100 "$@"
  sleep "$x_pause"
}

# dismiss TITLE [BUTTON]: answers the message box of that title with Enter,
# or with the pad's BUTTON.
dismiss() {
  local box
  box=$(wait_window "$1") || {
    echo "no message box titled \"$1\"" >&2
    return 1
  }
  xdotool windowfocus --sync "$box"
  if [ -n "${2:-}" ]; then
    press_pad "$2" || return 1
  else
    xdotool key Return
  fi
  for _ in $(seq 50); do
    xdotool search --onlyvisible --name "$(title_pattern "$1")" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  echo "message box \"$1\" is still open" >&2
  return 1
}

launcher_ended() {
  for _ in $(seq 100); do
    kill -0 "$launcher_pid" 2>/dev/null || {
      launcher_pid=""
      return 0
    }
    sleep 0.1
  done
  echo "the launcher is still running" >&2
  return 1
}

close_launcher() {
  kill "$launcher_pid" 2>/dev/null
  wait "$launcher_pid" 2>/dev/null
  launcher_pid=""
}

expect_equal() {
  if [ "$1" != "$2" ]; then
    echo "expected: $(printf '%q' "$2")" >&2
    echo "actual:   $(printf '%q' "$1")" >&2
    return 1
  fi
}

# --- what the window shows -------------------------------------------------------

# eventually COMMAND...: COMMAND again until it succeeds, for up to 10 s:
# the window draws what follows an event when a busy machine gets to it.
eventually() {
  for _ in $(seq 19); do
    "$@" 2>/dev/null && return 0
    sleep 0.5
  done
  "$@"
}

# pixel IMAGE X Y: "red green blue" of a pixel, 0 to 255.
pixel() {
  convert "$1" -format "%[fx:int(255*p{$2,$3}.r)] %[fx:int(255*p{$2,$3}.g)] %[fx:int(255*p{$2,$3}.b)]" info:
}

# The 2 px strip, the blue bars, the check-box frames.
look_pixel_plan() {
  xdotool mousemove --window "$window" 290 100 # the bare background
  sleep 0.5
  eventually pixel_plan_shown
}

pixel_plan_shown() {
  local shot=$work/shot.ppm y point r g b top
  import -window "$window" "$shot" || return 1
  expect_equal "$(identify -format '%wx%h' "$shot")" "302x299" || return 1
  for y in 5 150 290; do
    expect_equal "$(pixel "$shot" 300 "$y") $(pixel "$shot" 301 "$y")" "0 0 0 0 0 0" || return 1
  done
  expect_equal "$(pixel "$shot" 150 256)" "0 0 0" || return 1
  for point in "250 236" "205 236" "60 278"; do
    read -r r g b <<<"$(pixel "$shot" $point)"
    [ "$b" -gt $((r + 30)) ] && [ "$b" -gt $((g + 30)) ] || {
      echo "not blue at $point: $r $g $b" >&2
      return 1
    }
  done
  # The sample's three boxes are checked: the on picture's green frame,
  # centred and moved one pixel down and right as the box is pressed.
  for top in 62 102 142; do
    expect_equal "$(pixel "$shot" 37 $((top + 12)))" "0 255 0" || return 1
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
look_hover_pair() {
  local step x y load_white new_white
  for step in "90 276 lit dark" "200 276 lit dark" "140 236 dark lit" "290 100 dark dark"; do
    read -r x y load_white new_white <<<"$step"
    xdotool mousemove --window "$window" "$x" "$y"
    sleep 0.5
    eventually buttons_show "$load_white" "$new_white" "mouse at $x,$y" || return 1
  done
}

# buttons_show LOAD NEW WHERE: whether "Load :" and "New game" look lit or dark.
buttons_show() {
  local shot=$work/hover.ppm over load new
  import -window "$window" "$shot" || return 1
  over="$(white_pixels "$shot" 64 260 65 33) $(white_pixels "$shot" 96 220 105 33)"
  read -r load new <<<"$over"
  shows "$1" "$load" && shows "$2" "$new" || {
    echo "$3: white pixels of \"Load :\" and \"New game\": $over" >&2
    return 1
  }
}

# --- the scenarios ---------------------------------------------------------------

scenario_table=$(dirname "${BASH_SOURCE[0]}")/scenarios.txt

# with_values KEY=VALUE...: the settings file on standard input with those
# keys' values replaced.
with_values() {
  local pair script=""
  for pair in "$@"; do
    script+="s/^${pair%%=*}=[^\\r]*/$pair/;"
  done
  sed "$script"
}

# make_installation TOP ITEMS: makes the installation in TOP and sets
# game_dir and launcher_dir; a copy of its settings is TOP/settings.before.
make_installation() {
  local top=$1 item kind rest slot name exe
  local -a items
  IFS=';' read -ra items <<<"$2"
  local above=0 bare=0
  game_dir=$top/game fake_wine="" pad_library="" scale=1
  for item in "${items[@]}"; do
    read -r kind rest <<<"$item"
    case "$kind $rest" in
      "game ") ;;
      "game "*) game_dir=$top/$(folder_name "$rest") ;;
      "launcher above") above=1 ;;
      "only ZP1.EXE") bare=1 ;;
    esac
  done
  mkdir -p "$game_dir"
  launcher_dir=$game_dir
  [ $above = 0 ] || launcher_dir=$(dirname "$game_dir")
  if [ $bare = 1 ]; then
    cp "$stand_in" "$game_dir/ZP1.EXE"
  else
    cp "$sample/zephran.ini" "$game_dir/zephran.ini"
    for exe in ZP1.EXE ZP2.EXE ZP3.EXE; do
      cp "$stand_in" "$game_dir/$exe"
    done
  fi
  for item in "${items[@]}"; do
    read -r kind rest <<<"$item"
    case "$kind $rest" in
      "game "* | "launcher above" | "only ZP1.EXE") ;;
      "pad "*) pad_library=$rest ;;
      "scale "*) scale=$rest ;;
      "save "*)
        read -r slot name <<<"$rest"
        mkdir -p "$game_dir/savegames/slot$slot"
        touch "$game_dir/savegames/slot$slot/$name.nam"
        ;;
      "set "*)
        with_values "$rest" <"$game_dir/zephran.ini" >"$top/set.ini"
        mv "$top/set.ini" "$game_dir/zephran.ini"
        ;;
      "wine fails "*)
        printf 'MZ' >"$game_dir/ZP2.EXE"
        fake_wine=$top/bin/wine
        mkdir -p "$top/bin"
        printf '%s\n' "${rest#fails }" >"$top/bin/wine-says"
        printf '#!/bin/sh\ncat "%s" >&2\nexit 1\n' "$top/bin/wine-says" >"$fake_wine"
        chmod +x "$fake_wine"
        ;;
      *)
        echo "scenarios.txt: no installation item \"$item\"" >&2
        return 1
        ;;
    esac
  done
  if [ -e "$game_dir/zephran.ini" ]; then
    cp "$game_dir/zephran.ini" "$top/settings.before"
  fi
}

# run_steps STEPS: the steps of a scenario, in order, up to the first that fails.
run_steps() {
  local step verb rest
  local -a steps
  IFS=';' read -ra steps <<<"$1"
  for step in "${steps[@]}"; do
    read -r verb rest <<<"$step"
    case $verb in
      window) main_window ;;
      click)
        if [ -n "${control_at[$rest]:-}" ]; then
          click ${control_at[$rest]}
        else
          echo "scenarios.txt: no control \"$rest\"" >&2
          false
        fi
        ;;
      keys) keys $rest ;;
      dismiss) dismiss "$rest" ;;
      pad) press_pad $rest ;;
      answer) dismiss "${rest#* }" "${rest%% *}" ;;
      ended) launcher_ended ;;
      running)
        kill -0 "$launcher_pid" 2>/dev/null || {
          echo "the launcher has ended" >&2
          false
        }
        ;;
      close) close_launcher ;;
      said)
        grep -qF -- "$rest" "$work/launcher.log" || {
          echo "the launcher did not say \"$rest\"" >&2
          false
        }
        ;;
      look) "look_$rest" ;;
      check) "check_$rest" ;;
      *)
        echo "scenarios.txt: no step \"$step\"" >&2
        false
        ;;
    esac || {
      echo "failed at: $step" >&2
      return 1
    }
  done
}

# check_game EXE ARG... | none: what the stand-in game reports.
check_game() {
  if [ "$1" = none ]; then
    [ ! -e "$game_dir/$report_name" ] || {
      echo "a game was started" >&2
      return 1
    }
  else
    expect_equal "$(report_of "$game_dir")" "$(expected_report "$game_dir" "$@")"
  fi
}

# check_settings TOP VALUES: the settings file after the scenario.
check_settings() {
  local top=$1 file=$game_dir/zephran.ini
  shift
  case $1 in
    absent)
      [ ! -e "$file" ] || {
        echo "a settings file was written" >&2
        return 1
      }
      ;;
    unchanged)
      cmp -s "$top/settings.before" "$file" || {
        echo "the settings file was changed:" >&2
        cat -A "$file" >&2
        return 1
      }
      ;;
    *) expect_equal "$(od -An -c "$file")" "$(with_values "$@" <"$top/settings.before" | as_written | od -An -c)" ;;
  esac
}

# run_scenario: the scenario in name, only, install, steps, game and settings.
run_scenario() {
  local top=$work/$name
  scale=1
  rm -f "$work/launcher.log"
  if [ -n "$install" ]; then
    if [ -z "$game" ] || [ -z "$settings" ]; then
      echo "scenarios.txt: $name says nothing of the game or the settings" >&2
      return 1
    fi
    make_installation "$top" "$install" || return 1
    if [ -n "$fake_wine" ]; then
      WINE=$fake_wine start_launcher "$launcher_dir"
    else
      start_launcher "$launcher_dir"
    fi
  fi
  run_steps "$steps" || return 1
  [ -n "$launcher_pid" ] && close_launcher
  if [ -n "$install" ]; then
    # Words of the table, split as written.
    # shellcheck disable=SC2086
    check_game $game && check_settings "$top" $settings
  fi
}

# run_scenarios LABEL: every scenario of this program's (or those in $only),
# each after the last one's launcher is gone; prints "LABEL: N passed, N failed".
run_scenarios() {
  local passed=0 failed=0 line field value record="" name only_for install steps game settings
  local -a lines records=()
  mapfile -t lines <"$scenario_table"
  # Paragraphs, comments left out.
  for line in "${lines[@]}" ""; do
    if [ -z "$line" ]; then
      [ -n "$record" ] && records+=("$record")
      record=""
    elif [[ $line != '#'* ]]; then
      record+=$line$'\n'
    fi
  done
  for record in "${records[@]}"; do
    name="" only_for="" install="" steps="" game="" settings=""
    while read -r field value; do
      case $field in
        scenario) name=$value ;;
        only) only_for=$value ;;
        install) install+=${install:+;}$value ;;
        do) steps+=${steps:+;}$value ;;
        game) game=$value ;;
        settings) settings=$value ;;
        *)
          echo "scenarios.txt: no field \"$field\"" >&2
          return 1
          ;;
      esac
    done <<<"${record%$'\n'}"
    [ -n "$only_for" ] && [ "$only_for" != "$program" ] && continue
    if [ ${#only[@]} -gt 0 ] && [[ ! " ${only[*]} " == *" $name "* ]]; then
      continue
    fi
    if run_scenario; then
      echo "PASS $name"
      passed=$((passed + 1))
    else
      echo "FAIL $name"
      sed 's/^/  launcher: /' "$work/launcher.log" 2>/dev/null
      failed=$((failed + 1))
    fi
    [ -n "$launcher_pid" ] && close_launcher
  done
  echo "$1: $passed passed, $failed failed"
  [ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
}
