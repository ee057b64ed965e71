#!/usr/bin/env bash
# Checks the built player (build/zorvane) in full screen on a virtual display of 500 x 700: its
# window covers the display and shows the 240 x 320 screen at scale 2 at (10, 30), black around
# it, and a tap on the now-playing panel's "next" button there (screen point 203, 300) plays the
# next track. Then the window is resized to 400 x 600 (as a window manager would): the same
# picture now shows at scale 1 at (80, 140), a press in the border under "next" does nothing, and
# a tap on "next" at its new place plays the next track again.
#
# The display is Xvfb with its framebuffer in a file (-fbdir), read here as pixels: no screenshot
# tool is needed. The player runs from a copy in a temporary folder beside a direc.zvn naming a
# folder of three demo tracks, each with its own cover, so every new track rewrites album.jpg
# there; with SDL's disk audio and its own ZORVANE_RUNTIME_DIR. Builds nothing: needs
# build/zorvane and build/zv_make_library (or the demo library in build/demo).
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/lib/player-window.sh
self="$PWD/tools/fullscreen-check.sh"
player="$PWD/build/zorvane"
fail() {
  echo "fullscreen-check: $*" >&2
  exit 1
}

if [ -z "${ZV_FULLSCREEN_CHECK_DIR:-}" ]; then
  [ -x "$player" ] || { echo "fullscreen-check: $player is not built" >&2; exit 2; }
  for tool in xvfb-run xdotool python3; do
    command -v "$tool" >/dev/null || { echo "fullscreen-check: $tool is not installed" >&2; exit 2; }
  done
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  mkdir -p "$scratch/app" "$scratch/music" "$scratch/run" "$scratch/fb"
  if [ -d "build/demo/Glass Harbour" ]; then
    cp -r "build/demo/Glass Harbour/." "$scratch/music/"
  else
    [ -x build/zv_make_library ] || fail "build/zv_make_library is not built"
    build/zv_make_library --demo "$scratch/demo" >/dev/null || fail "zv_make_library --demo failed"
    cp -r "$scratch/demo/Glass Harbour/." "$scratch/music/"
  fi
  cp "$player" "$scratch/app/zorvane"
  printf '%s/\n' "$scratch/music" >"$scratch/app/direc.zvn"
  status=0
  ZV_FULLSCREEN_CHECK_DIR="$scratch" timeout -k 5 120 env -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER -u ZORVANE_SCALE \
    xvfb-run -a -s "-screen 0 500x700x24 -fbdir $scratch/fb -noreset" bash "$self" || status=$?
  [ "$status" -eq 0 ] && echo "fullscreen-check: passed" || echo "fullscreen-check: FAILED (exit $status)" >&2
  exit "$status"
fi

