#!/usr/bin/env bash
# The programs and libraries given are built hardened: position-independent, relocations read-only
# after start-up (GNU_RELRO and BIND_NOW), a stack protector and checked buffer functions.
# Usage: hardening.sh FILE...
set -euo pipefail
command -v readelf >/dev/null || { echo "SKIP: readelf is missing"; exit 77; }
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
for file in "$@"; do
  name=$(basename "$file")
  header=$(readelf -hW "$file") dynamic=$(readelf -dW "$file") segments=$(readelf -lW "$file")
  symbols=$(readelf --dyn-syms -W "$file" | awk '$7 == "UND" {print $8}' | sed 's/@.*//')
  grep -q 'Type: *DYN' <<<"$header" || fail "$name is not position-independent"
  if [[ $name != *.so* ]]; then
    grep -q 'FLAGS_1.*PIE' <<<"$dynamic" || fail "$name is not a PIE program"
  fi
  grep -q 'GNU_RELRO' <<<"$segments" || fail "$name has no GNU_RELRO segment"
  grep -qE 'BIND_NOW|FLAGS_1.*NOW' <<<"$dynamic" || fail "$name is not linked with BIND_NOW"
  grep -qx '__stack_chk_fail' <<<"$symbols" || fail "$name has no stack protector"
  grep -qE '^__[a-z0-9_]+_chk$' <<<"$(grep -vx '__stack_chk_fail' <<<"$symbols")" ||
    fail "$name calls no checked (fortified) function"
done
((failures == 0)) || exit 1
echo "$# files are hardened"
