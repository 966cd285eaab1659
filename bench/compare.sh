#!/usr/bin/env bash
# Times the whole CAD stage against gmsh importing the same STEP file and
# fragmenting all its volumes (gmsh on one thread, as a yardstick), on two
# generated models: grids of N x N x N touching unit boxes, and N x N curved
# assemblies (boards with components, bolted plates, coils around cores), and
# on CAD files given by name.
#
# usage: bench/compare.sh [N ...]        grid sizes, default: 3 6
#        CURVED="2 4"                    curved assembly sizes (default: 2 4; "" for none)
#        FILES="a.step b.stp"            CAD files, each a case of its own (default: none)
#        BUILD_DIR=...                   build tree holding bench/ (default: ./build)
#        RUNS=...                        rounds, each side once per round; the median counts (default: 3)
#        AIR=0                           skip the grids put in air (addAir, padding 0)
#                                        against gmsh adding the same box
#        BEFORE_BUILD_DIR=...            another build (say, of the commit before a change),
#                                        run in the same rounds and shown beside ours
#
# Every side is timed the same way: the whole process, wall seconds and CPU
# seconds (user + system, every thread), and peak memory. With a second build,
# each round's ratio ours / before is taken for wall and CPU time, and the
# median of those paired ratios is shown: a busy spell of the shared machine
# falls on both runs of a round, so the paired ratio holds where medians of
# wall times drift. Our phases are shown with their wall and CPU seconds (the
# bench prints the process's CPU over each phase it times itself).
set -Eeuo pipefail
# A step that fails ends the script; say which, since the tables are printed
# only at the end.
trap 'status=$?; [ "$BASH_SUBSHELL" -gt 0 ] || echo "compare.sh: line $LINENO: \"$BASH_COMMAND\" failed (status $status)" >&2' ERR

