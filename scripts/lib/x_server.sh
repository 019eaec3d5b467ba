# Sourced by the scripts and tests that show windows on an X server of their
# own, so that nothing shows on (or depends on) the desktop.
#
# start_x_server [COMMAND...]: starts a private Xvfb (1024x768, 24 bits, no
# TCP), through COMMAND when one is given (chrt, for example), and exports
# DISPLAY once the server takes clients. Its process is x_server_pid; call
# stop_x_server on the way out (from the caller's EXIT trap).
x_server_pid=""

start_x_server() {
  if ! command -v Xvfb >/dev/null; then
    echo "Xvfb not found (scripts/install-deps installs it)" >&2
    return 1
  fi
  local fifo_dir number=""
  fifo_dir=$(mktemp -d)
  mkfifo "$fifo_dir/display"
  # -noreset: by default the server resets when its last client leaves, and
  # a client connecting during that reset is turned away.
  "$@" Xvfb -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp \
    3>"$fifo_dir/display" 2>"$fifo_dir/log" &
  x_server_pid=$!
  # The server writes its display's number once it takes clients, and the
  # read ends at once should it fail first; the bound is for a hung server
  # only, never reached on a busy machine.
  read -r -t 120 number <"$fifo_dir/display" || true
  if [ -z "$number" ]; then
    echo "Xvfb did not start:" >&2
    cat "$fifo_dir/log" >&2
    rm -rf "$fifo_dir"
    stop_x_server
    return 1
  fi
  rm -rf "$fifo_dir"
  export DISPLAY=":$number"
}

stop_x_server() {
  if [ -n "$x_server_pid" ]; then
    kill "$x_server_pid" 2>/dev/null || true
    wait "$x_server_pid" 2>/dev/null || true
    x_server_pid=""
  fi
}
