#!/usr/bin/env bash
# Builds the Debian package from a copy of the working tree (dpkg-buildpackage -us -uc -b, its
# tests included unless --nocheck), runs lintian on it (errors and warnings that are not
# overridden fail), installs it with apt-get, checks the installed files, starts the installed
# /usr/bin/zorvane on a virtual display as a new user (it must make its per-user folder and copy
# default.jpg into it), and purges the package again, also when a step fails. Needs root (apt-get).
#   bash tools/package-check.sh [--nocheck]      (ZV_PACKAGE_CCACHE=0: without ccache)
set -euo pipefail
cd "$(dirname "$0")/.."
self="$PWD/tools/package-check.sh"
app_id=org.zorvane.Zorvane
fail() {
  echo "package-check: $*" >&2
  exit 1
}

# ---- Inside the virtual display: the installed player's first start ----
if [ "${1:-}" = --inner ]; then
  source tools/lib/player-window.sh
  home=$2
  folder="$home/.local/share/zorvane"
  mkdir -p "$home/Music" "$home/run" "$home/elsewhere"
  (cd "$home/elsewhere" && exec env -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER \
    HOME="$home" ZORVANE_RUNTIME_DIR="$home/run" SDL_AUDIODRIVER=dummy ZORVANE_SCALE=1 \
    /usr/bin/zorvane) >/dev/null 2>"$home/stderr" &
  pid=$!
  stop_with() {
    stop_player "$pid"
    echo "package-check: $*; the player's standard error:" >&2
    sed 's/^/  /' "$home/stderr" >&2
    exit 1
  }
  window=$(await_window "$pid" 200)
  [ -n "$window" ] || stop_with "the installed player showed no window"
  echo "window shown: $(xdotool getwindowname "$window")"
  [ -d "$folder" ] || stop_with "no per-user folder $folder"
  [ "$(stat -c %a "$folder")" = 700 ] || stop_with "$folder is not private (mode $(stat -c %a "$folder"))"
  cmp -s "$folder/default.jpg" /usr/share/zorvane/default.jpg || stop_with "default.jpg was not copied into $folder"
  echo "installed mode: $folder holds $(ls "$folder" | tr '\n' ' ')"
  stop_player "$pid"
  [ "$status" -eq 0 ] || stop_with "the installed player exited with $status on SIGTERM"
  exit 0
fi

nocheck=0
case "${1:-}" in
  "") ;;
  --nocheck) nocheck=1 ;;
  *) fail "usage: package-check.sh [--nocheck]" ;;
esac
[ "$(id -u)" -eq 0 ] || fail "run it as root: it installs and purges the package"
if dpkg-query -W -f='${Status}' zorvane 2>/dev/null | grep -q "ok installed"; then
  fail "a zorvane package is installed already; this check would purge it (apt-get purge zorvane first)"
fi
bash tools/install-deps.sh

scratch=$(mktemp -d /tmp/zorvane-package.XXXXXX)
chmod 755 "$scratch"
installed=0
cleanup() {
  local status=$?
  if [ "$installed" -eq 1 ] && dpkg-query -W -f='${Status}' zorvane 2>/dev/null | grep -q "ok installed"; then
    echo "package-check: purging zorvane after a failure" >&2
    DEBIAN_FRONTEND=noninteractive apt-get purge -y -q zorvane >/dev/null 2>&1 || echo "package-check: purge failed" >&2
  fi
  rm -rf "$scratch"
  exit "$status"
}
trap cleanup EXIT

# The working tree as it is, uncommitted work included, without anything git ignores (build
# folders) or anything deleted from it.
src="$scratch/zorvane"
mkdir "$src"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z -co --exclude-standard | while IFS= read -r -d '' f; do
    if [ -e "$f" ] || [ -L "$f" ]; then printf '%s\0' "$f"; fi
  done | tar --null -T - -cf - | tar -xf - -C "$src"
else
  tar --exclude='./build*' --exclude='./obj-*' --exclude='./debian/zorvane' --exclude='./debian/.debhelper' \
    -cf - . | tar -xf - -C "$src"
fi

# ---- Build ----
options="parallel=2"
profiles=()
if [ "$nocheck" -eq 1 ]; then
  options="$options nocheck"
  profiles=(-Pnocheck)
