#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang and the address and undefined-behaviour
# sanitizers (in build-fuzz/, or $VEXLO_FUZZ_BUILD), then runs each for SECONDS seconds (default
# 60), one after the other, starting from its seed corpus in fuzz/corpus/. New inputs go to the
# build folder's corpus, a failing input to its crashes/ folder. Prints one line of figures per
# target; exits non-zero when a target found a failure. Not part of the tests.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
shift || true
build="${VEXLO_FUZZ_BUILD:-$root/build-fuzz}"
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    targets=(flatstream selectionfile settingsfile csvfields number workbooksheet sharedstrings
             kicadschematic kicadnetlist sexpr)
fi

"$root/scripts/install-deps.sh" clang
cmake -S "$root/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    >/dev/null
cmake --build "$build" -j"${VEXLO_JOBS:-$(nproc)}" --target "${targets[@]/#/fuzz_}"

failed=0
summary=()
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    crashes="$build/crashes/$target"
    log="$build/$target.log"
    mkdir -p "$corpus" "$crashes"
    status=0
    # -timeout: an input that takes 10 s is a failure (a loop that never ends, a blocking read).
    "$build/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$crashes/" "$corpus" "$root/fuzz/corpus/$target" \
        >"$log" 2>&1 || status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
    units=$(find "$corpus" -type f | wc -l)
    result=ok
    if [ "$status" -ne 0 ]; then
        result="FAILED (see $log)"
        failed=1
    fi
    summary+=("$(printf '%-14s %6ss %12s runs %8s/s  cov %6s  corpus %6s  %s' "$target" \
        "$seconds" "${runs:-?}" "${speed:-?}" "${coverage:-?}" "$units" "$result")")
done
printf '%s\n' "${summary[@]}"
exit $failed
