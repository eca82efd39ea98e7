#!/usr/bin/env bash
# The whole process `orvanti-cli code` for a token without PIN and one with a PIN, beside
# `openssl kdf` doing the PBKDF2 work the command cannot avoid (two derivations of 10,000
# iterations of HMAC-SHA-256, as one 20,000-iteration derivation in one process), measured in the
# same hyperfine run; then, since wall time moves with the machine's load, the instructions each
# command executes (callgrind), which do not. Builds when needed; uses a private temporary store.
# Usage: bench/cli_code.sh [hyperfine options, e.g. --runs 50]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/deps" hyperfine valgrind
"$root/scripts/build" >/dev/null
cli="$root/build/cli/orvanti-cli"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
printf '2468\n' >"$work/pin"

"$cli" new Plain >/dev/null
"$cli" activate Plain --policy 19929092 >/dev/null 2>&1   # event, no PIN
"$cli" new Guarded >/dev/null
"$cli" activate Guarded --policy 19931163 --pin-stdin <"$work/pin" >/dev/null 2>&1  # event, PIN, no lock-out

hyperfine --warmup 5 --export-markdown "$work/result.md" "$@" \
  -n "orvanti-cli code (no PIN)" "'$cli' code Plain" \
  -n "orvanti-cli code (PIN)" "'$cli' code Guarded --pin-stdin <'$work/pin'" \
  -n "openssl kdf PBKDF2 20000" \
  "openssl kdf -keylen 32 -kdfopt digest:SHA256 -kdfopt pass:2468 -kdfopt hexsalt:$(printf '%064d' 1) -kdfopt iter:20000 PBKDF2"
echo
cat "$work/result.md"

echo
echo "Instructions executed (valgrind --tool=callgrind):"
count() {  # LABEL INPUT-FILE COMMAND...
  local label=$1 input=$2
  shift 2
  local n
  n=$(valgrind --tool=callgrind --callgrind-out-file=/dev/null "$@" 2>&1 >/dev/null <"$input" |
    sed -n 's/.*Collected : \([0-9]*\).*/\1/p')
  printf '  %-28s %12s\n' "$label" "$n"
}
count "orvanti-cli code (no PIN)" /dev/null "$cli" code Plain
count "orvanti-cli code (PIN)" "$work/pin" "$cli" code Guarded --pin-stdin
count "openssl kdf PBKDF2 20000" /dev/null openssl kdf -keylen 32 -kdfopt digest:SHA256 -kdfopt pass:2468 \
  -kdfopt hexsalt:"$(printf '%064d' 1)" -kdfopt iter:20000 PBKDF2
