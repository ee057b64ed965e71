#!/bin/sh
# Runs the image fuzzer briefly from its generated JPEG and PNG seeds; any crash, sanitizer report
# or leaked GDI object or descriptor fails the run and leaves the input beside the fuzzer.
# Usage: run-image-fuzzer.sh [build folder] [seconds]
set -eu
build=${1:-build-fuzz}
seconds=${2:-30}
fuzz="$build/tests/fuzz"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$fuzz"/image-corpus/* "$work"/
"$fuzz/image_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$fuzz/" "$work"
