#!/usr/bin/env bash
# run_all.sh - builds the fuzz preset (clang, ASan + UBSan) and runs every fuzz target for a bounded time.
#
# Usage: fuzz/run_all.sh [SECONDS-PER-TARGET]   (default 60)
# ZOR_FUZZ_BUILD names another build folder (default build/fuzz); ZOR_WERROR=ON
# makes every warning an error, as in scripts/build.sh.
# Each target starts from its saved corpus (read only: new inputs go to a
# scratch folder) and stops after the given time; a crash, a leak, a
# sanitizer report or a timeout fails the run and leaves the input in
# the build folder's findings/. Prints one line per target with its executions.
set -euo pipefail

seconds="${1:-60}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${ZOR_FUZZ_BUILD:-$root/build/fuzz}"
cmake --preset fuzz -S "$root" -B "$build" -DZOR_WERROR="${ZOR_WERROR:-OFF}" >/dev/null
targets=()
for source in "$root"/fuzz/*_fuzz.cpp; do
    name="$(basename "$source" _fuzz.cpp)"
    targets+=("$name")
done
cmake --build "$build" -j2 --target "${targets[@]/#/fuzz_}"

findings="$build/findings"
mkdir -p "$findings"
failed=0
passes=0
for name in "${targets[@]}"; do
    scratch="$(mktemp -d)"
    log="$findings/$name.log"
    # Inputs up to 64 KiB, or up to the largest seed where seeds must be larger to reach every part.
    max_len="$(find "$root/fuzz/corpus/$name" -type f -printf '%s\n' | sort -n | tail -n 1)"
    [[ "${max_len:-0}" -gt 65536 ]] || max_len=65536
    if nice -n 10 "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
        -max_len="$max_len" -print_final_stats=1 -artifact_prefix="$findings/${name}-" \
        "$scratch" "$root/fuzz/corpus/$name" >"$log" 2>&1; then
        runs="$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')"
        echo "fuzz_$name: ok, $runs executions in ${seconds}s"
        passes=$((passes + 1))
    else
        echo "fuzz_$name: FAILED (see $log)"
        tail -n 40 "$log"
        failed=$((failed + 1))
    fi
    rm -rf "$scratch"
done
echo "fuzz: $passes passed, $failed failed"
[[ "$failed" -eq 0 ]]
