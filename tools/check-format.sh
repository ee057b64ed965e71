#!/usr/bin/env bash
# Checks that every C++ source in the repository is laid out as .clang-format says; prints each
# difference and exits non-zero if there is any. Run tools/format.sh to apply the layout.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
echo "format: every source matches .clang-format"
