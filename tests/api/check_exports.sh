#!/usr/bin/env bash
# The shared library exports exactly the OV_ functions that the public header declares.
set -euo pipefail
lib=$1 header=$2
exported=$(nm -D --defined-only "$lib" | awk '{print $3}' | sort)
declared=$(grep -oE 'OV_EXPORT int32_t (OV_[A-Za-z]+)\(' "$header" | sed -E 's/.* (OV_[A-Za-z]+)\(/\1/' | sort)
if [ "$exported" != "$declared" ]; then
  echo "exported and declared functions differ:"
  diff <(echo "$declared") <(echo "$exported") || true
  exit 1
fi
echo "$(echo "$exported" | wc -l) functions exported, nothing else"
