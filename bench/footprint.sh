#!/usr/bin/env bash
# The player's footprint, measured from outside as a user's machine sees it: the built binary on a
# virtual display, with SDL's disk audio written to a tmpfs file.
#   - at rest (after the audio grace period): CPU share of one core over 10 s, and wake-ups
#     (context switches of all its threads) per second;
#   - resident memory at rest with 20 000 and 100 000 tracks (hard links to one small file);
#   - playing a 320 kbps track: CPU per second of audio, against `mpg123 -q -t` decoding the same
#     file, as a ratio measured in the same run.
# Usage: bench/footprint.sh [build folder] [seconds to measure]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-10}
grace=${ZV_FOOTPRINT_GRACE:-8}  # start-up plus the audio device's grace period
for tool in Xvfb xdotool mpg123; do
  command -v "$tool" >/dev/null || { echo "footprint: needs $tool (apt-get install xvfb xdotool mpg123)" >&2; exit 2; }
done
[ -x "$build/zorvane" ] && [ -x "$build/zv_make_library" ] || { echo "footprint: build $build first" >&2; exit 2; }

work=$(mktemp -d /dev/shm/zv-footprint-XXXXXX 2>/dev/null || mktemp -d)
display=:$((200 + RANDOM % 500))
Xvfb "$display" -screen 0 240x320x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
player=""
cleanup() {
  [ -n "$player" ] && kill "$player" 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export DISPLAY=$display
sleep 1

# Nanoseconds on a CPU and context switches, summed over the process's threads.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{s += $1} END {printf "%d", s}'; }
switches() {
  cat /proc/"$1"/task/*/status 2>/dev/null | awk '/ctxt_switches/ {s += $2} END {printf "%d", s}'
}
rss_mb() { awk '/VmRSS/ {printf "%.1f", $2 / 1024}' /proc/"$1"/status; }

# A copy of the player in its own folder (the program's folder holds direc.zvn and album.jpg).
start_player() {  # music folder
  local app="$work/app"
  rm -rf "$app" && mkdir -p "$app/rt"
  cp "$build/zorvane" "$app/"
  printf '%s/' "$1" >"$app/direc.zvn"
  SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$work/audio.raw" ZORVANE_SCALE=1 ZORVANE_RUNTIME_DIR="$app/rt" \
    "$app/zorvane" >/dev/null 2>&1 &
  player=$!
}
stop_player() {
  kill "$player" 2>/dev/null || true
  wait "$player" 2>/dev/null || true
  player=""
}

"$build/zv_make_library" --dense "$work/dense.mp3" 60
mkdir -p "$work/one"
cp "$work/dense.mp3" "$work/one/track.mp3"

# At rest: nothing has played since start-up.
start_player "$work/one"
sleep "$grace"
c0=$(cpu_ns "$player") w0=$(switches "$player")
sleep "$seconds"
c1=$(cpu_ns "$player") w1=$(switches "$player")
rest_rss=$(rss_mb "$player")
stop_player
awk -v c=$((c1 - c0)) -v w=$((w1 - w0)) -v s="$seconds" -v r="$rest_rss" 'BEGIN {
  printf "rest: %.3f %% of a core, %.1f wake-ups/s, %s MB resident (1 track)\n", c / (s * 1e7), w / s, r }'

# Playing: next on the start-up panel plays the track.
start_player "$work/one"
sleep 3
xdotool mousemove 204 303 click 1
sleep 2
c0=$(cpu_ns "$player")
sleep "$seconds"
c1=$(cpu_ns "$player")
stop_player
TIMEFORMAT='%3U %3S'
ref=$({ time mpg123 -q -t "$work/dense.mp3" >/dev/null 2>&1; } 2>&1 | tail -1)
awk -v c=$((c1 - c0)) -v s="$seconds" -v ref="$ref" 'BEGIN {
  split(ref, t, " "); m = (t[1] + t[2]) / 60; p = c / 1e9 / s
  printf "playing: %.2f ms CPU per s of audio; mpg123 -q -t: %.2f ms; ratio %.2f\n", p * 1e3, m * 1e3, p / m }'

# Resident memory at rest with large libraries.
for n in 20000 100000; do
  lib="$work/lib$n"
  mkdir -p "$lib/d0"
  for ((i = 0; i < 1000; ++i)); do ln "$work/one/track.mp3" "$lib/d0/t$i.mp3"; done
  for ((d = 1; d < n / 1000; ++d)); do cp -al "$lib/d0" "$lib/d$d"; done
  start_player "$lib"
  sleep "$grace"
  echo "rest: $(rss_mb "$player") MB resident ($n tracks)"
  stop_player
  rm -rf "$lib"
done
