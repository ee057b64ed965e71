#!/usr/bin/env bash
# Installs the Debian packages Zorvane needs to build, run and test: the virtual display the launch
# check starts it on, the validators of the installed desktop files, the session bus (with
# playerctl) the media-controls check runs it on, and what building and linting the Debian package
# takes (debian/control's Build-Depends, lintian, the manual page's linters); only what is missing.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config clang clang-format llvm libclang-rt-14-dev
  libsdl2-dev libmpg123-dev libsoxr-dev libtag1-dev libturbojpeg0-dev libjpeg62-turbo-dev libpng-dev
  libfreetype-dev libfontconfig-dev fonts-liberation2 fonts-wqy-microhei
  libmp3lame-dev libgtest-dev libgmock-dev libbenchmark-dev mpg123 sox lame
  xvfb xauth xdotool desktop-file-utils appstream
  dpkg-dev debhelper lintian groff-base mandoc libjpeg-dev pkgconf
  libsystemd-dev dbus-daemon dbus-bin systemd playerctl
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