fi
# ccache, when there, keys on paths relative to the scratch folder, so a second run reuses the
# first; ZV_PACKAGE_CCACHE=0 builds everything afresh, as a build daemon would.
if [ "${ZV_PACKAGE_CCACHE:-1}" != 0 ] && command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache CCACHE_BASEDIR="$scratch" CCACHE_NOHASHDIR=1
fi
started=$SECONDS
if ! (cd "$src" && DEB_BUILD_OPTIONS="$options" dpkg-buildpackage -us -uc -b "${profiles[@]}") >"$scratch/build.log" 2>&1; then
  tail -n 60 "$scratch/build.log" >&2
  fail "dpkg-buildpackage failed"
fi
echo "built in $((SECONDS - started))s ($options): $(cd "$scratch" && ls ./*.deb | tr '\n' ' ')"
if [ "$nocheck" -eq 0 ]; then
  grep -E "tests passed|tests failed" "$scratch/build.log" || fail "the build ran no tests"
fi

# ---- lintian: errors and warnings fail unless overridden (with a reason) in debian/ ----
changes=("$scratch"/zorvane_*.changes)
lintian_status=0
lintian --pedantic --info --display-experimental --fail-on error,warning "${changes[0]}" >"$scratch/lintian.log" 2>&1 ||
  lintian_status=$?
grep -v "running with root privileges" "$scratch/lintian.log" || true
[ "$lintian_status" -eq 0 ] || fail "lintian reports errors or warnings (exit $lintian_status)"
echo "lintian: no errors or warnings"

# ---- Install ----
deb=$(ls "$scratch"/zorvane_*.deb)
installed=1
DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$deb" >"$scratch/install.log" 2>&1 ||
  { cat "$scratch/install.log" >&2; fail "apt-get install $deb failed"; }
dpkg -L zorvane | sort >"$scratch/files"
expected=(
  /usr/bin/zorvane
  /usr/share/man/man1/zorvane.1.gz
  /usr/share/applications/$app_id.desktop
  /usr/share/metainfo/$app_id.metainfo.xml
  /usr/share/icons/hicolor/48x48/apps/$app_id.png
  /usr/share/icons/hicolor/128x128/apps/$app_id.png
  /usr/share/icons/hicolor/256x256/apps/$app_id.png
  /usr/share/zorvane/default.jpg
  /usr/share/doc/zorvane/copyright
)
for f in "${expected[@]}"; do
  [ -s "$f" ] || fail "$f is not installed"
  grep -qxF "$f" "$scratch/files" || fail "$f is not a file of the package"
done
[ -x /usr/bin/zorvane ] || fail "/usr/bin/zorvane is not executable"
echo "installed: ${#expected[@]} files checked"
zcat /usr/share/man/man1/zorvane.1.gz >"$scratch/zorvane.1"
bash tools/check-man.sh "$scratch/zorvane.1"
man -l "$scratch/zorvane.1" 2>/dev/null | grep -q "zorvane $(sed -nE 's/^project\(zorvane VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)" ||
  fail "the installed manual page does not carry the project's version"
bash tools/check-version.sh /usr/bin/zorvane
desktop-file-validate /usr/share/applications/$app_id.desktop || fail "desktop-file-validate failed"
appstreamcli validate --no-net /usr/share/metainfo/$app_id.metainfo.xml >/dev/null || fail "appstreamcli validate failed"

# ---- The installed player's first start, as a new user ----
home="$scratch/home"
mkdir -p "$home"
xvfb-run -a -s "-screen 0 480x700x24 -noreset" bash "$self" --inner "$home"
# It wrote only into that user's folder: dpkg's files are as installed.
dpkg --verify zorvane || fail "the installed files were changed"

# ---- Purge ----
DEBIAN_FRONTEND=noninteractive apt-get purge -y -q zorvane >"$scratch/purge.log" 2>&1 ||
  { cat "$scratch/purge.log" >&2; fail "apt-get purge zorvane failed"; }
installed=0
state=$(dpkg-query -W -f='${Status}' zorvane 2>/dev/null || true)
case "$state" in
  "" | *not-installed) ;;
  *) fail "dpkg still holds zorvane after the purge: $state" ;;
esac
left=()
while IFS= read -r f; do
  if [ -d "$f" ] && [ ! -L "$f" ]; then continue; fi  # directories such as /usr/share are shared
  if [ -e "$f" ] || [ -L "$f" ]; then left+=("$f"); fi
done <"$scratch/files"
for d in /usr/share/zorvane /usr/share/doc/zorvane; do
  if [ -e "$d" ]; then left+=("$d"); fi
done
[ ${#left[@]} -eq 0 ] || fail "left after the purge: ${left[*]}"
echo "purged: none of the package's $(wc -l <"$scratch/files") paths is left"
echo "package-check: passed"
