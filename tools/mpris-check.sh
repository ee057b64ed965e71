#!/usr/bin/env bash
# Checks the built player (build/zorvane; BUILD/zorvane for `mpris-check.sh BUILD`) on the session
# bus as an MPRIS media player, with playerctl as the desktop's media controls: it is listed, plays
# on "next", shows its status and the track's title, artist and object-path track id, pauses, steps
# to the next track (each change arriving as a signal), takes a volume in its own steps, and quits
# with exit code 0 on Quit. While a track is open it can be sought: `playerctl position 10` puts it at
# 10 s (heard as Seeked; a paused track stays paused), and past its end plays the next track. Each cover has an art URL of
# its own, a copy in the runtime folder that goes when the cover changes and when the player exits.
# Its window carries the application id as its class, and the keyboard's play key pauses it.
#
# The player runs from a copy in a temporary folder whose direc.zvn names a demo library
# (zv_make_library --demo), on its own session bus (dbus-run-session) and virtual display
# (xvfb-run), with SDL's disk audio and its own ZORVANE_RUNTIME_DIR. Builds nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
self="$PWD/tools/mpris-check.sh"

if [ -z "${ZV_MPRIS_CHECK_DIR:-}" ]; then
  build="${1:-build}"  # another build folder (a sanitizer build) may be named
  player="$PWD/$build/zorvane"
  maker="$PWD/$build/zv_make_library"
  for f in "$player" "$maker"; do [ -x "$f" ] || { echo "mpris-check: $f is not built" >&2; exit 2; }; done
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  "$maker" --demo "$scratch/demo" >/dev/null
  mkdir -p "$scratch/app" "$scratch/run"
  cp "$player" "$scratch/app/zorvane"
  # One album, every track of it tagged.
  printf '%s/\n' "$scratch/demo/Aurora Fields" >"$scratch/app/direc.zvn"
  status=0
  ZV_MPRIS_CHECK_DIR="$scratch" timeout -k 5 60 env -u DBUS_SESSION_BUS_ADDRESS -u WAYLAND_DISPLAY \
    -u SDL_VIDEODRIVER dbus-run-session -- xvfb-run -a -s "-screen 0 480x700x24 -noreset" bash "$self" \
    2> >(grep -v -e 'Failed to set fd limit' -e 'became a monitor' -e 'Monitoring connection' >&2) || status=$?
  [ "$status" -eq 0 ] && echo "mpris-check: passed" || echo "mpris-check: FAILED (exit $status)" >&2
  exit "$status"
fi

# Inside the session bus and the virtual display.
dir="$ZV_MPRIS_CHECK_DIR"
failures=0
fail() {
  echo "  FAILED: $*" >&2
  failures=$((failures + 1))
}
# playerctl quotes object paths: 'path'.
ctl() { playerctl -p zorvane "$@" 2>/dev/null | tr -d "'"; }
# Waits up to 10 s for `ctl ARGS...` to print VALUE.
await() {
  local want=$1 got=""
  shift
  for _ in $(seq 100); do
    got=$(ctl "$@" || true)
    [ "$got" = "$want" ] && return 0
    sleep 0.1
  done
  echo "  waited for '$want' from '$*', last saw '$got'" >&2
  return 1
}
bus_get() {
  busctl --user get-property org.mpris.MediaPlayer2.zorvane /org/mpris/MediaPlayer2 "$@"
}

