#!/usr/bin/env bash
# Times the whole CAD stage against gmsh importing the same STEP file and
# fragmenting all its volumes (gmsh on one thread, as a yardstick), on two
# generated models: grids of N x N x N touching unit boxes, and N x N curved
# assemblies (boards with components, bolted plates, coils around cores).
#
# usage: bench/compare.sh [N ...]        grid sizes, default: 3 6
#        CURVED="2 4"                    curved assembly sizes (default: 2 4; "" for none)
#        BUILD_DIR=...                   build tree holding bench/ (default: ./build)
#        RUNS=...                        rounds, each side once per round; the median counts (default: 3)
#        AIR=0                           skip the grids put in air (addAir, padding 0)
#                                        against gmsh adding the same box
#        BEFORE_BUILD_DIR=...            another build (say, of the commit before a change),
#                                        run in the same rounds and shown beside ours
#
# Both sides are timed the same way: the whole process, wall seconds.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
runs=${RUNS:-3}
sizes=("$@")
if [ ${#sizes[@]} -eq 0 ]; then
    sizes=(3 6)
fi
read -r -a curvedSizes <<< "${CURVED-2 4}"

if ! command -v gmsh > /dev/null; then
    if [ "$(id -u)" -eq 0 ]; then
        DEBIAN_FRONTEND=noninteractive apt-get install -y gmsh
    else
        sudo DEBIAN_FRONTEND=noninteractive apt-get install -y gmsh
    fi
fi
before=${BEFORE_BUILD_DIR:-}
if [ -n "$before" ] && [ ! -x "$before/bench/cad_stage_bench" ]; then
    echo "No bench/cad_stage_bench in BEFORE_BUILD_DIR=$before" >&2
    exit 2
fi
if [ ! -x "$build/bench/cad_stage_bench" ] || [ ! -x "$build/bench/unit_box_grid" ] ||
    [ ! -x "$build/bench/curved_assemblies" ]; then
    cmake -S "$root" -B "$build"
    cmake --build "$build" -j3 --target cad_stage_bench unit_box_grid curved_assemblies
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
now() { date +%s.%N; }
load=$(cut -d' ' -f1-3 /proc/loadavg)
# The bench prints a 24-column label, then the value.
field() { awk -v key="$1" '{ label = substr($0, 1, 24); sub(/ +$/, "", label); if (label == key) { value = substr($0, 25); sub(/^ +/, "", value); print value } }' "$2"; }

phases=("read" "repair" "fuse" "entities and relations" "BREP export" "finalisation" "JSON and previews" "total")
airPhases=("read" "repair" "fuse" "entities and relations" "BREP export" "air" "finalisation" "JSON and previews" "total")
# The line whose first number is the median, and that number alone.
medianLine() { sort -g | awk '{ line[NR] = $0 } END { print line[int((NR + 1) / 2)] }'; }
median() { medianLine | awk '{ print $1 }'; }
peak() { sed -n 's/.*Maximum resident set size (kbytes): //p' "$1"; }

# compare_case <label> <generator> <N> [air]: one line of the summary, and the
# phases of our median run in $scratch/ours-<label>.txt. With "air" (grids
# only) our stage adds the air (padding 0: half the grid's diagonal,
# N sqrt(3) / 2) and gmsh adds the same padded box before fragmenting.
compare_case() {
    local label=$1 generator=$2 n=$3 air=${4:-}
    local step=$scratch/$generator-$n.step
    [ -f "$step" ] || "$build/bench/$generator" "$n" "$step" > /dev/null
    local box="" airFlag=()
    if [ -n "$air" ]; then
        box="p = 0.5 * Sqrt(3) * $n;
Box(newv) = {-p, -p, -p, $n + 2 * p, $n + 2 * p, $n + 2 * p};"
        airFlag=(--air)
    fi
    cat > "$scratch/fragment-$label.geo" << GEO
SetFactory("OpenCASCADE");
Merge "$step";
$box
BooleanFragments{ Volume{:}; Delete; }{}
v() = Volume{:}; s() = Surface{:}; c() = Curve{:};
Printf("fragmented: %g solids, %g faces, %g edges", #v(), #s(), #c());
GEO
    # Rounds alternate the sides, so that a busy spell of the shared machine
    # falls on all of them.
    local side
    for side in ours before gmsh; do
        : > "$scratch/$side.times"
        : > "$scratch/$side.memory"
    done
    local start end
    for run in $(seq "$runs"); do
        for side in ours before; do
            local dir=$build
            if [ "$side" = before ]; then
                [ -n "$before" ] || continue
                dir=$before
            fi
            # A fresh working directory each run, as the stage gets: files
            # deleted moments before slow down the file system's allocation
            # of new ones.
            start=$(now)
            /usr/bin/time -v -o "$scratch/time.txt" \
                "$dir/bench/cad_stage_bench" "${airFlag[@]}" "$step" "$scratch/work-$label-$side-$run" \
                > "$scratch/$side-run$run.txt"
            end=$(now)
            awk -v a="$start" -v b="$end" -v r="$run" 'BEGIN { printf "%.3f %d\n", b - a, r }' >> "$scratch/$side.times"
            peak "$scratch/time.txt" >> "$scratch/$side.memory"
        done
        start=$(now)
        /usr/bin/time -v -o "$scratch/time.txt" \
            gmsh -0 -nt 1 "$scratch/fragment-$label.geo" -o "$scratch/fragment-$label.geo_unrolled" \
            > "$scratch/gmsh-$label.txt" 2>&1
        end=$(now)
        awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", b - a }' >> "$scratch/gmsh.times"
        peak "$scratch/time.txt" >> "$scratch/gmsh.memory"
    done
    local ours theirs medianRun
    # Our median time, and the run it came from for its phases.
    read -r ours medianRun <<< "$(medianLine < "$scratch/ours.times")"
    theirs=$(median < "$scratch/gmsh.times")
    cp "$scratch/ours-run$medianRun.txt" "$scratch/ours-$label.txt"
    local entities gmshEntities ratio ourMemory gmshMemory
    entities=$(field entities "$scratch/ours-$label.txt")
    gmshEntities=$(sed -n 's/.*fragmented: //p' "$scratch/gmsh-$label.txt")
    ratio=$(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.2f", a / b }')
    ourMemory=$(median < "$scratch/ours.memory")
    gmshMemory=$(median < "$scratch/gmsh.memory")
    local beforeColumns=""
    if [ -n "$before" ]; then
        local previous previousMemory
        previous=$(median < "$scratch/before.times")
        previousMemory=$(median < "$scratch/before.memory")
        beforeColumns=$(printf ' %.3f | %s | %d |' "$previous" \
            "$(awk -v a="$previous" -v b="$theirs" 'BEGIN { printf "%.2f", a / b }')" $((previousMemory / 1024)))
    fi
    summary+=$(printf '| %s | %s | %s |%s %.3f | %s | %s | %d | %d |' "$label" "$entities" "$gmshEntities" \
        "$beforeColumns" "$ours" "$theirs" "$ratio" $((ourMemory / 1024)) $((gmshMemory / 1024)))$'\n'
    eval "total_${label//[^a-z0-9]/_}=$ours"
}

# print_phases <label> ...: our phases of the given cases, one column each.
print_phases() {
    local header="| phase |" rule="|---|" label row phase
    local shown=("${phases[@]}")
    if [[ "$1" == air* ]]; then
        shown=("${airPhases[@]}")
    fi
    for label in "$@"; do
        header+=" $label |"
        rule+="---|"
    done
    echo "$header"
    echo "$rule"
    for phase in "${shown[@]}"; do
        row="| $phase |"
        for label in "$@"; do
            row+=" $(field "$phase" "$scratch/ours-$label.txt" | sed 's/ s$//') |"
        done
        echo "$row"
    done
}

summary=""
gridLabels=()
for n in "${sizes[@]}"; do
    gridLabels+=("grid$n")
    compare_case "grid$n" unit_box_grid "$n"
done
airLabels=()
if [ "${AIR:-1}" != "0" ]; then
    for n in "${sizes[@]}"; do
        airLabels+=("air$n")
        compare_case "air$n" unit_box_grid "$n" air
    done
fi
curvedLabels=()
for n in "${curvedSizes[@]}"; do
    curvedLabels+=("curved$n")
    compare_case "curved$n" curved_assemblies "$n"
done

echo "Machine load before: $load"
echo "Machine load after:  $(cut -d' ' -f1-3 /proc/loadavg)"
echo
echo "Whole stage (ours, all cores) against gmsh import + fragment (one thread), whole process, wall seconds and peak memory, median of $runs:"
echo
if [ -n "$before" ]; then
    echo "| case | our entities | gmsh entities | before | before / gmsh | before MB | ours | gmsh | ours / gmsh | our MB | gmsh MB |"
    echo "|---|---|---|---|---|---|---|---|---|---|---|"
else
    echo "| case | our entities | gmsh entities | ours | gmsh | ours / gmsh | our MB | gmsh MB |"
    echo "|---|---|---|---|---|---|---|---|"
fi
printf '%s' "$summary"
if [ ${#gridLabels[@]} -gt 0 ]; then
    echo
    echo "Our phases on the grids (N x N x N unit boxes), wall seconds inside the process (the median run):"
    echo
    print_phases "${gridLabels[@]}"
fi
if [ ${#airLabels[@]} -gt 0 ]; then
    echo
    echo "Our phases on the grids put in air, wall seconds:"
    echo
    print_phases "${airLabels[@]}"
fi
if [ ${#curvedLabels[@]} -gt 0 ]; then
    echo
    echo "Our phases on the curved assemblies (N x N), wall seconds:"
    echo
    print_phases "${curvedLabels[@]}"
fi
if [ -n "${total_grid4:-}" ] && [ -n "${total_grid8:-}" ]; then
    echo
    awk -v a="$total_grid8" -v b="$total_grid4" 'BEGIN { printf "t(8) / t(4) = %.2f (8 times the solids)\n", a / b }'
fi
