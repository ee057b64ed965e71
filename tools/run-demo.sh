#!/usr/bin/env bash
# Builds Zorvane, writes a demo library and a default picture beside it and runs the player on it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
if [ ! -d build/demo ]; then
  ./build/zv_make_library --demo build/demo
fi
if [ ! -f build/default.jpg ]; then
  ./build/zv_make_library --default-art build/default.jpg
fi
printf '%s/' "$(cd build/demo && pwd)" > build/direc.zvn
exec ./build/zorvane
