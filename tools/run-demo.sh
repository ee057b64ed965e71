#!/usr/bin/env bash
# Builds Zorvane, writes a demo library beside it and runs the player on it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
if [ ! -d build/demo ]; then
  ./build/zv_make_library --demo build/demo
fi
printf '%s/' "$(cd build/demo && pwd)" > build/direc.zvn
exec ./build/zorvane
