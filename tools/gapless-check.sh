#!/usr/bin/env bash
# Checks the built player (build/zorvane; BUILD/zorvane for `gapless-check.sh BUILD`) as a listener
# hears an album cut without pauses: one 440 Hz sine, cut in two at a point that is no MP3 frame
# boundary and encoded by lame as two tracks (which records its delay and padding), is played
# through the automatic advance and compared with mpg123 playing the same two files (resampled by
# sox as one stream when they are not at the device's 44.1 kHz). The join
# must have no silence (no run of more than 8 near-zero samples), and neither the join nor the
# whole sine may stray from the sine fitted before it more than mpg123 does, plus 0.02 of the
# amplitude (an overlap of the two halves would show over the whole). It does so for tracks
# at 44.1 and 48 kHz, and checks that nothing is written to the sound device before the first play.
#
# The player runs from a copy in a temporary folder on a virtual display (xvfb-run), with SDL's
# disk audio (44.1 kHz) and its own ZORVANE_RUNTIME_DIR, and is started with its "next" button.
# Builds nothing; needs sox, lame and mpg123.
set -euo pipefail
cd "$(dirname "$0")/.."
. tools/lib/player-window.sh
self="$PWD/tools/gapless-check.sh"
build="${1:-build}"
player="$PWD/$build/zorvane"

if [ -z "${ZV_GAPLESS_CHECK_DIR:-}" ]; then
  [ -x "$player" ] || { echo "gapless-check: $player is not built" >&2; exit 2; }
  for tool in sox lame mpg123 xdotool; do
    command -v "$tool" >/dev/null || { echo "gapless-check: $tool is not installed" >&2; exit 2; }
  done
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  status=0
  ZV_GAPLESS_CHECK_DIR="$scratch" timeout -k 5 120 env -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER \
    xvfb-run -a -s "-screen 0 240x320x24 -noreset" bash "$self" "$build" || status=$?
  [ "$status" -eq 0 ] && echo "gapless-check: passed" || echo "gapless-check: FAILED (exit $status)" >&2
  exit "$status"
fi

# Inside the virtual display.
failures=0
cut=30301  # frames into the sine; not a multiple of 1152, and the halves start at distinct phases
for rate in 44100 48000; do
  dir="$ZV_GAPLESS_CHECK_DIR/$rate"
  mkdir -p "$dir/music" "$dir/app" "$dir/run"
  sox -n -r "$rate" -c 2 -b 16 "$dir/sine.wav" synth 1.5 sine 440 vol 0.5
  sox "$dir/sine.wav" "$dir/p1.wav" trim 0 "${cut}s"
  sox "$dir/sine.wav" "$dir/p2.wav" trim "${cut}s"
  lame --quiet -b 192 "$dir/p1.wav" "$dir/music/part1.mp3"
  lame --quiet -b 192 "$dir/p2.wav" "$dir/music/part2.mp3"
  # mpg123 plays the two files in order; at another rate than the device's, sox resamples that as
  # one stream (its very-high quality), as the player should sound.
  mpg123 -q -s "$dir/music/part1.mp3" "$dir/music/part2.mp3" 2>/dev/null |
    sox -t raw -r "$rate" -e signed -b 16 -c 2 - -t raw "$dir/mpg123.raw" rate -v 44100
  frames=$(soxi -s "$dir/sine.wav")

  cp "$player" "$dir/app/zorvane"
  printf '%s/\n' "$dir/music" >"$dir/app/direc.zvn"
  (cd "$dir/app" && exec env SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$dir/heard.raw" ZORVANE_SCALE=1 \
    ZORVANE_RUNTIME_DIR="$dir/run" ./zorvane) >/dev/null 2>&1 &
  pid=$!
  window=$(await_window "$pid")
  [ -n "$window" ] || { echo "  $rate Hz: FAILED: no window" >&2; kill "$pid"; failures=$((failures + 1)); continue; }
  sleep 1
  before=$(stat -c %s "$dir/heard.raw" 2>/dev/null || echo 0)
  [ "$before" -eq 0 ] || { echo "  $rate Hz: FAILED: $before bytes written before the first play" >&2; failures=$((failures + 1)); }
  # "Next" plays the second track of the list, whichever half the scan put there; both halves
  # and the join from the first half to the second are heard within the lengths of three halves.
  xdotool mousemove --window "$window" 203 300 click 1
  want=$(((frames * 2 + 22050) * 44100 / rate * 4))
  for _ in $(seq 200); do
    [ "$(stat -c %s "$dir/heard.raw" 2>/dev/null || echo 0)" -ge "$want" ] && break
    sleep 0.05
  done
  kill "$pid"
  wait "$pid" 2>/dev/null || true

  python3 - "$dir/heard.raw" "$dir/mpg123.raw" "$rate" "$cut" "$frames" <<'EOF' || failures=$((failures + 1))
import array, math, sys

heard_path, ref_path, rate, cut, frames = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])