root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
runs=${RUNS:-3}
sizes=("$@")
if [ ${#sizes[@]} -eq 0 ]; then
    sizes=(3 6)
fi
read -r -a curvedSizes <<< "${CURVED-2 4}"
read -r -a files <<< "${FILES-}"

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
    cmake --build "$build" -j2 --target cad_stage_bench unit_box_grid curved_assemblies
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
# CPU seconds (user + system) of a run timed by /usr/bin/time -v.
cpu() { awk -F': ' '/User time \(seconds\)|System time \(seconds\)/ { sum += $2 } END { printf "%.3f\n", sum }' "$1"; }
# The 1-minute load average now.
loadNow() { cut -d' ' -f1 /proc/loadavg; }
: > "$scratch/loads"

# compare_case <label> <generator> <N> [air]: one line of the summary of the
# family, and the phases of our median run in $scratch/ours-<label>.txt.
# With "air" (grids only) our stage adds the air (padding 0: half the grid's
# diagonal, N sqrt(3) / 2) and gmsh adds the same padded box before
# fragmenting. The generator "file" takes the CAD file named by <N>.
compare_case() {
    local label=$1 generator=$2 n=$3 air=${4:-}
    local step=$scratch/$generator-$n.step
    if [ "$generator" = file ]; then
        step=$n
    else
        [ -f "$step" ] || "$build/bench/$generator" "$n" "$step" > /dev/null
    fi
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
        : > "$scratch/$side.cpu"
        : > "$scratch/$side.memory"
    done
    local start end gmshError=""
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
                > "$scratch/$side-run$run.txt" || {
                echo "$side failed on $label (round $run):" >&2
                tail -3 "$scratch/$side-run$run.txt" "$scratch/time.txt" >&2
                exit 1
            }
            end=$(now)
            awk -v a="$start" -v b="$end" -v r="$run" 'BEGIN { printf "%.3f %d\n", b - a, r }' >> "$scratch/$side.times"
            cpu "$scratch/time.txt" >> "$scratch/$side.cpu"
            peak "$scratch/time.txt" >> "$scratch/$side.memory"
            loadNow >> "$scratch/loads"
        done
        # gmsh ends with status 1 on any error it logs (fragments failing on
        # a file of one volume, a surface skipped when writing the unrolled
        # file): the row shows the error, and the round counts when gmsh got
        # as far as counting the fragments.
        start=$(now)
        local gmshStatus=0
        /usr/bin/time -v -o "$scratch/time.txt" \
            gmsh -0 -nt 1 "$scratch/fragment-$label.geo" -o "$scratch/fragment-$label.geo_unrolled" \
            > "$scratch/gmsh-$label.txt" 2>&1 || gmshStatus=$?
        if [ "$gmshStatus" -ne 0 ]; then
            gmshError=$(grep -m 1 -i 'error' "$scratch/gmsh-$label.txt" || tail -1 "$scratch/gmsh-$label.txt")
            gmshError=" (gmsh: status $gmshStatus, $gmshError)"
        fi
        if grep -q 'fragmented: ' "$scratch/gmsh-$label.txt"; then
            end=$(now)
            awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", b - a }' >> "$scratch/gmsh.times"
            cpu "$scratch/time.txt" >> "$scratch/gmsh.cpu"
            peak "$scratch/time.txt" >> "$scratch/gmsh.memory"
        else
            echo "gmsh failed on $label (round $run)$gmshError" >&2
        fi
    done
    local ours theirs medianRun
    # Our median time, and the run it came from for its phases.
    read -r ours medianRun <<< "$(medianLine < "$scratch/ours.times")"
    cp "$scratch/ours-run$medianRun.txt" "$scratch/ours-$label.txt"
    local entities gmshEntities ratio ourCpu ourMemory gmshColumns
    entities=$(field entities "$scratch/ours-$label.txt")
    ourCpu=$(median < "$scratch/ours.cpu")
    ourMemory=$(median < "$scratch/ours.memory")
    if [ -s "$scratch/gmsh.times" ]; then
        local theirs gmshCpu gmshMemory
        theirs=$(median < "$scratch/gmsh.times")
        gmshCpu=$(median < "$scratch/gmsh.cpu")
        gmshMemory=$(median < "$scratch/gmsh.memory")
        gmshEntities=$(sed -n 's/.*fragmented: //p' "$scratch/gmsh-$label.txt")$gmshError
        ratio=$(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.2f", a / b }')
        gmshColumns=$(printf '%.3f | %.3f | %d | %s' "$theirs" "$gmshCpu" $((gmshMemory / 1024)) "$ratio")
    else
        gmshEntities="failed$gmshError"
        gmshColumns="- | - | - | -"
    fi
    local beforeColumns=""
    if [ -n "$before" ]; then
        local previous previousRun previousCpu previousMemory wallRatio cpuRatio
        read -r previous previousRun <<< "$(medianLine < "$scratch/before.times")"
        cp "$scratch/before-run$previousRun.txt" "$scratch/before-$label.txt"
        previousCpu=$(median < "$scratch/before.cpu")
        previousMemory=$(median < "$scratch/before.memory")
        # Round by round: the lines of the two files belong together.
        wallRatio=$(paste -d' ' "$scratch/ours.times" "$scratch/before.times" |
            awk '{ printf "%.3f\n", $1 / $3 }' | median)
        cpuRatio=$(paste -d' ' "$scratch/ours.cpu" "$scratch/before.cpu" | awk '{ printf "%.3f\n", $1 / $2 }' | median)
        beforeColumns=$(printf ' %.3f | %.3f | %d | %s | %s |' "$previous" "$previousCpu" \
            $((previousMemory / 1024)) "$wallRatio" "$cpuRatio")
    fi
    local row
    row=$(printf '| %s | %s | %s |%s %.3f | %.3f | %d | %s |' "$label" "$entities" \
        "$gmshEntities" "$beforeColumns" "$ours" "$ourCpu" $((ourMemory / 1024)) "$gmshColumns")
    summaries[$family]+="$row"$'\n'
    eval "total_${label//[^a-z0-9]/_}=$ours"
}

# print_phases <label> ...: our phases of the given cases, one column each,
# "wall / CPU" where the bench gives the phase's CPU seconds; with a second
# build, its "JSON and previews" and total beside ours.
print_phases() {
    local header="| phase |" rule="|---|" label row phase wall cpuSeconds
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
    cell() {
        wall=$(field "$2" "$1" | sed 's/ s$//')
        cpuSeconds=$(field "$2 CPU" "$1" | sed 's/ s$//')
        if [ -n "$cpuSeconds" ]; then
            printf '%s / %s' "$wall" "$cpuSeconds"
        else
            printf '%s' "$wall"
        fi
    }
    for phase in "${shown[@]}"; do
        row="| $phase |"
        for label in "$@"; do
            row+=" $(cell "$scratch/ours-$label.txt" "$phase") |"
        done
        echo "$row"
        if [ "$phase" = "BREP export" ]; then
            row="| reading (the five above), CPU |"
            for label in "$@"; do
                row+=" $(field "reading CPU" "$scratch/ours-$label.txt" | sed 's/ s$//') |"
            done
            echo "$row"
        fi
    done
    if [ -n "$before" ]; then
        for phase in "JSON and previews" total; do
            row="| before: $phase |"
            for label in "$@"; do
                row+=" $(cell "$scratch/before-$label.txt" "$phase") |"
            done
            echo "$row"
        done
    fi
}

# print_family <family> <title> <label> ...: the summary and the phases of one
# family of models.
print_family() {
    local family=$1 title=$2
    shift 2
    [ $# -gt 0 ] || return 0
    echo
    echo "$title: whole process, wall and CPU seconds and peak MB, median of $runs rounds; gmsh imports and fragments on one thread:"
    echo
    if [ -n "$before" ]; then
        echo "| case | our entities | gmsh entities | before | before CPU | before MB | ours / before (paired) | CPU ours / before (paired) | ours | our CPU | our MB | gmsh | gmsh CPU | gmsh MB | ours / gmsh |"
        echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|---|"
    else
        echo "| case | our entities | gmsh entities | ours | our CPU | our MB | gmsh | gmsh CPU | gmsh MB | ours / gmsh |"
        echo "|---|---|---|---|---|---|---|---|---|---|"
    fi
    printf '%s' "${summaries[$family]}"
    echo
    echo "Our phases, wall / CPU seconds inside the process (the median run):"
    echo
    print_phases "$@"
}

declare -A summaries=([grids]="" [air]="" [curved]="" [files]="")
family=grids
gridLabels=()
for n in "${sizes[@]}"; do
    gridLabels+=("grid$n")
    compare_case "grid$n" unit_box_grid "$n"
done
family=air
airLabels=()
if [ "${AIR:-1}" != "0" ]; then
    for n in "${sizes[@]}"; do
        airLabels+=("air$n")
        compare_case "air$n" unit_box_grid "$n" air
    done
fi
family=curved
curvedLabels=()
for n in "${curvedSizes[@]}"; do
    curvedLabels+=("curved$n")
    compare_case "curved$n" curved_assemblies "$n"
done
family=files
fileLabels=()
for file in "${files[@]}"; do
    label=$(basename "$file")
    label=${label%.*}
    fileLabels+=("$label")
    compare_case "$label" file "$(cd "$(dirname "$file")" && pwd)/$(basename "$file")"
done

echo "Machine: $(nproc) cores ($(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1))"
echo "Machine load (1, 5, 15 minutes) before: $load; after: $(cut -d' ' -f1-3 /proc/loadavg)"
sort -g "$scratch/loads" | awk '{ l[NR] = $1 } END { if (NR) printf "1-minute load at our runs: min %s, median %s, max %s\n", l[1], l[int((NR + 1) / 2)], l[NR] }'
print_family grids "Grids (N x N x N unit boxes)" "${gridLabels[@]}"
print_family air "Grids put in air (padding 0) against gmsh adding the same box before fragmenting" "${airLabels[@]}"
print_family curved "Curved assemblies (N x N)" "${curvedLabels[@]}"
print_family files "CAD files" "${fileLabels[@]}"
if [ -n "${total_grid4:-}" ] && [ -n "${total_grid8:-}" ]; then
    echo
    awk -v a="$total_grid8" -v b="$total_grid4" 'BEGIN { printf "t(8) / t(4) = %.2f (8 times the solids)\n", a / b }'
fi
