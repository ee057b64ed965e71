#!/usr/bin/env bash
# Installs the built player into a temporary prefix (cmake --install), checks that every file of
# the desktop application is in place and passes desktop-file-validate and appstreamcli, then
# starts the installed player on a virtual display as a new user would: first with an empty home,
# where it must show the first-start hint, then with one track in ~/Music. It must create its
# per-user folder ($XDG_DATA_HOME/zorvane) holding default.jpg, and a tap on "next" must play the
# track from ~/Music and write its cover to album.jpg there. Builds nothing: run it after a full build of build/.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/lib/player-window.sh
self="$PWD/tools/install-check.sh"
app_id=org.zorvane.Zorvane
window_wait=20  # seconds
fail() {
  echo "install-check: $*" >&2
  exit 1
}

if [ -z "${ZV_INSTALL_CHECK_INNER:-}" ]; then
  [ -x build/zorvane ] || fail "build/zorvane is not built"
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
  stage="$scratch/prefix"
  cmake --install build --prefix "$stage" >"$scratch/install.log" || { cat "$scratch/install.log" >&2; fail "cmake --install failed"; }

  expected=(
    bin/zorvane
    share/applications/$app_id.desktop
    share/metainfo/$app_id.metainfo.xml
    share/icons/hicolor/48x48/apps/$app_id.png
    share/icons/hicolor/128x128/apps/$app_id.png
    share/icons/hicolor/256x256/apps/$app_id.png
    share/zorvane/default.jpg
  )
  for f in "${expected[@]}"; do
    [ -s "$stage/$f" ] || fail "$f is missing from the installed prefix"
    echo "installed: $f"
  done
  [ -x "$stage/bin/zorvane" ] || fail "bin/zorvane is not executable"
  # Each icon is a PNG of the size its folder names (the width and height of its IHDR chunk).
  for size in 48 128 256; do
    header=$(od -An -tx1 -N24 "$stage/share/icons/hicolor/${size}x${size}/apps/$app_id.png" | tr -d ' \n')
    want=$(printf '89504e470d0a1a0a0000000d49484452%08x%08x' "$size" "$size")
    [ "$header" = "$want" ] || fail "the ${size}x${size} icon is not a ${size} x ${size} PNG"
  done

  desktop-file-validate "$stage/share/applications/$app_id.desktop" || fail "desktop-file-validate failed"
  echo "desktop-file-validate: passed"
  appstreamcli validate --no-net "$stage/share/metainfo/$app_id.metainfo.xml" || fail "appstreamcli validate failed"

  # A user with one track that has a cover, and nothing else.
  home="$scratch/home"
  mkdir -p "$home/Music" "$scratch/data" "$scratch/run" "$scratch/elsewhere"
  track="Glass Harbour/Tidal.mp3"
  if [ ! -f "build/demo/$track" ]; then
    build/zv_make_library --demo "$scratch/demo" >/dev/null || fail "zv_make_library --demo failed"
    cp "$scratch/demo/$track" "$home/Music/"
  else
    cp "build/demo/$track" "$home/Music/"
  fi

  ZV_INSTALL_CHECK_INNER=1 ZV_STAGE="$stage" ZV_SCRATCH="$scratch" \
    xvfb-run -a -s "-screen 0 480x700x24 -noreset" bash "$self"
  exit 0
fi

# Inside the virtual display, started from a folder that holds no music.
stage=$ZV_STAGE
scratch=$ZV_SCRATCH
folder="$scratch/data/zorvane"
# start_player HOME DATA: the installed player as a new user with that home and data folder.
start_player() {
  (cd "$scratch/elsewhere" && exec env -u XDG_CONFIG_HOME -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER HOME="$1" \
    XDG_DATA_HOME="$2" ZORVANE_RUNTIME_DIR="$scratch/run" SDL_AUDIODRIVER=dummy ZORVANE_SCALE=1 \
    "$stage/bin/zorvane") >/dev/null 2>"$scratch/stderr" &
  pid=$!
}
finish() { stop_player "$pid"; }
stop_with() {
  finish
  echo "install-check: $*; the player's standard error:" >&2
  sed 's/^/  /' "$scratch/stderr" >&2
  exit 1
}
await_shown() {
  window=""
  local deadline=$((SECONDS + window_wait))
  while [ -z "$window" ]; do
    window=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n 1) || true
    kill -0 "$pid" 2>/dev/null || stop_with "the installed player exited before showing a window"
    [ "$SECONDS" -lt "$deadline" ] || stop_with "no window after ${window_wait}s"
    [ -n "$window" ] || sleep 0.1
  done
}

# First a user with nothing: no settings file, no music folder. A box says where the player looked
# and how to point it at music, and standard error says the same; the player goes on after it.
mkdir -p "$scratch/bare-home"
start_player "$scratch/bare-home" "$scratch/bare-data"
await_shown
for part in "no folder $scratch/bare-home/Music." "$scratch/bare-data/zorvane/direc.zvn" "zorvane FOLDER"; do
  grep -qF -- "$part" "$scratch/stderr" || stop_with "the first-start hint does not say '$part'"
done
xdotool key --window "$window" Return
sleep 1
kill -0 "$pid" 2>/dev/null || stop_with "the player did not go on after the first-start box"
finish
[ "$status" -eq 0 ] || stop_with "the player exited with $status on SIGTERM after the first-start box"
echo "first start with no music: the hint, then the player"

start_player "$scratch/home" "$scratch/data"
await_shown
grep -q "No music found" "$scratch/stderr" && stop_with "the first-start hint showed although ~/Music holds a track"
echo "window shown: $(xdotool getwindowname "$window")"

[ -d "$folder" ] || stop_with "no per-user folder $folder"
[ "$(stat -c %a "$folder")" = 700 ] || stop_with "$folder is not private (mode $(stat -c %a "$folder"))"
cmp -s "$folder/default.jpg" "$stage/share/zorvane/default.jpg" || stop_with "default.jpg was not copied into $folder"
[ "$(ls "$stage/bin")" = zorvane ] || stop_with "the player wrote beside its executable: $(ls "$stage/bin" | tr '\n' ' ')"
echo "per-user folder: $folder holds $(ls "$folder" | tr '\n' ' ')"

# "next" on the start panel plays the one track of ~/Music. The panel slides in first, and a
# second tap within half a second is a double tap, so tap once a second until the cover is there.
deadline=$((SECONDS + 10))
while [ ! -s "$folder/album.jpg" ]; do
  [ "$SECONDS" -lt "$deadline" ] || stop_with "no album.jpg in $folder after tapping next"
  xdotool mousemove --window "$window" 204 303 click 1
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    [ -s "$folder/album.jpg" ] && break
    sleep 0.1
  done
done
[ "$(od -An -tx1 -N2 "$folder/album.jpg" | tr -d ' ')" = ffd8 ] || stop_with "album.jpg is not a JPEG"
echo "album.jpg written after tapping next"

finish
[ "$status" -eq 0 ] || stop_with "the installed player exited with $status on SIGTERM"
echo "install-check: passed"
