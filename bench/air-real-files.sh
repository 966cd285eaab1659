#!/usr/bin/env bash
# Times what the air adds on real CAD files: our whole stage on the file
# ("readCADfiles", then "readCADfiles" + "addAir" with the automatic padding:
# half the diagonal of the model's bounding box on every side), beside gmsh
# importing the file and fragmenting its volumes, without and with the same
# padded box added before the fragmenting (gmsh on one thread, a yardstick).
# What the air adds to our run (its "air" phase, and the finalisation and
# previews it makes larger) is our run with air minus our run without; what
# the box adds to gmsh's is the same difference of its two runs. A file that
# ends in an error on a side is reported with the error, and the script goes
# on with the next file.
#
# usage: bench/air-real-files.sh [FILE|DIRECTORY ...]   default: the STEP and IGES files of
#                                                       shared/realcad beside the checkout
#        BUILD_DIR=...    build tree holding bench/ (default: ./build)
#        RUNS=...         rounds, each of the four runs once per round; the median counts (default: 3)
#        TIMEOUT=...      seconds after which a run is stopped and reported (default: 300)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
runs=${RUNS:-3}
limit=${TIMEOUT:-300}
if [ ! -x "$build/bench/cad_stage_bench" ]; then
    cmake -S "$root" -B "$build"
    cmake --build "$build" -j3 --target cad_stage_bench
fi
command -v gmsh > /dev/null || { echo "gmsh is not installed (apt-get install gmsh)" >&2; exit 2; }

inputs=("$@")
[ ${#inputs[@]} -gt 0 ] || inputs=("$root/../shared/realcad")
files=()
for input in "${inputs[@]}"; do
    if [ -d "$input" ]; then
        while IFS= read -r file; do
            files+=("$file")
        done < <(find "$input" -maxdepth 1 -type f \( -iname '*.step' -o -iname '*.stp' -o -iname '*.iges' -o -iname '*.igs' \) | sort)
    else
        files+=("$(cd "$(dirname "$input")" && pwd)/$(basename "$input")")
    fi
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
now() { date +%s.%N; }
loadBefore=$(cut -d' ' -f1-3 /proc/loadavg)
: > "$scratch/loads"
field() { awk -v key="$1" '{ label = substr($0, 1, 24); sub(/ +$/, "", label); if (label == key) { value = substr($0, 25); sub(/^ +/, "", value); sub(/ s$/, "", value); print value } }' "$2"; }
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR) print v[int((NR + 1) / 2)] }'; }
cpu() { awk -F': ' '/User time \(seconds\)|System time \(seconds\)/ { sum += $2 } END { printf "%.3f\n", sum }' "$1"; }
peak() { sed -n 's/.*Maximum resident set size (kbytes): //p' "$1"; }

# timed <name> <command...>: runs the command under the time limit, appends
# its wall seconds, CPU seconds and peak kB to $scratch/<name>.runs, keeps its
# output in $scratch/<name>.log, and fails when the command does.
timed() {
    local name=$1 start end status=0
    shift
    start=$(now)
    /usr/bin/time -v -o "$scratch/time.txt" timeout "$limit" "$@" > "$scratch/$name.log" 2>&1 || status=$?
    end=$(now)
    cut -d' ' -f1 /proc/loadavg >> "$scratch/loads"
    [ $status -eq 0 ] || return $status
    awk -v a="$start" -v b="$end" -v c="$(cpu "$scratch/time.txt")" -v m="$(peak "$scratch/time.txt")" \
        'BEGIN { printf "%.3f %s %s\n", b - a, c, m }' >> "$scratch/$name.runs"
}

# The error a failed run ends in, on one line.
failure() {
    local status=$1 log=$2 text
    if [ "$status" -eq 124 ]; then
        echo "stopped after $limit s"
        return
    fi
    text=$(grep -m1 '^Exception' "$log" || grep -m1 -E 'Error|error' "$log" || true)
    text=$(printf '%s' "$text" | sed 's/^Exception *//' | cut -c1-160 | tr '|' '/')
    echo "exit $status: ${text:-no message}"
}

echo "Machine: $(nproc) cores ($(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1))"
echo "Machine load (1, 5, 15 minutes) at the start: $loadBefore"
echo
echo "The air on real files, whole process, wall / CPU seconds, median of $runs rounds: ours reads the file"
echo "(\"readCADfiles\") without and with \"addAir\" (automatic padding); gmsh imports and fragments on one"
echo "thread, without and with the same padded box; \"added\" is the run with air (box) minus the run without."
echo "Each file's row is printed as soon as the file is done."
echo
echo "| file | solids: ours (no air) / gmsh (with box) | ours | ours with air | our air phase | added by the air | gmsh | gmsh with box | added by the box | added: ours / gmsh | peak MB: ours / with air / gmsh with box | errors |"
echo "|---|---|---|---|---|---|---|---|---|---|---|---|"

for file in "${files[@]}"; do
    name=$(basename "$file")
    box="v() = Volume{:};
