#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ and the libraries they link with clang and the address and
# undefined-behaviour sanitizers (preset fuzz, in build-fuzz/, or $VEXLO_FUZZ_BUILD), then runs each for SECONDS seconds (default
# 60), one after the other, starting from its seed corpus in fuzz/corpus/. New inputs go to the
# build folder's corpus, a failing input to its crashes/ folder. Prints one line of figures per
# target; exits non-zero when a target found a failure. scripts/test.sh runs it for 5 seconds.
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

"$root/scripts/install-deps.sh" clang libclang-rt-dev  # libFuzzer and the sanitizers
echo "== Building the fuzz targets (preset fuzz)"
configure_log="$(mktemp)"
trap 'rm -f "$configure_log"' EXIT
if ! (cd "$root" && cmake --preset fuzz -B "$build" >"$configure_log" 2>&1); then
    cat "$configure_log" >&2
    exit 1
fi
cmake --build "$build" -j"${VEXLO_JOBS:-$(nproc)}" --target "${targets[@]/#/fuzz_}"
echo "== Running each fuzz target ${seconds} s from its corpus"

failed=0
summary=()
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    crashes="$build/crashes/$target"
    log="$build/$target.log"
    mkdir -p "$corpus" "$crashes"
    status=0
    # -timeout: an input that takes 10 s is a failure (a loop that never ends, a blocking read).
    "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$crashes/" "$corpus" "$root/fuzz/corpus/$target" \
        >"$log" 2>&1 || status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    coverage=$({ grep -o 'cov: [0-9]*' "$log" || true; } | tail -1 | cut -d' ' -f2)
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
