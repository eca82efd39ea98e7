#!/usr/bin/env bash
# The desktop entry passes desktop-file-validate and handles orvanti: links.
set -euo pipefail
entry=$1
command -v desktop-file-validate >/dev/null || { echo "SKIP: desktop-file-validate is missing"; exit 77; }
desktop-file-validate "$entry"
grep -qx 'Exec=orvanti %u' "$entry" || { echo "Exec must pass the link: Exec=orvanti %u"; exit 1; }
grep -qx 'MimeType=x-scheme-handler/orvanti;' "$entry" || { echo "no x-scheme-handler/orvanti"; exit 1; }
echo "desktop entry valid"
