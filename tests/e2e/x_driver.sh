# Shared by the end-to-end tests: driving a launcher window on an X server
# with xdotool, and running the test_ functions of the script that sources
# this. That script sets, before calling run_tests:
#   work           a scratch folder (launcher.log is shown for a failed test)
#   launcher_pid   the running launcher's process, or empty
#   only           the test names asked for (empty: all)
#   start_launcher DIR, and its own installations
# and may set how patient the driver is (Wine is slower than a native window):
#   x_tries        polls of 0.1 s while waiting for a window (default 100)
#   x_settle       seconds to let a new window draw and take input (0.3)
#   x_pause        seconds after a click or keys (0.2)
x_tries=${x_tries:-100}
x_settle=${x_settle:-0.3}
x_pause=${x_pause:-0.2}
window=""

add_save() {
  mkdir -p "$1/savegames/slot$2"
  touch "$1/savegames/slot$2/$3.nam"
}

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

# click X Y: a click at a point of the window's client area, in pixels.
click() {
  xdotool mousemove --window "$window" "$1" "$2" click 1
  sleep "$x_pause"
}

keys() {
  xdotool key --delay 100 "$@"
  sleep "$x_pause"
}

# dismiss TITLE: answers the message box of that title with Enter.
dismiss() {
  local box
  box=$(wait_window "$1") || {
    echo "no message box titled \"$1\"" >&2
    return 1
  }
  xdotool windowfocus --sync "$box"
  xdotool key Return
  for _ in $(seq 50); do
    xdotool search --onlyvisible --name "$(title_pattern "$1")" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  echo "message box \"$1\" is still open" >&2
  return 1
}

# The controls' centres, in client pixels.
new_game() { click 140 236; }
load_game() { click 90 276; }
cinema_box() { click 45 114; }
subtitles_box() { click 45 154; }

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

# run_tests LABEL: every test_ function (or those in $only), each after the
# last one's launcher is gone; prints "LABEL: N passed, N failed".
run_tests() {
  local passed=0 failed=0 name
  for name in $(declare -F | awk '{print $3}' | grep '^test_'); do
    if [ ${#only[@]} -gt 0 ] && [[ ! " ${only[*]} " == *" $name "* ]]; then
      continue
    fi
    if "$name"; then
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
  [ "$failed" -eq 0 ]
}
