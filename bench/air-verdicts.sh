#!/bin/bash
# Runs bench/AirVerdict.cpp's program on every CAD file of a directory, three
# at a time, and prints one line per file. Not run by ctest.
# usage: bench/air-verdicts.sh AIR_VERDICT_BINARY CAD_DIRECTORY OUTPUT_DIRECTORY [TIMEOUT_SECONDS]
set -u
binary=$1; cad=$2; out=$3; limit=${4:-300}
mkdir -p "$out"
ls "$cad" | grep -Eiv '\.md$' | xargs -P 3 -I{} sh -c \
  "timeout $limit '$binary' '$cad/{}' '$out/scratch-{}' > '$out/{}.log' 2>'$out/{}.err'; echo \$? > '$out/{}.rc'; rm -rf '$out/scratch-{}'"
for log in "$out"/*.log; do
    name=$(basename "$log" .log)
    printf '%-28s rc=%s %s\n' "$name" "$(cat "$out/$name.rc")" "$(tr '\n' ' ' < "$log")"
done