b() = BoundingBox Volume{v()};
p = 0.5 * Sqrt((b(3) - b(0))^2 + (b(4) - b(1))^2 + (b(5) - b(2))^2);
Box(newv) = {b(0) - p, b(1) - p, b(2) - p, b(3) - b(0) + 2 * p, b(4) - b(1) + 2 * p, b(5) - b(2) + 2 * p};"
    for side in plain box; do
        {
            echo 'SetFactory("OpenCASCADE");'
            echo "Merge \"$file\";"
            [ $side = plain ] || echo "$box"
            echo 'BooleanFragments{ Volume{:}; Delete; }{}'
            echo 'v() = Volume{:};'
            echo 'Printf("fragmented: %g solids", #v());'
            echo 'Exit;'
        } > "$scratch/gmsh-$side.geo"
    done
    for side in ours air gmsh gmshbox; do
        : > "$scratch/$side.runs"
    done
    oursError="" airError="" gmshError="" gmshBoxError=""
    for run in $(seq "$runs"); do
        # The four runs of a round one after the other, so that a busy spell
        # of the shared machine falls on all of them; a side that failed once
        # is not run again.
        status=0
        [ -n "$oursError" ] || timed ours "$build/bench/cad_stage_bench" "$file" "$scratch/work-ours-$run" || {
            status=$?; oursError=$(failure $status "$scratch/ours.log"); }
        status=0
        [ -n "$airError" ] || timed air "$build/bench/cad_stage_bench" --air "$file" "$scratch/work-air-$run" || {
            status=$?; airError=$(failure $status "$scratch/air.log"); }
        status=0
        [ -n "$gmshError" ] || timed gmsh gmsh -0 -nt 1 "$scratch/gmsh-plain.geo" || {
            status=$?; gmshError=$(failure $status "$scratch/gmsh.log"); }
        status=0
        [ -n "$gmshBoxError" ] || timed gmshbox gmsh -0 -nt 1 "$scratch/gmsh-box.geo" || {
            status=$?; gmshBoxError=$(failure $status "$scratch/gmshbox.log"); }
        rm -rf "$scratch"/work-*
        # gmsh reports an error on its output and may still end well.
        for side in gmsh gmshbox; do
            if grep -q '^Error' "$scratch/$side.log"; then
                [ $side = gmsh ] && gmshError=${gmshError:-$(grep -m1 '^Error' "$scratch/$side.log" | cut -c1-120)}
                [ $side = gmshbox ] && gmshBoxError=${gmshBoxError:-$(grep -m1 '^Error' "$scratch/$side.log" | cut -c1-120)}
            fi
        done
    done
    # column <side> <field>: the median of one column of a side's runs.
    column() { awk -v c="$2" '{ print $c }' "$scratch/$1.runs" | median; }
    solids=$(field entities "$scratch/ours.log" | sed 's/ solids.*//')
    gmshSolids=$(sed -n 's/.*fragmented: \([0-9]*\) solids.*/\1/p' "$scratch/gmshbox.log" | head -1)
    airPhase=$(field air "$scratch/air.log")
    cells=()
    for side in ours air gmsh gmshbox; do
        if [ -s "$scratch/$side.runs" ]; then
            cells+=("$(column $side 1)" "$(column $side 2)" "$(($(column $side 3) / 1024))")
        else
            cells+=("-" "-" "-")
        fi
    done
    added() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "-" || b == "-") print "-"; else printf "%.3f", b - a }'; }
    oursAdded=$(added "${cells[0]}" "${cells[3]}")
    oursAddedCpu=$(added "${cells[1]}" "${cells[4]}")
    gmshAdded=$(added "${cells[6]}" "${cells[9]}")
    gmshAddedCpu=$(added "${cells[7]}" "${cells[10]}")
    ratio=$(awk -v a="$oursAdded" -v b="$gmshAdded" 'BEGIN { if (a == "-" || b == "-" || b <= 0) print "-"; else printf "%.2f", a / b }')
    notes=""
    [ -z "$oursError" ] || notes+="read: $oursError; "
    [ -z "$airError" ] || notes+="air: $airError; "
    [ -z "$gmshError" ] || notes+="gmsh: $gmshError; "
    [ -z "$gmshBoxError" ] || notes+="gmsh with box: $gmshBoxError; "
    echo "| $name | ${solids:--} / ${gmshSolids:--} | ${cells[0]} / ${cells[1]} | ${cells[3]} / ${cells[4]} | ${airPhase:--} | $oursAdded / $oursAddedCpu | ${cells[6]} / ${cells[7]} | ${cells[9]} / ${cells[10]} | $gmshAdded / $gmshAddedCpu | $ratio | ${cells[2]} / ${cells[5]} / ${cells[11]} | ${notes%; } |"
done

echo
echo "Machine load (1, 5, 15 minutes) at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
sort -g "$scratch/loads" | awk '{ l[NR] = $1 } END { if (NR) printf "1-minute load at the runs: min %s, median %s, max %s\n", l[1], l[int((NR + 1) / 2)], l[NR] }'
