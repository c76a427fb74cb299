#!/usr/bin/env bash
# Builds the program and opens it on a demonstration folder against the
# virtual instrument, which plays the instrument on COM1 of that folder.
#
#   ./run.sh                 demo/, prepared on first use: named lists and
#                            months of tests, already read up to yesterday
#   ./run.sh --first-start   demo/first-start/, emptied every time: a new
#                            operator's first start, with its warnings
#   ./run.sh --from DUMP     the instrument starts from a memory dump saved
#                            by "Сохранить память" (and leaves it as it is)
#   ./run.sh --trace FILE    the program appends its wire trace to FILE
set -euo pipefail
ORBA_ROOT="$(cd "$(dirname "$0")" && pwd)"
. "$ORBA_ROOT/scripts/common.sh"

first_start=0
dump=""
program_options=()
while [ $# -gt 0 ]; do
    case "$1" in
        --first-start) first_start=1 ;;
        --from|--trace)
            if [ $# -lt 2 ]; then
                echo "run.sh: $1 needs a file (see ./run.sh --help)" >&2
                exit 2
            fi
            file="$(realpath -m "$2")"
            if [ "$1" = --from ]; then dump="$file"; else program_options+=(--trace "$file"); fi
            shift ;;
        -h|--help) sed -n '2,11p' "$0" | cut -c3-; exit 0 ;;
        *) echo "run.sh: unknown option '$1' (see ./run.sh --help)" >&2; exit 2 ;;
    esac
    shift
done

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

memory_options=(--memory "$DEMO/instrument.mem")
if [ -n "$dump" ]; then
    memory_options=(--from "$dump")
fi
"$ORBA_ROOT/build/vinst/vinst" --dir "$DEMO" --port COM1 \
    "${memory_options[@]}" --log "$DEMO/traffic.log" &
VINST_PID=$!
trap 'kill $VINST_PID 2>/dev/null || true; wait $VINST_PID 2>/dev/null || true' EXIT

"$ORBA_ROOT/build/orba" --folder "$DEMO" --port COM1 "${program_options[@]}"
