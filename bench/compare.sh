#!/usr/bin/env bash
# Times a whole-file rewrite, on one thread and on every core, against copying the file and against
# the awk script a designer would write instead, on generated netlists, and prints the median wall
# time, the ratios and the peak memory of each.
#   bench/compare.sh [SIZE_MIB] [RUNS]      (defaults: 256 MiB, 5 runs)
# Needs: cmake, ninja, g++, libbenchmark-dev (for the generator build), mawk or gawk, GNU time.
set -euo pipefail
cd "$(dirname "$0")/.."

size=${1:-256}
runs=${2:-5}
build=build/bench-release
work=$(mktemp -d "${TMPDIR:-/tmp}/tarvex-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVEX_BUILD_BENCH=ON -DTARVEX_BUILD_TESTS=OFF \
    -DTARVEX_BUILD_UI=OFF >/dev/null
cmake --build "$build" --target tarvex-cli tarvex-generate-netlist >/dev/null
cli=$build/src/cli/tarvex-cli
generate=$build/bench/tarvex-generate-netlist
cores=$(nproc)

# median of the numbers on stdin
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# once NAME COMMAND...: runs the command once and appends its wall seconds (to the microsecond) and
# peak RSS (KiB) to $work/NAME.times
once() {
    local name=$1; shift
    local start=$EPOCHREALTIME
    /usr/bin/time -f '%M' -o "$work/time" "$@" >/dev/null 2>&1 || true
    local end=$EPOCHREALTIME
    echo "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }') $(tail -n 1 "$work/time")" \
        >>"$work/$name.times"
}

# summary NAME: NAME, the median wall seconds and the largest peak RSS (KiB)
summary() {
    printf '%s %s %s\n' "$1" "$(cut -d' ' -f1 "$work/$1.times" | median)" \
        "$(cut -d' ' -f2 "$work/$1.times" | sort -n | tail -n 1)"
}

# run NAME COMMAND...: $runs runs of one command, summarised
run() {
    rm -f "$work/$1.times"
    for _ in $(seq "$runs"); do once "$@"; done
    summary "$1"
}

bench_file() {
    local label=$1 net=$2 amd=$3 out=$work/out.net
    cat "$net" >/dev/null # warm the page cache
    rm -f "$work"/*.times
    # Round by round, so that a change in the machine's load touches every command alike.
    for _ in $(seq "$runs"); do
        once cat sh -c "cat '$net' > '$out'"
        once user-copy dd if="$net" of="$out" bs=1M
        once awk sh -c "awk -f bench/peer.awk '$net' > '$out'"
        once tarvex-1t "$cli" rewrite --threads 1 --settings "$amd" "$net" "$out"
        once "tarvex-${cores}t" "$cli" rewrite --settings "$amd" "$net" "$out"
    done
    for name in cat user-copy awk tarvex-1t "tarvex-${cores}t"; do summary "$name"; done >"$work/results"
    local cat_s copy_s
    cat_s=$(awk '$1 == "cat" { print $2 }' "$work/results")
    copy_s=$(awk '$1 == "user-copy" { print $2 }' "$work/results")
    echo "== $label: $(du -m "$net" | cut -f1) MiB, median of $runs runs, $cores cores, load $(cut -d' ' -f1 /proc/loadavg) =="
    awk -v cat_s="$cat_s" -v copy_s="$copy_s" '
        BEGIN { printf "%-11s %8s %9s %12s %10s\n", "command", "seconds", "vs cat", "vs user-copy", "peak MiB" }
        { printf "%-11s %8.3f %8.2fx %11.2fx %10.1f\n", $1, $2, $2 / cat_s, $2 / copy_s, $3 / 1024 }' "$work/results"
}

"$generate" "$size" 1 "$work/keys.net" "$work/keys.amd"
bench_file "netlist with Keys on half its lines" "$work/keys.net" "$work/keys.amd"
"$generate" "$size" 1 "$work/plain.net" "$work/plain.amd" --no-keys
bench_file "netlist without any Key" "$work/plain.net" "$work/plain.amd"
rm -f "$work/plain.net"
"$generate" 16 1 "$work/small.net" "$work/small.amd"
echo "== memory: peak of tarvex-cli rewrite on 16 MiB (the $size MiB figures are above) =="
for threads in 1 "$cores"; do
    run "$threads" "$cli" rewrite --threads "$threads" --settings "$work/small.amd" "$work/small.net" "$work/out.net" |
        awk '{ printf "16 MiB input, %s thread(s): %.1f MiB peak\n", $1, $3 / 1024 }'
done
