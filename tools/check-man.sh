#!/usr/bin/env bash
# check-man.sh PAGE: lints a manual page in roff with groff (every warning, -ww) and, where it is
# installed, mandoc (warnings and worse). Both must say nothing: troff exits 0 even on warnings.
set -euo pipefail
page=${1:?usage: check-man.sh PAGE}
[ -s "$page" ] || { echo "check-man: $page is missing or empty" >&2; exit 1; }
command -v groff >/dev/null || { echo "check-man: groff is not installed" >&2; exit 1; }
rc=0
out=$(LC_ALL=C.UTF-8 groff -ww -z -man "$page" 2>&1) || rc=$?
if [ "$rc" -ne 0 ] || [ -n "$out" ]; then
  echo "check-man: groff -ww -z -man $page:" >&2
  echo "$out" >&2
  exit 1
fi
echo "check-man: groff: clean"
if command -v mandoc >/dev/null; then
  rc=0
  out=$(mandoc -T lint -W warning "$page" 2>&1) || rc=$?
  if [ "$rc" -ne 0 ] || [ -n "$out" ]; then
    echo "check-man: mandoc -T lint -W warning $page:" >&2
    echo "$out" >&2
    exit 1
  fi
  echo "check-man: mandoc: clean"
else
  echo "check-man: mandoc is not installed; its lint is skipped"
fi
