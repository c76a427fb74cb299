#!/usr/bin/env bash
# Builds the program and opens it on a demonstration folder against the
# virtual instrument, which plays the instrument on COM1 of that folder.
#
#   ./run.sh                 demo/, prepared on first use: named lists and
#                            months of tests, already read up to yesterday
#   ./run.sh --first-start   demo/first-start/, emptied every time: a new
#                            operator's first start, with its warnings
set -euo pipefail
ORBA_ROOT="$(cd "$(dirname "$0")" && pwd)"
. "$ORBA_ROOT/scripts/common.sh"

first_start=0
case "${1:-}" in
    "") ;;
    --first-start) first_start=1 ;;
    -h|--help) sed -n '2,8p' "$0" | cut -c3-; exit 0 ;;
    *) echo "run.sh: unknown option '$1' (see ./run.sh --help)" >&2; exit 2 ;;
esac

orba_install_packages
orba_build build -DORBA_BUILD_TESTS=OFF

DEMO="$ORBA_ROOT/demo"
if [ $first_start -eq 1 ]; then
    DEMO="$ORBA_ROOT/demo/first-start"
    rm -rf "$DEMO"
    mkdir -p "$DEMO"
else
    for file in orbisk_m.cnf orbisk_a.lst orbisk_a.dat instrument.mem; do
        if [ ! -e "$DEMO/$file" ]; then
            "$ORBA_ROOT/build/vinst/orba_prepare_demo" "$DEMO"
            break
        fi
    done
fi

"$ORBA_ROOT/build/vinst/vinst" --dir "$DEMO" --port COM1 \
    --memory "$DEMO/instrument.mem" --log "$DEMO/traffic.log" &
VINST_PID=$!
trap 'kill $VINST_PID 2>/dev/null || true; wait $VINST_PID 2>/dev/null || true' EXIT

"$ORBA_ROOT/build/orba" --folder "$DEMO" --port COM1