(cd "$dir/app" && exec env SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$dir/audio.raw" ZORVANE_RUNTIME_DIR="$dir/run" \
  ./zorvane) >/dev/null 2>"$dir/stderr" &
pid=$!

listed=""
for _ in $(seq 100); do
  listed=$(playerctl -l 2>/dev/null || true)
  grep -qx zorvane <<<"$listed" && break
  sleep 0.1
done
grep -qx zorvane <<<"$listed" && echo "listed: $(tr '\n' ' ' <<<"$listed")" || fail "playerctl -l lists '$listed'"
echo "identity: $(bus_get org.mpris.MediaPlayer2 Identity), entry: $(bus_get org.mpris.MediaPlayer2 DesktopEntry)"
window=$(xdotool search --class '^org\.zorvane\.Zorvane$' 2>/dev/null | head -n 1 || true)
[ -n "$window" ] || fail "no window of class org.zorvane.Zorvane"
await Stopped status || fail "status before playing is not Stopped"

playerctl -p zorvane status --follow >"$dir/status.log" 2>/dev/null &
follow_status=$!
playerctl -p zorvane metadata --follow --format '{{mpris:trackid}} {{xesam:title}}' >"$dir/metadata.log" 2>/dev/null &
follow_metadata=$!
dbus-monitor --session "type='signal',interface='org.mpris.MediaPlayer2.Player',member='Seeked'" \
  "type='signal',path='/org/mpris/MediaPlayer2',member='PropertiesChanged'" >"$dir/signals.log" 2>/dev/null &
monitor=$!
# The values of the signals named $1 that the monitor saw (an argument, or a changed property $2).
signalled() {
  if [ "$1" = Seeked ]; then
    awk '/member=Seeked/ { s = 1; next } s && /int64/ { print $2; s = 0 }' "$dir/signals.log"
  else
    awk -v p="\"$2\"" '$1 == "string" && $2 == p { s = 1; next } s { print $NF; s = 0 }' "$dir/signals.log"
  fi
}
for _ in $(seq 100); do  # the followers have subscribed once the first prints
  [ -s "$dir/status.log" ] && break
  sleep 0.1
done
sleep 0.2

ctl next
await Playing status || fail "next did not start playback"
meta=$(ctl metadata --format '{{mpris:trackid}}|{{xesam:title}}|{{xesam:artist}}|{{mpris:length}}|{{mpris:artUrl}}')
echo "playing: $meta"
IFS='|' read -r trackid title artist length art <<<"$meta"
[[ "$trackid" == /org/zorvane/track/* ]] || fail "track id '$trackid'"
[ -n "$title" ] && [ -n "$artist" ] || fail "title '$title', artist '$artist'"
[ "${length:-0}" -gt 0 ] 2>/dev/null || fail "length '$length'"
if [ -n "$art" ]; then [ -s "${art#file://}" ] || fail "art '$art' is no file"; fi
bus_get org.mpris.MediaPlayer2.Player Metadata | grep -q '"mpris:trackid" o "/org/zorvane/track/' ||
  fail "mpris:trackid is not an object path"
covers="$dir/run/zorvane-covers"
[[ "$art" == "file://$covers/"* ]] && [ -s "${art#file://}" ] || fail "art '$art' is no copy in $covers"

# Seeking while it sounds: to 10 s, then past the end, which plays the next track.
echo "can seek: $(bus_get org.mpris.MediaPlayer2.Player CanSeek)"
[ "$(bus_get org.mpris.MediaPlayer2.Player CanSeek)" = "b true" ] || fail "CanSeek is not true while playing"
ctl position 10
position=""
for _ in $(seq 50); do
  position=$(ctl position || true)
  awk -v p="$position" 'BEGIN { exit !(p >= 9.5 && p < 12) }' && break
  sleep 0.1
done
echo "position after 'position 10': $position s"
awk -v p="$position" 'BEGIN { exit !(p >= 9.5 && p < 12) }' || fail "position reads $position after 'position 10'"
seeked=""
for _ in $(seq 50); do
  seeked=$(signalled Seeked | head -n 1)
  [ -n "$seeked" ] && break
  sleep 0.1
done
echo "seeked: ${seeked:-none}"
[ "$seeked" = "10000000" ] || fail "Seeked after 'position 10' was '${seeked:-none}'"
ctl position 1000+
await_other() {  # waits up to 10 s for the track id to leave $1
  local got=""
  for _ in $(seq 100); do
    got=$(ctl metadata --format '{{mpris:trackid}}' || true)
    [ -n "$got" ] && [ "$got" != "$1" ] && return 0
    sleep 0.1
  done
  return 1
}
await_other "$trackid" || fail "a seek past the end kept the track $trackid"
sleep 0.3  # the new track's cover copy arrives with its metadata
meta=$(ctl metadata --format '{{mpris:trackid}}|{{mpris:artUrl}}')
IFS='|' read -r trackid next_art <<<"$meta"
echo "past the end: $trackid, art $next_art"
[[ "$next_art" == "file://$covers/"* ]] && [ -s "${next_art#file://}" ] || fail "art '$next_art' is no copy"
[ "$next_art" != "$art" ] || fail "two covers share the art URL $art"
[ ! -e "${art#file://}" ] || fail "the previous cover's copy ${art#file://} was left"

ctl play-pause
await Paused status || fail "play-pause did not pause"
# A paused track can be sought, and stays paused.
[ "$(bus_get org.mpris.MediaPlayer2.Player CanSeek)" = "b true" ] || fail "CanSeek is not true while paused"
ctl position 5
paused_at=$(ctl position || echo 0)
echo "paused, after 'position 5': $paused_at s, $(ctl status)"
[ "${paused_at%%.*}" = "5" ] && [ "$(ctl status)" = "Paused" ] || fail "a paused seek read $paused_at s"
ctl next
await Playing status || fail "next did not play on"
second=$(ctl metadata --format '{{mpris:trackid}}')
[ "$second" != "$trackid" ] && echo "next: $second" || fail "next kept the track id $trackid"
position=$(ctl position || echo 0)
echo "position: $position s"

before=$(ctl volume)
ctl volume 0.5
after=""
for _ in $(seq 50); do
  after=$(ctl volume)
  [ "$after" != "$before" ] && break
  sleep 0.1
done
# From 50 of 255 in steps of 20, the nearest to 0.5 is 130 of 255.
echo "volume: $before, set to 0.5, reads $after"
[ "$after" = "0.509804" ] || fail "volume after 0.5 reads $after"

# The keyboard's play key, as SDL reports it, pauses as play-pause does.
if [ -n "$window" ]; then
  xdotool windowfocus --sync "$window" key XF86AudioPlay 2>/dev/null || true
  await Paused status && echo "play key: Paused" || fail "the play key did not pause"
fi

sleep 0.5  # the followers print what they heard
kill "$follow_status" "$follow_metadata" "$monitor" 2>/dev/null || true
wait "$follow_status" "$follow_metadata" "$monitor" 2>/dev/null || true
echo "status signals: $(tr '\n' ' ' <<<"$(cat "$dir/status.log")")"
echo "CanSeek signals: $(signalled PropertiesChanged CanSeek | tr '\n' ' ')"
[ "$(signalled PropertiesChanged CanSeek | tr '\n' ' ')" = "true " ] || fail "CanSeek signals"
[ "$(tr '\n' ' ' <"$dir/status.log")" = "Stopped Playing Paused Playing Paused " ] || fail "status signals"
echo "metadata signals: $(tr -d "'" <"$dir/metadata.log" | tr '\n' ';')"
[ "$(tr -d "'" <"$dir/metadata.log" | cut -d' ' -f1 | grep '^/org/zorvane/track/' | sort -u | wc -l)" -ge 2 ] ||
  fail "metadata signals did not follow both tracks"

busctl --user call org.mpris.MediaPlayer2.zorvane /org/mpris/MediaPlayer2 org.mpris.MediaPlayer2 Quit ||
  fail "Quit call failed"
exited=0
for _ in $(seq 100); do
  kill -0 "$pid" 2>/dev/null || { exited=1; break; }
  sleep 0.1
done
[ "$exited" -eq 1 ] || { fail "still running 10 s after Quit"; kill -KILL "$pid" 2>/dev/null || true; }
code=0
wait "$pid" || code=$?
echo "exit code after Quit: $code"
[ "$code" -eq 0 ] || { fail "exit code $code"; cat "$dir/stderr" >&2; }
left=$(ls -A "$covers" 2>/dev/null || true)
[ -z "$left" ] && echo "cover copies after exit: none" || fail "cover copies left after exit: $left"
[ "$failures" -eq 0 ]
