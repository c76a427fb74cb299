#!/usr/bin/env bash
# Runs the random sequences of the results store (tests/views_sequences_test)
# a given number of times from a seed. A failure prints its shrunk sequence,
# the seed, and the RC_PARAMS line that replays it.
#
#   scripts/sequences.sh [count (20000)] [seed (random)]
set -euo pipefail
ORBA_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
. "$ORBA_ROOT/scripts/common.sh"
orba_install_packages
orba_build_targets views_sequences_test
count="${1:-20000}"
seed="${2:-$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')}"
echo "sequences: $count, seed $seed"
if ! QT_QPA_PLATFORM=offscreen RC_PARAMS="max_success=$count seed=$seed" \
        "$ORBA_ROOT/build/tests/views_sequences_test" --gtest_filter='ResultSequences.NoTest*'; then
    echo "sequences: failed with seed $seed (replay: scripts/sequences.sh $count $seed)" >&2
    exit 1
fi