# Inside the virtual display.
dir=$ZV_FULLSCREEN_CHECK_DIR
screen_file="$dir/fb/Xvfb_screen0"
(cd "$dir/app" && exec env SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$dir/heard.raw" ZORVANE_RUNTIME_DIR="$dir/run" \
  ./zorvane --fullscreen) >/dev/null 2>"$dir/stderr" &
pid=$!
finish() { stop_player "$pid"; }
stop_with() {
  finish
  echo "fullscreen-check: $*; the player's standard error:" >&2
  sed 's/^/  /' "$dir/stderr" >&2
  exit 1
}

# Reads the display's framebuffer (the XWD file Xvfb keeps it in) and checks where the screen
# is: `picture SNAPSHOT WX WY WW WH SCALE X Y [REFERENCE RX RY]` checks that the window at (WX, WY)
# of WW x WH holds nothing but black outside a picture at (X, Y) of it, that the picture is made
# of SCALE x SCALE blocks, that its drawn part reaches its left, right and top edges (the skin's
# top strip spans the screen), and, given a REFERENCE snapshot with a scale-1 picture at (RX, RY)
# of the screen, that both show the same 240 x 320 pixels.
pixels() {
  python3 - "$@" <<'EOF'
import array, struct, sys

def load(path):
    data = open(path, 'rb').read()
    h = struct.unpack('>25I', data[:100])
    header, width, height, bpp, line, ncolors = h[0], h[4], h[5], h[11], h[12], h[19]
    if bpp != 32 or h[7] != 0:
        sys.exit('not a 32-bit little-endian framebuffer')
    pixels = array.array('I')
    start = header + ncolors * 12
    pixels.frombytes(data[start:start + line * height])
    if sys.byteorder != 'little':
        pixels.byteswap()
    return width, line // 4, pixels

def screen(shot, x0, y0, scale):
    _, stride, px = shot
    return [px[(y0 + y * scale) * stride + x0 + x * scale] & 0xffffff for y in range(320) for x in range(240)]

args = sys.argv[1:]
shot = load(args[0])
wx, wy, ww, wh, scale, x, y = map(int, args[1:8])
_, stride, px = shot
ax, ay = wx + x, wy + y  # the picture on the display
problems = []
border = [(i, j) for j in range(wy, wy + wh) for i in range(wx, wx + ww)
          if not (ax <= i < ax + 240 * scale and ay <= j < ay + 320 * scale) and px[j * stride + i] & 0xffffff]
if border:
    problems.append(f'{len(border)} border pixels are not black, the first at {border[0][0] - wx},{border[0][1] - wy}')
blocks = sum(1 for j in range(320 * scale) for i in range(240 * scale)
             if px[(ay + j) * stride + ax + i] != px[(ay + j - j % scale) * stride + ax + i - i % scale])
if blocks:
    problems.append(f'{blocks} picture pixels differ from their {scale} x {scale} block')
pic = screen(shot, ax, ay, scale)
drawn = [(i % 240, i // 240) for i, v in enumerate(pic) if v]
if not drawn or min(p[0] for p in drawn) != 0 or max(p[0] for p in drawn) != 239 or min(p[1] for p in drawn) != 0:
    problems.append('the drawn part does not reach the picture\'s left, right and top edges')
if len(args) > 8:
    ref = screen(load(args[8]), int(args[9]), int(args[10]), 1)
    diff = [i for i in range(len(pic)) if pic[i] != ref[i]]
    if diff:
        problems.append(f'{len(diff)} screen pixels differ from the reference, the first at {diff[0] % 240},{diff[0] // 240}')
if problems:
    sys.exit('; '.join(problems))
print(f'scale {scale} at ({x}, {y}) in {ww} x {wh}, black around it, {len(drawn)} of 76800 screen pixels drawn')
EOF
}

# Waits until the framebuffer holds still for a moment (the panel slides in at the start and
# repaints after a tap), then copies it to $1.
snapshot() {
  local previous="" current
  for _ in $(seq 50); do
    current=$(md5sum <"$screen_file")
    [ "$current" = "$previous" ] && break
    previous=$current
    sleep 0.2
  done
  cp "$screen_file" "$1"
}

cover() { md5sum 2>/dev/null <"$dir/app/album.jpg" || echo none; }

# Taps at a display point once a second until album.jpg changes (a second tap within half a
# second would be a double tap); the track playing now has a cover of its own.
tap_until_next_plays() {
  local before now
  before=$(cover)
  for _ in 1 2 3 4 5; do
    xdotool mousemove "$1" "$2" click 1
    for _ in $(seq 10); do
      now=$(cover)
      [ "$now" != "$before" ] && return 0
      sleep 0.1
    done
  done
  return 1
}

window=$(xdotool search --sync --onlyvisible --pid "$pid" 2>/dev/null | head -n 1) || true
[ -n "$window" ] || stop_with "no window"
eval "$(xdotool getwindowgeometry --shell "$window")"
[ "$X,$Y,$WIDTH,$HEIGHT" = "0,0,500,700" ] || stop_with "the full-screen window is ${WIDTH}x$HEIGHT at $X,$Y, not the display's 500x700"
echo "full screen: the window covers the 500 x 700 display"

snapshot "$dir/full.xwd"
pixels "$dir/full.xwd" 0 0 500 700 2 10 30 || stop_with "the full-screen picture is not as expected"
tap_until_next_plays $((10 + 203 * 2)) $((30 + 300 * 2)) || stop_with "a tap on next at scale 2 played nothing"
[ -s "$dir/heard.raw" ] || stop_with "next at scale 2 changed the cover, but nothing was heard"
echo "full screen: a tap on next at $((10 + 203 * 2)),$((30 + 300 * 2)) played the next track"

# A window manager's resize: the picture follows at once, at the scale that fits.
snapshot "$dir/playing.xwd"
xdotool windowsize "$window" 400 600
for _ in $(seq 50); do
  eval "$(xdotool getwindowgeometry --shell "$window")"
  [ "$WIDTH,$HEIGHT" = "400,600" ] && break
  sleep 0.1
done
[ "$WIDTH,$HEIGHT" = "400,600" ] || stop_with "the window did not take 400x600 (it is ${WIDTH}x$HEIGHT)"
snapshot "$dir/resized.xwd"
pixels "$dir/resized.xwd" "$X" "$Y" 400 600 1 80 140 || stop_with "the resized picture is not as expected"
pixels "$dir/playing.xwd" 0 0 500 700 2 10 30 "$dir/resized.xwd" $((X + 80)) $((Y + 140)) ||
  stop_with "the resized picture is not the screen shown before the resize"

# A press in the border just under "next" would land on it if the border counted as its edge.
before=$(cover)
xdotool mousemove $((X + 80 + 203)) $((Y + 590)) click 1
sleep 1.5
[ "$(cover)" = "$before" ] || stop_with "a press in the border under next played the next track"
tap_until_next_plays $((X + 80 + 203)) $((Y + 140 + 300)) || stop_with "a tap on next at scale 1 played nothing"
echo "resized: a press in the border does nothing; a tap on next at $((80 + 203)),$((140 + 300)) plays the next track"

finish
[ "$status" -eq 0 ] || stop_with "the player exited with $status on SIGTERM"
