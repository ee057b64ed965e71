#!/usr/bin/env bash
# Starts the built player (build/zorvane) COUNT times in a row (default 50) on a virtual display
# and checks that every start shows its window without loading an OpenGL library (a 240 x 320
# picture goes through the window's framebuffer) and closes cleanly on SIGTERM; then checks that a
# start with no display says so on standard error and exits 1 at once. Builds nothing.
#
# Each start runs in an empty working folder (no direc.zvn beside the player, so it scans only
# that folder), with its own ZORVANE_RUNTIME_DIR (no start finds another) and SDL's dummy audio.
# The X server runs with -noreset: by default Xvfb resets when its last client leaves and drops
# a connection still being set up, so a start at that moment could not open the display.
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-50}
player="$PWD/build/zorvane"
self="$PWD/tools/launch-check.sh"
window_wait=20  # seconds; a start on a busy two-core machine takes about 1 s
[ -x "$player" ] || { echo "launch-check: $player is not built" >&2; exit 2; }

if [ -z "${ZV_LAUNCH_CHECK_INNER:-}" ]; then
  # Without a display first, then the launches inside one virtual display.
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  free=50
  while [ -e "/tmp/.X$free-lock" ] || [ -e "/tmp/.X11-unix/X$free" ]; do free=$((free + 1)); done
  no_display_ok=1
  for case in "DISPLAY=:$free" "no DISPLAY"; do
    display_env=(-u DISPLAY)
    [ "$case" = "no DISPLAY" ] || display_env=(DISPLAY=":$free")
    mkdir -p "$scratch/work" "$scratch/run"
    start=$SECONDS
    status=0
    (cd "$scratch/work" && exec env -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER -u XDG_RUNTIME_DIR "${display_env[@]}" \
      ZORVANE_RUNTIME_DIR="$scratch/run" SDL_AUDIODRIVER=dummy timeout -k 2 10 "$player") \
      >/dev/null 2>"$scratch/stderr" || status=$?
    took=$((SECONDS - start))
    if [ "$status" -eq 1 ] && [ "$took" -le 5 ] && grep -q '^zorvane: cannot open the display: ' "$scratch/stderr"; then
      echo "no display ($case): exit 1 after ${took}s: $(head -n 1 "$scratch/stderr")"
    else
      echo "no display ($case): FAILED, exit $status after ${took}s, standard error:" >&2
      cat "$scratch/stderr" >&2
      no_display_ok=0
    fi
  done
  launches=0
  ZV_LAUNCH_CHECK_INNER=1 xvfb-run -a -s "-screen 0 480x700x24 -noreset" bash "$self" "$count" || launches=$?
  if [ "$no_display_ok" -ne 1 ] || [ "$launches" -ne 0 ]; then exit 1; fi
  exit 0
fi

# Inside the virtual display: one start after the other, each waited for before the next.
shown=0
for ((i = 1; i <= count; i++)); do
  work=$(mktemp -d)
  run=$(mktemp -d)
  (cd "$work" && exec env ZORVANE_RUNTIME_DIR="$run" SDL_AUDIODRIVER=dummy "$player") >/dev/null 2>"$run/stderr" &
  pid=$!
  result="no window after ${window_wait}s"
  deadline=$((SECONDS + window_wait))
  while :; do
    if xdotool search --onlyvisible --pid "$pid" >/dev/null 2>&1; then
      result=shown
      if grep -qE 'libGL|libEGL|libLLVM' "/proc/$pid/maps" 2>/dev/null; then result="shown, but OpenGL loaded"; fi
      break
    fi
    if ! kill -0 "$pid" 2>/dev/null; then
      result="exited before showing a window"
      break
    fi
    [ "$SECONDS" -lt "$deadline" ] || break
    sleep 0.1
  done
  # SDL turns SIGTERM into the close button, which quits with 0.
  kill -TERM "$pid" 2>/dev/null || true
  deadline=$((SECONDS + 10))
  while kill -0 "$pid" 2>/dev/null && [ "$SECONDS" -lt "$deadline" ]; do sleep 0.1; done
  kill -KILL "$pid" 2>/dev/null || true
  status=0
  wait "$pid" || status=$?
  if [ "$result" = shown ] && [ "$status" -ne 0 ]; then result="shown, but exit $status on SIGTERM"; fi
  if [ "$result" = shown ]; then
    shown=$((shown + 1))
  else
    echo "launch $i: $result (exit $status)" >&2
    sed 's/^/  /' "$run/stderr" >&2
  fi
  rm -rf "$work" "$run"
done
echo "$shown of $count launches showed the window"
[ "$shown" -eq "$count" ]
