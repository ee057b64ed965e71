#!/bin/sh
# Runs the tag fuzzer briefly from its generated seed corpus; any crash or sanitizer report fails
# the run and leaves the input beside the fuzzer (crash-*, timeout-*, oom-*).
# Usage: run-tag-fuzzer.sh [build folder] [seconds]
set -eu
build=${1:-build-fuzz}
seconds=${2:-45}
fuzz="$build/tests/fuzz"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$fuzz"/corpus/* "$work"/
exec "$fuzz/tag_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$fuzz/" "$work"
