#!/usr/bin/env bash
# Link tests and transfers against the virtual instrument with random trouble
# on the line, for a given time; prints the open descriptors, threads and
# resident memory at the start and the end, and fails when they grew or when
# a transfer failed in a round without trouble.
#
#   scripts/soak.sh [seconds (600)] [seed]
set -euo pipefail
ORBA_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
. "$ORBA_ROOT/scripts/common.sh"
orba_install_packages
orba_build_targets soak vinst
QT_QPA_PLATFORM=offscreen "$ORBA_ROOT/build/tests/soak" "${1:-600}" ${2:+"$2"}
