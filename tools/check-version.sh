#!/usr/bin/env bash
# check-version.sh [PLAYER]: every place that states the version states the one of project() in
# CMakeLists.txt: the latest <release> of the metainfo, the upstream part of debian/changelog's top
# entry and, given a built player, what `PLAYER --version` prints.
set -euo pipefail
cd "$(dirname "$0")/.."
fail() {
  echo "check-version: $*" >&2
  exit 1
}

project=$(sed -nE 's/^project\(zorvane VERSION ([0-9][0-9.]*)[ )].*/\1/p' CMakeLists.txt)
[ -n "$project" ] || fail "no project(zorvane VERSION ...) in CMakeLists.txt"

# The latest release, whatever order the file lists them in.
metainfo=$(grep -oE '<release [^>]*version="[^"]+"' dist/org.zorvane.Zorvane.metainfo.xml |
  sed -E 's/.*version="([^"]+)"/\1/' | sort -V | tail -n 1)
[ -n "$metainfo" ] || fail "no <release version=...> in dist/org.zorvane.Zorvane.metainfo.xml"

# "zorvane (EPOCH:UPSTREAM-REVISION) ..." on the first line; epoch and revision are optional.
debian=$(sed -nE '1s/^zorvane \(([^)]+)\).*/\1/p' debian/changelog)
[ -n "$debian" ] || fail "the first line of debian/changelog is not a zorvane entry"
debian_upstream=${debian#*:}
[ "$debian_upstream" = "${debian_upstream%-*}" ] || debian_upstream=${debian_upstream%-*}

[ "$metainfo" = "$project" ] || fail "metainfo's latest release is $metainfo, project() says $project"
[ "$debian_upstream" = "$project" ] ||
  fail "debian/changelog's top entry is $debian (upstream $debian_upstream), project() says $project"
echo "check-version: CMakeLists.txt, metainfo and debian/changelog all say $project"

[ $# -ge 1 ] || exit 0
player=$1
[ -x "$player" ] || fail "$player is not an executable"
# Without a display, so a player that does not know the option cannot open a window; in a scratch
# home and runtime folder, so it cannot reach a running player or write to the user's files.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
status=0
output=$(env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER HOME="$scratch" XDG_DATA_HOME="$scratch/data" \
  XDG_RUNTIME_DIR="$scratch" ZORVANE_RUNTIME_DIR="$scratch/run" timeout 20 "$player" --version 2>"$scratch/stderr") ||
  status=$?
[ "$status" -eq 0 ] || fail "$player --version exited with $status: $(cat "$scratch/stderr")"
printed=$(printf '%s\n' "$output" | grep -oE '[0-9]+\.[0-9]+\.[0-9]+[^ ]*' | head -n 1) || true
[ "$printed" = "$project" ] || fail "$player --version prints '$output', project() says $project"
echo "check-version: $player --version says $project"