def left(path):
    pcm = array.array('h')
    with open(path, 'rb') as f:
        pcm.frombytes(f.read())
    return pcm[0::2]

def fit(x, w, lo, hi, origin):
    """Least squares a*sin + b*cos of w*(i - origin) over [lo, hi): (a, b)."""
    ss = sc = cc = ys = yc = 0.0
    for i in range(lo, hi):
        s, c = math.sin(w * (i - origin)), math.cos(w * (i - origin))
        ss += s * s; sc += s * c; cc += c * c; ys += x[i] * s; yc += x[i] * c
    det = ss * cc - sc * sc
    return (ys * cc - yc * sc) / det, (yc * ss - ys * sc) / det

def first_sounding(x, quiet):
    return next(i for i, v in enumerate(x) if abs(v) > quiet)

def stray(x, w, fit_lo, lo, hi):
    """The largest distance of x over [lo, hi) from the sine fitted to 2048 frames from fit_lo,
    as a share of that sine's amplitude."""
    a, b = fit(x, w, fit_lo, fit_lo + 2048, 0)
    far = max(abs(x[i] - (a * math.sin(w * i) + b * math.cos(w * i))) for i in range(lo, hi))
    return far / math.hypot(a, b)

def join_of(x, w, start, join, end):
    """Silence (the longest near-zero run) around the join; the stray there from the sine just
    before it; and the stray over the whole sine from its start, which shows any overlap or shift."""
    quiet = max(abs(v) for v in x[join - 4410:join]) * 0.004  # of the amplitude just before
    run, longest = 0, 0
    for i in range(join - 4410, join + 4410):
        run = run + 1 if abs(x[i]) < quiet else 0
        longest = max(longest, run)
    return longest, stray(x, w, join - 2304, join - 256, join + 256), stray(x, w, start + 256, start + 256, end - 256)

# mpg123's two files in order, at 44.1 kHz.
ref = left(ref_path)
w = 2 * math.pi * 440 / 44100
part1 = round(cut * 44100 / rate)
part2 = round((frames - cut) * 44100 / rate)
ref_start = first_sounding(ref, 64)
ref_silence, ref_stray, ref_whole = join_of(ref, w, ref_start, ref_start + part1, ref_start + part1 + part2)

# The player at 44.1 kHz; which half it played first shows in the phase it starts at.
x = left(heard_path)
start = first_sounding(x, 64)
a, b = fit(x, w, start, start + 1024, start)
phase = math.atan2(b, a) % (2 * math.pi)
first_half_first = min(phase, 2 * math.pi - phase) < 0.4
join = start + part1 if first_half_first else start + part2 + part1
if join + part2 > len(x):
    print(f"  {rate} Hz: FAILED: only {len(x)} frames heard")
    sys.exit(1)
silence, at_join, whole = join_of(x, w, join - part1, join, join + part2)
ok = silence <= 8 and at_join <= ref_stray + 0.02 and whole <= ref_whole + 0.02
print(f"  {rate} Hz: player {silence / 44.1:.2f} ms of silence, stray {at_join:.4f} at the join and {whole:.4f} "
      f"over the sine; mpg123 {ref_silence / 44.1:.2f} ms, {ref_stray:.4f} and {ref_whole:.4f}"
      + ("" if ok else "  FAILED"))
sys.exit(0 if ok else 1)
EOF
done
exit $((failures > 0))
