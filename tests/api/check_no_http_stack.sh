#!/usr/bin/env bash
# The HTTP stack (libcurl, libproxy) is opened by the first enrollment, never at start: neither
# may be a dependency of the token library or of a program linking it, whether named in the file
# itself (NEEDED) or brought in by another library (the loader's closure, as ldd lists it).
# Usage: check_no_http_stack.sh ELF-FILE...
set -euo pipefail
pattern='lib(curl|proxy)[^ ]*\.so'
status=0
for file in "$@"; do
  needed=$(readelf -d "$file" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
  closure=$(ldd "$file")
  if grep -E "$pattern" <<<"$needed"; then
    echo "$file names the HTTP stack as NEEDED"
    status=1
  fi
  if grep -E "$pattern" <<<"$closure"; then
    echo "$file loads the HTTP stack at start"
    status=1
  fi
  echo "$file: $(wc -l <<<"$needed") NEEDED, $(wc -l <<<"$closure") loaded at start"
done
exit $status
