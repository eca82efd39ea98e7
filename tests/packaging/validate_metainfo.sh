#!/usr/bin/env bash
# The AppStream metainfo validates (without network), pedantic hints included.
set -euo pipefail
command -v appstreamcli >/dev/null || { echo "SKIP: appstreamcli is missing"; exit 77; }
appstreamcli validate --no-net --pedantic "$1"
