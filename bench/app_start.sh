#!/usr/bin/env bash
# Cold start of the desktop application to the first painted frame of its token list with 10
# tokens (ov_bench_app_first_paint: orvanti's own start-up steps), beside a minimal Qt Widgets
# window with a 10-row list started the same way (ov_bench_qt_floor), in one hyperfine run on the
# same Qt platform. Builds when needed; uses a private temporary store.
# Usage: bench/app_start.sh [hyperfine options, e.g. --runs 50]   (QT_QPA_PLATFORM: offscreen)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/deps" hyperfine
"$root/scripts/build" >/dev/null
cli="$root/build/cli/orvanti-cli"
app="$root/build/bench/ov_bench_app_first_paint"
floor="$root/build/bench/ov_bench_qt_floor"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/run"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
for i in 1 2 3 4 5 6 7 8 9 10; do
  "$cli" new "Token $i" >/dev/null
  "$cli" activate "Token $i" --policy 19929092 >/dev/null 2>&1   # event, no PIN
done

hyperfine --warmup 3 --export-markdown "$work/result.md" "$@" \
  -n "orvanti to the painted token list (10 tokens)" "'$app'" \
  -n "minimal Qt Widgets window with a 10-row list" "'$floor'"
echo
cat "$work/result.md"
