#!/usr/bin/env bash
# Builds the program and opens it in demo/ against the virtual instrument,
# which plays the instrument on COM1 of that directory.
set -euo pipefail
ORBA_ROOT="$(cd "$(dirname "$0")" && pwd)"
. "$ORBA_ROOT/scripts/common.sh"

orba_install_packages
orba_build build -DORBA_BUILD_TESTS=OFF

DEMO="$ORBA_ROOT/demo"
mkdir -p "$DEMO"
cd "$DEMO"

"$ORBA_ROOT/build/vinst/vinst" --dir "$DEMO" --port COM1 \
    --memory "$DEMO/instrument.mem" --log "$DEMO/traffic.log" &
VINST_PID=$!
trap 'kill $VINST_PID 2>/dev/null || true; wait $VINST_PID 2>/dev/null || true' EXIT

"$ORBA_ROOT/build/orba"
