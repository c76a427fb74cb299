#!/usr/bin/env bash
# Builds the program and runs every test: first a plain build, then the same
# tests under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
ORBA_ROOT="$(cd "$(dirname "$0")" && pwd)"
. "$ORBA_ROOT/scripts/common.sh"

orba_install_packages
export QT_QPA_PLATFORM=offscreen

# Each layer includes only what lies below it (docs/architecture.md).
"$ORBA_ROOT/scripts/check-layers.sh" "$ORBA_ROOT"

orba_build build -DORBA_BUILD_TESTS=ON
(cd "$ORBA_ROOT/build" && ctest --output-on-failure -j2)

# The installation into a scratch prefix: files, command line, first start.
"$ORBA_ROOT/scripts/check-install.sh" "$ORBA_ROOT/build"

orba_build build-sanitize -DORBA_SANITIZE=ON -DORBA_BUILD_TESTS=ON
# Leaks are reported; tests/lsan.supp silences only the toolkit's own.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS="suppressions=$ORBA_ROOT/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd "$ORBA_ROOT/build-sanitize" && ctest --output-on-failure -j2)
