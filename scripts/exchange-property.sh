#!/bin/bash
# Runs the random-line proof of the exchange engine for about TRANSFERS
# transfers (default 50000), half in the normal and half in the fast
# exchange, from SEED (default: a random one). A failure prints the seed and
# the smallest sequence of transfers and line faults that still fails.
#   scripts/exchange-property.sh [TRANSFERS] [SEED]
set -euo pipefail
ORBA_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
. "$ORBA_ROOT/scripts/common.sh"
transfers="${1:-50000}"
seed="${2:-$RANDOM$RANDOM}"
orba_build_targets exchange_property_test >/dev/null
# A sequence holds about 3.5 transfers.
sequences=$(( transfers / 7 + 1 ))
echo "about $transfers transfers in $sequences sequences per exchange, seed $seed"
if ! RC_PARAMS="max_success=$sequences seed=$seed" QT_QPA_PLATFORM=offscreen \
        "$ORBA_ROOT/build/tests/exchange_property_test"; then
    echo "FAILED with seed $seed"
    exit 1
fi
