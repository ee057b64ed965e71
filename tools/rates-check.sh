#!/usr/bin/env bash
# Checks that the built player (build/zorvane; BUILD/zorvane for `rates-check.sh BUILD`) plays files
# at other rates as cleanly as a good resampler does: for tones in MP3s at 32, 44.1 and 48 kHz, the
# THD+N of what the player wrote to SDL's disk audio (at 44 100 Hz, as that device names no rate of
# its own) must be within 3 dB of mpg123's own-rate decode of the same file resampled by sox at very
# high quality (`rate -v 44100`). THD+N: the best-fitting sine of the tone's frequency (least
# squares) is the signal, the rest distortion and noise. Builds nothing; needs sox, lame, mpg123,
# xvfb-run and xdotool.
#
# Each track plays alone: the player runs from a copy whose direc.zvn names a folder holding only
# that track, on a virtual display; the media key "next" starts it and the volume key takes it to
# full volume.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/lib/player-window.sh
self="$PWD/tools/rates-check.sh"
seconds=3                 # each tone's length
cases="32000:11000 44100:15000 48000:15000"  # file rate : tone frequency

if [ -z "${ZV_RATES_CHECK_DIR:-}" ]; then
  build="${1:-build}"
  player="$PWD/$build/zorvane"
  [ -x "$player" ] || { echo "rates-check: $player is not built" >&2; exit 2; }
  for tool in sox lame mpg123 xvfb-run xdotool od awk; do
    command -v "$tool" >/dev/null || { echo "rates-check: $tool is missing (tools/install-deps.sh)" >&2; exit 2; }
  done
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  cp "$player" "$scratch/zorvane"
  status=0
  ZV_RATES_CHECK_DIR="$scratch" timeout -k 5 120 env -u DBUS_SESSION_BUS_ADDRESS -u WAYLAND_DISPLAY \
    -u SDL_VIDEODRIVER xvfb-run -a -s "-screen 0 480x700x24 -noreset" bash "$self" || status=$?
  [ "$status" -eq 0 ] && echo "rates-check: passed" || echo "rates-check: FAILED (exit $status)" >&2
  exit "$status"
fi

# Inside the virtual display.
dir="$ZV_RATES_CHECK_DIR"
failures=0

# THD+N in dB of the left channel of raw 16-bit stereo at 44 100 Hz against a sine of HZ, over 1.5 s
# from 0.5 s after the sound starts. One pass: the least-squares residual is the energy less what
# the fit explains.
thd_n() {
  od -An -v -t d2 -w4 "$1" | awk -v hz="$2" '
    function abs(x) { return x < 0 ? -x : x }
    BEGIN { rate = 44100; w = 2 * atan2(0, -1) * hz / rate; start = -1 }
    {
      i = NR - 1
      if (start < 0) { if (abs($1) > 2000) start = i + rate / 2; next }
      if (i < start) next
      if (i >= start + rate * 3 / 2) next  # read on: leaving early would break the pipe
      k = i - start; s = sin(w * k); c = cos(w * k); x = $1
      ss += s * s; cc += c * c; sc += s * c; s1 += s; c1 += c; n += 1
      xs += x * s; xc += x * c; x1 += x; xx += x * x
    }
    END {
      if (n < rate) { print "none"; exit }
      # Solve [ss sc s1; sc cc c1; s1 c1 n] [a b d] = [xs xc x1] by Cramer.
      det = ss * (cc * n - c1 * c1) - sc * (sc * n - c1 * s1) + s1 * (sc * c1 - cc * s1)
      a = (xs * (cc * n - c1 * c1) - sc * (xc * n - c1 * x1) + s1 * (xc * c1 - cc * x1)) / det
      b = (ss * (xc * n - x1 * c1) - xs * (sc * n - c1 * s1) + s1 * (sc * x1 - xc * s1)) / det
      d = (ss * (cc * x1 - c1 * xc) - sc * (sc * x1 - s1 * xc) + xs * (sc * c1 - cc * s1)) / det
      signal = a * a * ss + 2 * a * b * sc + b * b * cc
      residual = xx - (a * xs + b * xc + d * x1)
      if (residual < 1e-9) residual = 1e-9
      printf "%.1f\n", 10 * log(residual / signal) / log(10)
    }'
}

printf '%-9s %-9s %-18s %-18s %s\n' "file" "tone" "player (dB)" "sox -v (dB)" "verdict"
for c in $cases; do
  rate=${c%%:*}
  hz=${c##*:}
  name="tone-$rate"
  mkdir -p "$dir/$name/music" "$dir/$name/run"
  sox -n -r "$rate" -c 2 -b 16 "$dir/$name/tone.wav" synth "$seconds" sine "$hz" vol 0.5
  lame --quiet -b 320 --resample "$(awk -v r="$rate" 'BEGIN { print r / 1000 }')" "$dir/$name/tone.wav" \
    "$dir/$name/music/$name.mp3"
  # The reference: mpg123 at the file's own rate, then sox's very-high-quality resampling.
  mpg123 -q -w "$dir/$name/own.wav" "$dir/$name/music/$name.mp3"
  sox "$dir/$name/own.wav" -t raw -e signed -b 16 -c 2 "$dir/$name/reference.raw" rate -v 44100

  # The player: one track in its folder, started with the media key, stopped after the tone.
  cp "$dir/zorvane" "$dir/$name/zorvane"
  printf '%s/\n' "$dir/$name/music" >"$dir/$name/direc.zvn"
  (cd "$dir/$name" && exec env SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$dir/$name/played.raw" \
    ZORVANE_RUNTIME_DIR="$dir/$name/run" ./zorvane) >/dev/null 2>"$dir/$name/stderr" &
  pid=$!
  window=$(await_window "$pid")
  if [ -z "$window" ]; then
    echo "  $name: the player showed no window" >&2
    failures=$((failures + 1))
  else
    # From the player's 50 of 255 in steps of 20 to full volume (270 sounds as 255), so what is
    # measured is the resampling, not the gain's rounding at a lower level.
    xdotool windowfocus --sync "$window" key XF86AudioNext $(printf 'XF86AudioRaiseVolume %.0s' $(seq 11)) \
      2>/dev/null || true
    sleep "$((seconds + 1))"
  fi
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true

  played=none
  [ -s "$dir/$name/played.raw" ] && played=$(thd_n "$dir/$name/played.raw" "$hz")
  reference=$(thd_n "$dir/$name/reference.raw" "$hz")
  verdict=FAILED
  if [ "$played" != none ] && [ "$reference" != none ] &&
    awk -v p="$played" -v r="$reference" 'BEGIN { exit !(p <= r + 3) }'; then
    verdict=ok
  fi
  [ "$verdict" = ok ] || failures=$((failures + 1))
  printf '%-9s %-9s %-18s %-18s %s\n' "$rate Hz" "$hz Hz" "$played" "$reference" "$verdict"
done
[ "$failures" -eq 0 ]
