#!/usr/bin/env bash
# Kills the program's saves at random moments, KILLS times for each kind of
# file (default 100), and checks that every file is then the old one or the
# new one, whole. ./test.sh runs a short version of the same test.
#
#   scripts/killed-saves.sh [KILLS]
set -euo pipefail
ORBA_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
. "$ORBA_ROOT/scripts/common.sh"
export QT_QPA_PLATFORM=offscreen

cmake -S "$ORBA_ROOT" -B "$ORBA_ROOT/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORBA_WERROR=ON \
      -DORBA_BUILD_TESTS=ON >/dev/null
cmake --build "$ORBA_ROOT/build" -j"$(nproc)" --target killed_saves_test save_helper
ORBA_KILLED_SAVES="${1:-100}" "$ORBA_ROOT/build/tests/killed_saves_test"
