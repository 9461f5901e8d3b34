#!/usr/bin/env bash
# Times a whole-file rewrite, on one thread and on every core, against copying the file (cat, which
# copies inside the kernel, and dd, which copies through a buffer as any filter must), against the
# same input and output with no rewriting (tarvex-io-floor) and against the awk script a designer
# would write instead, on generated netlists. Each command writes a new file and, in a second row,
# overwrites the output before it; the median wall time, the ratios to cat and dd and the peak
# memory of each are printed. Then one, two and three Key families in one pass are timed against
# one another (tarvex-rewrite-families, the same rewrite with one settings file per family).
#   bench/compare.sh [SIZE_MIB] [RUNS]      (defaults: 96 MiB, 7 runs)
# With TARVEX_BASELINE_CLI set to another build's tarvex-cli, that one is timed in the same rounds
# (rows base-1t and base-Nt), so that a change is measured against what it changes; the Key
# families are then also timed through both tarvex-cli builds (one --settings per family).
# Needs: cmake, ninja, g++, libbenchmark-dev (for the generator build), mawk or gawk, GNU time.
set -euo pipefail
cd "$(dirname "$0")/.."

size=${1:-96}
runs=${2:-7}
build=build/bench-release
work=$(mktemp -d "${TMPDIR:-/tmp}/tarvex-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVEX_BUILD_BENCH=ON -DTARVEX_BUILD_TESTS=OFF \
    -DTARVEX_BUILD_UI=OFF >/dev/null
cmake --build "$build" --target tarvex-cli tarvex-generate-netlist tarvex-io-floor tarvex-rewrite-families >/dev/null
cli=$build/src/cli/tarvex-cli
generate=$build/bench/tarvex-generate-netlist
floor=$build/bench/tarvex-io-floor
families=$build/bench/tarvex-rewrite-families
baseline=${TARVEX_BASELINE_CLI:-}
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
    local names=(cat dd floor floor-pass awk tarvex-1t "tarvex-${cores}t")
    [ -n "$baseline" ] && names+=(base-1t "base-${cores}t")
    cat "$net" >/dev/null # warm the page cache
    rm -f "$work"/*.times
    # Round by round, so that a change in the machine's load touches every command alike. A new
    # file is what Process writes (the old netlist has become the backup); overwriting frees the
    # old output's blocks first, which costs every command.
    for _ in $(seq "$runs"); do
        for mode in new overwrite; do
            for name in "${names[@]}"; do
                if [ "$mode" = new ]; then rm -f "$out"; elif [ ! -e "$out" ]; then cp "$net" "$out"; fi
                case $name in
                cat) once "$mode-$name" sh -c "cat '$net' > '$out'" ;;
                dd) once "$mode-$name" dd if="$net" of="$out" bs=1M ;;
                floor) once "$mode-$name" "$floor" write "$net" "$out" ;;
                floor-pass) once "$mode-$name" "$floor" pass-copy "$net" "$out" ;;
                awk) if [ "$mode" = new ]; then once "$mode-$name" sh -c "awk -f bench/peer.awk '$net' > '$out'"; fi ;;
                tarvex-1t) once "$mode-$name" "$cli" rewrite --threads 1 --settings "$amd" "$net" "$out" ;;
                base-1t) once "$mode-$name" "$baseline" rewrite --threads 1 --settings "$amd" "$net" "$out" ;;
                base-*) once "$mode-$name" "$baseline" rewrite --settings "$amd" "$net" "$out" ;;
                *) once "$mode-$name" "$cli" rewrite --settings "$amd" "$net" "$out" ;;
                esac
            done
        done
    done
    echo "== $label: $(du -m "$net" | cut -f1) MiB, median of $runs rounds, $cores cores, load $(cut -d' ' -f1 /proc/loadavg) =="
    printf '%-10s %-11s %8s %8s %8s %9s\n' output command seconds "vs cat" "vs dd" "peak MiB"
    for mode in new overwrite; do
        for name in "${names[@]}"; do
            [ -f "$work/$mode-$name.times" ] && summary "$mode-$name"
        done >"$work/results"
        awk -v mode="$mode" '
            { name[NR] = $1; secs[NR] = $2; peak[NR] = $3; if ($1 ~ /-cat$/) c = $2; if ($1 ~ /-dd$/) d = $2 }
            END {
                for (i = 1; i <= NR; ++i) {
                    sub("^" mode "-", "", name[i])
                    printf "%-10s %-11s %8.3f %7.2fx %7.2fx %9.1f\n", (mode == "new" ? "new file" : "overwrite"),
                        name[i], secs[i], secs[i] / c, secs[i] / d, peak[i] / 1024
                }
            }' "$work/results"
    done
}

"$generate" "$size" 1 "$work/keys.net" "$work/keys.amd"
bench_file "netlist with Keys on half its lines" "$work/keys.net" "$work/keys.amd"
"$generate" "$size" 1 "$work/plain.net" "$work/plain.amd" --no-keys
bench_file "netlist without any Key" "$work/plain.net" "$work/plain.amd"
rm -f "$work/plain.net"

# Key families: the netlist with Keys, whose devices all carry the first family's Keys, so that a
# second and third family only add the cost of the general path; and a netlist of the same size
# whose devices are spread over three families, which only three families bin completely.
"$generate" "$size" 1 "$work/fam.net" "$work/fam.amd" --families 3
amds=("$work/fam.amd" "$work/fam-2.amd" "$work/fam-3.amd")
rm -f "$work"/*.times
for _ in $(seq "$runs"); do
    rm -f "$work/out.net"
    once dd dd if="$work/keys.net" of="$work/out.net" bs=1M
    for net in keys fam; do
        for threads in 1 "$cores"; do
            for count in 1 2 3; do
                rm -f "$work/out.net"
                once "$net-$threads-$count" "$families" "$threads" "$work/$net.net" "$work/out.net" "${amds[@]:0:$count}"
                [ -n "$baseline" ] || continue
                settings=()
                for amd in "${amds[@]:0:$count}"; do settings+=(--settings "$amd"); done
                for which in cli base; do
                    program=$([ "$which" = cli ] && echo "$cli" || echo "$baseline")
                    rm -f "$work/out.net"
                    once "$which-$net-$threads-$count" "$program" rewrite --threads "$threads" "${settings[@]}" \
                        "$work/$net.net" "$work/out.net"
                done
            done
        done
    done
done
echo "== Key families in one pass (tarvex-rewrite-families), new file, median of $runs rounds, load $(cut -d' ' -f1 /proc/loadavg) =="
printf '%-28s %7s %8s %8s %12s %8s\n' netlist threads families seconds "vs 1 family" "vs dd"
dd_seconds=$(summary dd | cut -d' ' -f2)
for net in keys fam; do
    label=$([ "$net" = keys ] && echo "Keys of one family" || echo "devices of three families")
    for threads in 1 "$cores"; do
        one=$(summary "$net-$threads-1" | cut -d' ' -f2)
        for count in 1 2 3; do
            seconds=$(summary "$net-$threads-$count" | cut -d' ' -f2)
            awk -v l="$label" -v t="$threads" -v c="$count" -v s="$seconds" -v o="$one" -v d="$dd_seconds" \
                'BEGIN { printf "%-28s %7s %8s %8.3f %11.2fx %7.2fx\n", l, t, c, s, s / o, s / d }'
        done
    done
done
if [ -n "$baseline" ]; then
    echo "== Key families through tarvex-cli, this build against the baseline, new file, median of $runs rounds =="
    printf '%-28s %7s %8s %8s %8s %9s\n' netlist threads families cli base "cli/base"
    for net in keys fam; do
        label=$([ "$net" = keys ] && echo "Keys of one family" || echo "devices of three families")
        for threads in 1 "$cores"; do
            for count in 1 2 3; do
                mine=$(summary "cli-$net-$threads-$count" | cut -d' ' -f2)
                theirs=$(summary "base-$net-$threads-$count" | cut -d' ' -f2)
                awk -v l="$label" -v t="$threads" -v c="$count" -v m="$mine" -v b="$theirs" \
                    'BEGIN { printf "%-28s %7s %8s %8.3f %8.3f %8.2fx\n", l, t, c, m, b, m / b }'
            done
        done
    done
fi
rm -f "$work/fam.net"
"$generate" 16 1 "$work/small.net" "$work/small.amd"
echo "== memory: peak of tarvex-cli rewrite on 16 MiB (the $size MiB figures are above) =="
for threads in 1 "$cores"; do
    run "$threads" "$cli" rewrite --threads "$threads" --settings "$work/small.amd" "$work/small.net" "$work/out.net" |
        awk '{ printf "16 MiB input, %s thread(s): %.1f MiB peak\n", $1, $3 / 1024 }'
done
