#!/usr/bin/env bash
# Builds the fuzz targets with clang and libFuzzer in build-fuzz and runs each
# for SECONDS (default 60) or ten million inputs, whichever comes first; then
# prints the executions and the crashes per target.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]      TARGET e.g. config_file; default all
#
# Every target starts from its seeds in fuzz/seeds/TARGET and keeps what it
# learns in build-fuzz/corpus/TARGET. An input that crashes a target is kept
# in build-fuzz/crashes/TARGET; add it to the seeds once the fault is mended.
set -euo pipefail
ORBA_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
CLANG="${CLANG:-clang++-14}"
seconds="${1:-60}"
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(config_file list_file results_file sensor_file record_decoding
             exchange_replies breath_polling typed_entries instrument_requests)
fi

build="$ORBA_ROOT/build-fuzz"
cmake -S "$ORBA_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER="$CLANG" \
      -DORBA_BUILD_TESTS=OFF -DORBA_FUZZ=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

export QT_QPA_PLATFORM=offscreen
# The file targets save at every input: spare the disk.
if [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
export ASAN_OPTIONS=abort_on_error=1
export LSAN_OPTIONS="suppressions=$ORBA_ROOT/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
report=()
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    crashes="$build/crashes/$target"
    mkdir -p "$corpus" "$crashes"
    log="$build/fuzz-$target.log"
    start=$(date +%s)
    "$build/fuzz/fuzz_$target" "$corpus" "$ORBA_ROOT/fuzz/seeds/$target" -max_total_time="$seconds" -runs=10000000 \
        -timeout=10 -print_final_stats=1 -artifact_prefix="$crashes/" >"$log" 2>&1 || true
    took=$(( $(date +%s) - start ))
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n1)
    # A crash ends the run before the final figures: take the last status line.
    [ -n "$runs" ] || runs=$(grep -o '^#[0-9]*' "$log" | tail -n1 | tr -d '#')
    found=$(find "$crashes" -type f | wc -l)
    report+=("$(printf '%-22s %8ss %12s %8s' "$target" "$took" "${runs:-?}" "$found")")
    echo "${report[-1]}"
done
printf '\n%-22s %9s %12s %8s\n' target time executions crashes
printf '%s\n' "${report[@]}"
