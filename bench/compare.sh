#!/usr/bin/env bash
# Times a whole-file rewrite against copying the file and against the awk script a designer would
# write instead, on generated netlists, and prints the median wall time, the ratios and the peak
# memory of each.
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

# median of the numbers on stdin
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# run NAME COMMAND...: median wall seconds and largest peak RSS (KiB) over $runs runs
run() {
    local name=$1; shift
    local times=() peak=0
    for _ in $(seq "$runs"); do
        /usr/bin/time -f '%e %M' -o "$work/time" "$@" >/dev/null 2>&1 || true
        read -r seconds kib < <(tail -n 1 "$work/time")
        times+=("$seconds")
        ((kib > peak)) && peak=$kib
    done
    printf '%s %s %s\n' "$name" "$(printf '%s\n' "${times[@]}" | median)" "$peak"
}

bench_file() {
    local label=$1 net=$2 amd=$3 out=$work/out.net
    cat "$net" >/dev/null # warm the page cache
    {
        run cat sh -c "cat '$net' > '$out'"
        run user-copy dd if="$net" of="$out" bs=1M
        run awk sh -c "awk -f bench/peer.awk '$net' > '$out'"
        run tarvex "$cli" rewrite --settings "$amd" "$net" "$out"
    } >"$work/results"
    local cat_s copy_s
    cat_s=$(awk '$1 == "cat" { print $2 }' "$work/results")
    copy_s=$(awk '$1 == "user-copy" { print $2 }' "$work/results")
    echo "== $label: $(du -m "$net" | cut -f1) MiB, median of $runs runs =="
    awk -v cat_s="$cat_s" -v copy_s="$copy_s" '
        BEGIN { printf "%-10s %8s %9s %12s %10s\n", "command", "seconds", "vs cat", "vs user-copy", "peak MiB" }
        { printf "%-10s %8.3f %8.2fx %11.2fx %10.1f\n", $1, $2, $2 / cat_s, $2 / copy_s, $3 / 1024 }' "$work/results"
}

"$generate" "$size" 1 "$work/keys.net" "$work/keys.amd"
bench_file "netlist with Keys on half its lines" "$work/keys.net" "$work/keys.amd"
"$generate" "$size" 1 "$work/plain.net" "$work/plain.amd" --no-keys
bench_file "netlist without any Key" "$work/plain.net" "$work/plain.amd"
rm -f "$work/plain.net"
"$generate" 16 1 "$work/small.net" "$work/small.amd"
echo "== memory: peak of tarvex-cli rewrite on 16 MiB vs $size MiB =="
run tarvex-16MiB "$cli" rewrite --settings "$work/small.amd" "$work/small.net" "$work/out.net" |
    awk '{ printf "16 MiB input: %.1f MiB peak\n", $3 / 1024 }'
