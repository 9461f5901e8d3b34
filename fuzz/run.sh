#!/usr/bin/env bash
# Runs each libFuzzer target for a while, starting from the committed seeds and past findings.
#   fuzz/run.sh [seconds per target, default 60] [target...]
# Build first: cmake --preset fuzz && cmake --build --preset fuzz
# New inputs collect in build/fuzz/corpus/<target>/; a failing input is written to
# build/fuzz/findings/<target>-crash-*; commit it under tests/data/fuzz-regressions/<target>/ so the
# ordinary test suite replays it. Exits non-zero when any target finds something.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(engineering_value model_library rewrite_stream settings spice_sizes)

build=build/fuzz
status=0
for target in "${targets[@]}"; do
    binary="$build/fuzz/fuzz_$target"
    corpus="$build/corpus/$target"
    findings="$build/findings"
    mkdir -p "$corpus" "$findings"
    # Seeds and fixed findings start the corpus; inputs of open findings ("open-*") are left out,
    # since they would stop the run before it explores anything else.
    for seed in "fuzz/corpus/$target"/* "tests/data/fuzz-regressions/$target"/*; do
        [ -f "$seed" ] && [[ "$(basename "$seed")" != open-* ]] && cp "$seed" "$corpus/"
    done
    echo "== fuzz_$target for ${seconds}s =="
    if "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$findings/$target-" "$corpus" >"$build/fuzz_$target.log" 2>&1; then
        grep -E '^stat::number_of_executed_units|^Done' "$build/fuzz_$target.log" || true
    else
        status=1
        echo "fuzz_$target FOUND A FAILURE:"
        grep -E -A3 'property failed|ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error' \
            "$build/fuzz_$target.log" | head -20
        grep -E 'Test unit written to' "$build/fuzz_$target.log" || true
    fi
done
exit $status
