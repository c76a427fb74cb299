#!/usr/bin/env bash
# Runs every cell of the fault matrix (each transfer a window starts against
# each kind of trouble on the line), each in a process of its own with a time
# limit, and prints the table: the outcome of a cell that passed (done,
# no-link, box-+-note, port-error, every-read), FAIL(outcome) or HUNG. Logs
# of the cells that did not pass are left in build/fault-matrix/.
#
#   scripts/fault-matrix.sh [cell pattern, e.g. 'List*' or '*_Unplug'] [jobs (2)]
#   MATRIX_FAST=1 scripts/fault-matrix.sh ...    the same in the fast exchange
set -euo pipefail
ORBA_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
. "$ORBA_ROOT/scripts/common.sh"
orba_install_packages
orba_build_targets fault_matrix vinst

export QT_QPA_PLATFORM=offscreen
export MATRIX_BIN="$ORBA_ROOT/build/tests/fault_matrix"
export MATRIX_OUT="$ORBA_ROOT/build/fault-matrix"
export MATRIX_LIMIT=300   # seconds; a cell still running then is hung
export MATRIX_SUITE="All/${MATRIX_FAST:+Fast}FaultMatrix.Cell"
rm -rf "$MATRIX_OUT" && mkdir -p "$MATRIX_OUT"

pattern="${1:-*}"
cells=$("$MATRIX_BIN" --gtest_list_tests --gtest_filter="$MATRIX_SUITE/$pattern" | awk '/^  /{sub("^Cell/", "", $1); print $1}')

run_cell() {
    local cell="$1" code=0
    timeout -k 10 "$MATRIX_LIMIT" "$MATRIX_BIN" --gtest_filter="$MATRIX_SUITE/$cell" \
        >"$MATRIX_OUT/$cell.log" 2>&1 || code=$?
    local outcome
    outcome=$(sed -n 's/^cell outcome: //p' "$MATRIX_OUT/$cell.log" | tr ' ' '-')
    case $code in
        0) echo "$outcome" >"$MATRIX_OUT/$cell.result"; rm -f "$MATRIX_OUT/$cell.log" ;;
        124|137) echo HUNG >"$MATRIX_OUT/$cell.result" ;;
        *) echo "FAIL($outcome)" >"$MATRIX_OUT/$cell.result" ;;
    esac
}
export -f run_cell
echo "$cells" | xargs -P "${2:-2}" -I{} bash -c 'run_cell {}'

# The table: a row per transfer, a column per kind of trouble, in the
# order of the listing.
echo "$cells" | awk -v out="$MATRIX_OUT" '
    {
        split($0, part, "_"); t = part[1]; f = part[2]
        if (!(t in seenT)) { seenT[t] = 1; T[++nt] = t }
        if (!(f in seenF)) { seenF[f] = 1; F[++nf] = f }
        file = out "/" $0 ".result"; r = "?"
        if ((getline r < file) <= 0) r = "?"
        close(file); cell[t, f] = r; count[r ~ /^FAIL/ ? "FAIL" : r == "HUNG" ? "HUNG" : "ok"]++
    }
    END {
        printf "%-16s", ""; for (j = 1; j <= nf; j++) printf " %-14s", F[j]; printf "\n"
        for (i = 1; i <= nt; i++) {
            printf "%-16s", T[i]
            for (j = 1; j <= nf; j++) printf " %-14s", ((T[i], F[j]) in cell) ? cell[T[i], F[j]] : ""
            printf "\n"
        }
        printf "\n%d cells: %d passed, %d failed, %d hung\n", NR, count["ok"], count["FAIL"], count["HUNG"]
        exit (count["FAIL"] + count["HUNG"] > 0)
    }'
