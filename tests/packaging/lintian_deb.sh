#!/usr/bin/env bash
# lintian finds no error in the package; its warnings are printed for the record. With a second
# argument "hardened" (a build with the distribution's hardening flags) no hardening tag either.
set -euo pipefail
command -v lintian >/dev/null || { echo "SKIP: lintian is missing"; exit 77; }
deb=$(ls "$1"/orvanti_*.deb)
rc=0
report=$(lintian --tag-display-limit 0 --display-info --fail-on error "$deb" 2>&1) || rc=$?
echo "$report"
if grep -q '^E: ' <<<"$report"; then
  echo "lintian reports errors"; exit 1
fi
if [ "${2:-}" = hardened ] && grep -q 'hardening-' <<<"$report"; then
  echo "lintian reports hardening tags"; exit 1
fi
[ "$rc" -eq 0 ] || { echo "lintian could not check the package ($rc)"; exit 1; }
