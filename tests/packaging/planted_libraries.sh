#!/usr/bin/env bash
# A program of the build tree started from a folder that holds libraries under the names it loads
# (its logger, the C++ runtime, the token library) loads none of them: its RUNPATH holds no empty
# or relative entry, and the logger is opened by its full path beside the token library.
set -euo pipefail
planted=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

for name in libbrisel.so libstdc++.so.6 libovcore.so.0; do
  cp "$planted" "$work/$name"
done
for program in "$@"; do
  program=$(realpath "$program")
  runpath=$(readelf -d "$program" | sed -n 's/.*Library r[un]*path: \[\(.*\)\]/\1/p')
  IFS=: read -r -a entries <<<"$runpath:"
  for entry in "${entries[@]}"; do
    [[ $entry == /* || $entry == '$ORIGIN'* ]] ||
      fail "$(basename "$program") has the RUNPATH entry '$entry' in [$runpath]"
  done
  rm -f "$work/planted-library-loaded"
  (cd "$work" && env -u LD_LIBRARY_PATH HOME="$work" XDG_DATA_HOME="$work/data" \
     "$program" --version >/dev/null 2>"$work/stderr") ||
    fail "$(basename "$program") --version failed: $(head -c 300 "$work/stderr")"
  [ ! -e "$work/planted-library-loaded" ] ||
    fail "$(basename "$program") loaded a library from the current folder"
done
((failures == 0)) || exit 1
echo "no program loads a library from the folder it is started in"
