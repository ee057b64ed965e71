#!/bin/sh
# Runs the relayout fuzzer briefly from the program's own dialog templates and the inputs that
# once failed it (regressions/); any crash, sanitizer report or leaked GDI object or descriptor
# fails the run and leaves the input beside the fuzzer.
# Usage: run-dialog-layout-fuzzer.sh [build folder] [seconds]
set -eu
build=${1:-build-fuzz}
seconds=${2:-20}
fuzz="$build/tests/fuzz"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ZV_WRITE_SEEDS="$work" "$fuzz/dialog_layout_fuzzer"
cp "$(dirname "$0")"/regressions/dialog-layout-* "$work"/
# fontconfig keeps what it allocates for a face it is first asked for; that is no leak of ours.
supp=$(mktemp)
trap 'rm -rf "$work" "$supp"' EXIT
cat "$(dirname "$0")/../lsan.supp" >"$supp"
echo "leak:libfontconfig.so" >>"$supp"
LSAN_OPTIONS="suppressions=$supp" "$fuzz/dialog_layout_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$fuzz/" "$work"
