# Shared by the black-box checks (sourced, not run).
# await_window PID [TENTHS]: prints the id of the visible window of process PID once it shows,
# waiting at most TENTHS tenths of a second (default 100); prints nothing when none shows.
await_window() {
  local pid=$1 tries=${2:-100} window=""
  for _ in $(seq "$tries"); do
    window=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.1
  done
  echo "$window"
}

# stop_player PID: asks process PID to end (SIGTERM), kills it after 10 s, and sets `status` to
# its exit status.
stop_player() {
  local pid=$1
  kill -TERM "$pid" 2>/dev/null || true
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
  status=0
  wait "$pid" || status=$?
}
