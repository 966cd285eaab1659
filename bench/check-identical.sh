#!/usr/bin/env bash
# Checks that the stage writes the same bytes (geometry-data JSON, BREP and
# VTK side files) on one thread and on many, and, given a reference build,
# the same bytes as that build.
#
# usage: bench/check-identical.sh model.step ...
#        BUILD_DIR=...            build tree holding bench/ (default: ./build)
#        REFERENCE_BUILD_DIR=...  another build tree to compare with (optional)
#        THREADS="1 8"            thread counts to compare (default: 1 3 8)
#        AIR=1                    put each model in air ("addAir", automatic padding)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
reference=${REFERENCE_BUILD_DIR:-}
threads=${THREADS:-1 3 8}
air=()
if [ "${AIR:-0}" = 1 ]; then
    air=(--air)
fi
if [ $# -eq 0 ]; then
    echo "usage: bench/check-identical.sh model.step ..." >&2
    exit 2
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# Every run works in the same directory: paths inside the JSON name it.
work=$scratch/work

# run <bench> <threads> <model> <copy>
run() {
    OMP_NUM_THREADS=$2 "$1" "${air[@]}" "$3" "$work" > "$scratch/log.txt" 2>&1 || {
        cat "$scratch/log.txt" >&2
        return 1
    }
    rm -rf "$4"
    cp -r "$work" "$4"
    rm -f "$4/.cad_stage_bench"
}

status=0
# same_as_first <copy> <when the same> <when not>: reports whether the copy
# holds the same files, byte for byte, as the first run's.
same_as_first() {
    if diff -r -q "$first" "$1" > "$scratch/diff.txt"; then
        echo "$name: identical $2"
    else
        echo "$name: DIFFERENT $3:"
        head -20 "$scratch/diff.txt"
        status=1
    fi
}

for model in "$@"; do
    name=$(basename "$model")
    first=""
    for count in $threads; do
        copy=$scratch/$name.$count
        run "$build/bench/cad_stage_bench" "$count" "$model" "$copy"
        if [ -z "$first" ]; then
            first=$copy
            files=$(find "$copy" -type f | wc -l)
            echo "$name: $files files on $count thread(s)"
        else
            same_as_first "$copy" "on $count threads" "on $count threads"
        fi
    done
    if [ -n "$reference" ]; then
        copy=$scratch/$name.reference
        run "$reference/bench/cad_stage_bench" 8 "$model" "$copy"
        same_as_first "$copy" "to the reference build" "from the reference build"
    fi
done
exit $status
