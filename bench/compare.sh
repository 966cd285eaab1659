#!/usr/bin/env bash
# Times the whole CAD stage against gmsh importing the same STEP grid of touching
# unit boxes and fragmenting all its volumes (gmsh on one thread, as a yardstick).
#
# usage: bench/compare.sh [N ...]        grid sizes, default: 3 6
#        BUILD_DIR=...                   build tree holding bench/ (default: ./build)
#        RUNS=...                        runs of each side, the fastest counts (default: 3)
#        AIR=0                           skip the second comparison: the grid put in air
#                                        (padding 0) against gmsh adding the same box
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
runs=${RUNS:-3}
sizes=("$@")
if [ ${#sizes[@]} -eq 0 ]; then
    sizes=(3 6)
fi

if ! command -v gmsh > /dev/null; then
    if [ "$(id -u)" -eq 0 ]; then
        DEBIAN_FRONTEND=noninteractive apt-get install -y gmsh
    else
        sudo DEBIAN_FRONTEND=noninteractive apt-get install -y gmsh
    fi
fi
if [ ! -x "$build/bench/cad_stage_bench" ] || [ ! -x "$build/bench/unit_box_grid" ]; then
    cmake -S "$root" -B "$build"
    cmake --build "$build" -j3 --target cad_stage_bench unit_box_grid
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
now() { date +%s.%N; }
# The bench prints a 24-column label, then the value.
field() { awk -v key="$1" '{ label = substr($0, 1, 24); sub(/ +$/, "", label); if (label == key) { value = substr($0, 25); sub(/^ +/, "", value); print value } }' "$2"; }

phases=("read" "repair" "fuse" "entities and relations" "BREP export" "finalisation" "JSON and previews" "total")
summary=""
for n in "${sizes[@]}"; do
    step=$scratch/grid$n.step
    "$build/bench/unit_box_grid" "$n" "$step" > /dev/null
    # The fastest of several runs: the machine is shared, noise only adds time.
    ours=""
    for run in $(seq "$runs"); do
        "$build/bench/cad_stage_bench" "$step" "$scratch/work$n" > "$scratch/run.txt"
        seconds=$(field total_seconds "$scratch/run.txt")
        if [ -z "$ours" ] || awk -v a="$seconds" -v b="$ours" 'BEGIN { exit !(a < b) }'; then
            ours=$seconds
            cp "$scratch/run.txt" "$scratch/ours$n.txt"
        fi
    done

    cat > "$scratch/fragment$n.geo" << GEO
SetFactory("OpenCASCADE");
Merge "$step";
BooleanFragments{ Volume{:}; Delete; }{}
v() = Volume{:}; s() = Surface{:}; c() = Curve{:};
Printf("fragmented: %g solids, %g faces, %g edges", #v(), #s(), #c());
GEO
    theirs=""
    for run in $(seq "$runs"); do
        start=$(now)
        gmsh -0 -nt 1 "$scratch/fragment$n.geo" -o "$scratch/fragment$n.geo_unrolled" > "$scratch/gmsh$n.txt" 2>&1
        end=$(now)
        seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
        if [ -z "$theirs" ] || awk -v a="$seconds" -v b="$theirs" 'BEGIN { exit !(a < b) }'; then
            theirs=$seconds
        fi
    done

    entities=$(field entities "$scratch/ours$n.txt")
    gmshEntities=$(sed -n 's/.*fragmented: //p' "$scratch/gmsh$n.txt")
    ratio=$(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.2f", a / b }')
    summary+=$(printf '| %s | %s | %s | %.3f | %s | %s |' "$n" "$entities" "$gmshEntities" "$ours" "$theirs" "$ratio")$'\n'
    eval "total_$n=$ours"
done

echo "Whole stage (ours, all cores) against gmsh import + fragment (one thread), wall seconds, best of $runs:"
echo
echo "| N | our entities | gmsh entities | ours | gmsh | ours / gmsh |"
echo "|---|---|---|---|---|---|"
printf '%s' "$summary"
echo
echo "Our phases, wall seconds:"
echo
header="| phase |"
rule="|---|"
for n in "${sizes[@]}"; do
    header+=" N = $n |"
    rule+="---|"
done
echo "$header"
echo "$rule"
for phase in "${phases[@]}"; do
    row="| $phase |"
    for n in "${sizes[@]}"; do
        row+=" $(field "$phase" "$scratch/ours$n.txt" | sed 's/ s$//') |"
    done
    echo "$row"
done
if [ -n "${total_3:-}" ] && [ -n "${total_6:-}" ]; then
    echo
    awk -v a="$total_6" -v b="$total_3" 'BEGIN { printf "t(6) / t(3) = %.2f (8 times the solids)\n", a / b }'
fi

# The grid put in air: our stage with "addAir" (padding 0: half the grid's
# diagonal, N sqrt(3) / 2) against gmsh adding the same padded box to the
# imported grid and fragmenting all volumes on one thread.
if [ "${AIR:-1}" != "0" ]; then
    airPhases=("read" "repair" "fuse" "entities and relations" "BREP export" "air" "finalisation" "JSON and previews" "total")
    airSummary=""
    for n in "${sizes[@]}"; do
        step=$scratch/grid$n.step
        ours=""
        for run in $(seq "$runs"); do
            "$build/bench/cad_stage_bench" --air "$step" "$scratch/air$n" > "$scratch/run.txt"
            seconds=$(field total_seconds "$scratch/run.txt")
            if [ -z "$ours" ] || awk -v a="$seconds" -v b="$ours" 'BEGIN { exit !(a < b) }'; then
                ours=$seconds
                cp "$scratch/run.txt" "$scratch/oursAir$n.txt"
            fi
        done

        cat > "$scratch/air$n.geo" << GEO
SetFactory("OpenCASCADE");
Merge "$step";
p = 0.5 * Sqrt(3) * $n;
Box(newv) = {-p, -p, -p, $n + 2 * p, $n + 2 * p, $n + 2 * p};
BooleanFragments{ Volume{:}; Delete; }{}
v() = Volume{:}; s() = Surface{:}; c() = Curve{:};
Printf("fragmented: %g solids, %g faces, %g edges", #v(), #s(), #c());
GEO
        theirs=""
        for run in $(seq "$runs"); do
            start=$(now)
            gmsh -0 -nt 1 "$scratch/air$n.geo" -o "$scratch/air$n.geo_unrolled" > "$scratch/gmshAir$n.txt" 2>&1
            end=$(now)
            seconds=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
            if [ -z "$theirs" ] || awk -v a="$seconds" -v b="$theirs" 'BEGIN { exit !(a < b) }'; then
                theirs=$seconds
            fi
        done

        entities=$(field entities "$scratch/oursAir$n.txt")
        gmshEntities=$(sed -n 's/.*fragmented: //p' "$scratch/gmshAir$n.txt")
        ratio=$(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.2f", a / b }')
        airSummary+=$(printf '| %s | %s | %s | %.3f | %s | %s |' "$n" "$entities" "$gmshEntities" "$ours" "$theirs" "$ratio")$'\n'
        eval "airTotal_$n=$ours"
    done

    echo
    echo "The grid in air: whole stage with addAir (ours, all cores) against gmsh import + box + fragment (one thread), wall seconds, best of $runs:"
    echo
    echo "| N | our entities | gmsh entities | ours | gmsh | ours / gmsh |"
    echo "|---|---|---|---|---|---|"
    printf '%s' "$airSummary"
    echo
    echo "Our phases with the air, wall seconds:"
    echo
    echo "$header"
    echo "$rule"
    for phase in "${airPhases[@]}"; do
        row="| $phase |"
        for n in "${sizes[@]}"; do
            row+=" $(field "$phase" "$scratch/oursAir$n.txt" | sed 's/ s$//') |"
        done
        echo "$row"
    done
    if [ -n "${airTotal_3:-}" ] && [ -n "${airTotal_6:-}" ]; then
        echo
        awk -v a="$airTotal_6" -v b="$airTotal_3" 'BEGIN { printf "t(6) / t(3) = %.2f with the air (8 times the solids)\n", a / b }'
    fi
fi
