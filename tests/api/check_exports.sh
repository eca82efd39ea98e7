#!/usr/bin/env bash
# The shared library exports exactly the OV_ functions that the public header declares: the
# dynamic symbols of libovcore.so, or the export table of ovcore.dll.
set -euo pipefail
lib=$1 header=$2
case "$lib" in
  *.dll)
    exported=$(x86_64-w64-mingw32-objdump -p "$lib" |
      sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n '2,$s/^.*\] //p' | sort) ;;
  *)
    exported=$(nm -D --defined-only "$lib" | awk '{print $3}' | sort) ;;
esac
declared=$(grep -oE 'OV_EXPORT int32_t (OV_[A-Za-z]+)\(' "$header" | sed -E 's/.* (OV_[A-Za-z]+)\(/\1/' | sort)
if [ "$exported" != "$declared" ]; then
  echo "exported and declared functions differ:"
  diff <(echo "$declared") <(echo "$exported") || true
  exit 1
fi
echo "$(echo "$exported" | wc -l) functions exported, nothing else"
