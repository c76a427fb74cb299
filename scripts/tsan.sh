#!/usr/bin/env bash
# Builds the serial and exchange tests with ThreadSanitizer (GCC, -O1) in
# build-tsan and runs them. Every report fails the run; scripts/tsan.supp
# holds the reports from inside the toolkit, each with its reason. About
# 15 minutes, most of it the build.
#
#   scripts/tsan.sh [gtest filter]
set -euo pipefail
ORBA_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
. "$ORBA_ROOT/scripts/common.sh"
orba_install_packages

TESTS="serial_port_test serial_transfer_test exchange_transfers_test exchange_trouble_test"
DIR="$ORBA_ROOT/build-tsan"
FLAGS="-fsanitize=thread -O1 -g -fno-omit-frame-pointer"

# No -Werror: GCC warns that the sanitizer cannot follow the fences in the
# toolkit's headers, which is no fault of ours.
cmake -S "$ORBA_ROOT" -B "$DIR" -G Ninja -DCMAKE_BUILD_TYPE= -DORBA_BUILD_TESTS=ON \
      -DCMAKE_CXX_FLAGS="$FLAGS -Wno-tsan" -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread >/dev/null
# shellcheck disable=SC2086
cmake --build "$DIR" -j"$(nproc)" --target vinst $TESTS

export QT_QPA_PLATFORM=offscreen
export TSAN_OPTIONS="suppressions=$ORBA_ROOT/scripts/tsan.supp second_deadlock_stack=1 history_size=4 exitcode=66 ${TSAN_OPTIONS:-}"
# See scripts/tsan-nofork-vm.c.
SHIM="$DIR/tsan-nofork-vm.so"
cc -shared -fPIC -O1 -o "$SHIM" "$ORBA_ROOT/scripts/tsan-nofork-vm.c" -ldl
# The sanitizer's shadow memory needs the fixed layout that address space
# randomisation on newer kernels breaks.
run() { LD_PRELOAD="$SHIM" setarch "$(uname -m)" -R "$@"; }

status=0
for test in $TESTS; do
    echo "== $test"
    log="$DIR/$test.tsan.log"
    code=0
    run "$DIR/tests/$test" --gtest_brief=1 ${1:+--gtest_filter="$1"} >"$log" 2>&1 || code=$?
    reports=$(grep -c '^WARNING: ThreadSanitizer' "$log" || true)
    if [ "$code" -eq 0 ] && [ "$reports" -eq 0 ]; then
        echo "   clean"
    else
        status=1
        echo "   exit $code, $reports report(s): $log"
        grep -A3 '^WARNING: ThreadSanitizer' "$log" | head -40 || true
    fi
done
exit $status
