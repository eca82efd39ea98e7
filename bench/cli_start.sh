#!/usr/bin/env bash
# The whole `orvanti-cli code` process for a token without PIN, beside `oathtool --totp` (a small
# one-time-password program) and the process floor (`/bin/true`), in one hyperfine run. With
# BEFORE=path/to/an/older/orvanti-cli the older build runs in the same run too, on its own copy of
# the same token store.
# Usage: [BEFORE=...] bench/cli_start.sh [hyperfine options, e.g. --runs 100]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/deps" hyperfine oathtool
"$root/scripts/build" >/dev/null
cli="$root/build/cli/orvanti-cli"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR="$work/run"
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
XDG_DATA_HOME="$work/now" "$cli" new Plain >/dev/null
XDG_DATA_HOME="$work/now" "$cli" activate Plain --policy 19929092 >/dev/null 2>&1  # event, no PIN

commands=(-n "orvanti-cli code (no PIN)" "env XDG_DATA_HOME='$work/now' '$cli' code Plain")
if [ -n "${BEFORE:-}" ]; then
  XDG_DATA_HOME="$work/before" "$BEFORE" new Plain >/dev/null
  XDG_DATA_HOME="$work/before" "$BEFORE" activate Plain --policy 19929092 >/dev/null 2>&1
  commands+=(-n "older orvanti-cli code (no PIN)" "env XDG_DATA_HOME='$work/before' '$BEFORE' code Plain")
fi
hyperfine --warmup 5 -N --export-markdown "$work/result.md" "$@" "${commands[@]}" \
  -n "oathtool --totp" "oathtool --totp 3132333435363738393031323334353637383930" \
  -n "process floor (/bin/true)" "/bin/true"
echo
cat "$work/result.md"
