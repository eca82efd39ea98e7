#!/usr/bin/env bash
# The desktop application's two layers stay apart: the core includes no toolkit (no Qt header, no
# windows.h) and the Qt view calls no token-library function; every decision and library call is
# the core's. Prints each offending line and fails when there is one.
set -euo pipefail
app=${1:?usage: check_layers.sh APP_FOLDER}
status=0
if grep -rnE '#include[[:space:]]*[<"](Q[A-Za-z]*|qt[A-Za-z]*/|windows\.h|Windows\.h)' "$app/core"; then
  echo "FAIL: app/core includes a toolkit header (above)"
  status=1
fi
if grep -rnE '\bQ_OBJECT\b|\bQString\b|\bQObject\b' "$app/core"; then
  echo "FAIL: app/core uses Qt (above)"
  status=1
fi
if grep -rnE '\bOV_[A-Z][A-Za-z]*[[:space:]]*\(' "$app/qt"; then
  echo "FAIL: app/qt calls the token library (above)"
  status=1
fi
[ "$status" -eq 0 ] && echo "PASS: the core has no toolkit, the view no library call"
exit "$status"
