#!/usr/bin/env bash
# Fails when a lower layer includes a header from a layer above it (see
# docs/architecture.md): serial/ and store/ include nothing of the exchange,
# the windows or the shell; exchange/ includes no window and, of the shell,
# only the shared message and file-choice helpers. The virtual instrument is
# a program of its own, so none of them includes vinst/ either.
#
#   scripts/check-layers.sh [SOURCE_DIR]
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
cd "$root"

windows="panel|views|service|sensor|volume|shell|vinst"
status=0

# check FOLDER FORBIDDEN_PATTERN [ALLOWED_HEADER]
check() {
    local folder="$1" forbidden="$2" allowed="${3:-}"
    local hits
    hits="$(grep -HnE "^[[:space:]]*#[[:space:]]*include[[:space:]]*[\"<]($forbidden)/" \
                 "$folder"/*.cpp "$folder"/*.h 2>/dev/null || true)"
    if [ -n "$allowed" ]; then
        hits="$(printf '%s\n' "$hits" | grep -vE "[\"<]$allowed[\">]" || true)"
    fi
    if [ -n "$hits" ]; then
        printf '%s\n' "$hits" | sed "s|\$|    ($folder/ may not include this)|"
        status=1
    fi
}

check serial "exchange|$windows"
check store "exchange|$windows"
check exchange "$windows" "shell/(Message|FileChoice)\\.h"

if [ "$status" -ne 0 ]; then
    echo "check-layers: a layer includes a header from above it" >&2
fi
exit "$status"
