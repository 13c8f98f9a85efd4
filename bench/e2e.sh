#!/usr/bin/env bash
# End-to-end benchmark: designs of 10,000 to 1,000,000 generated components (ten attributes
# each) served by the real simulator on a private bus, reported by vexlo-report as CSV and as a
# workbook with Compress on (key "Stock Code"), and as CSV keyed by "Stock Code" and "Footprint". Prints a table of wall time, the time per component, the split
# between fetching the design over the bus, building the table and writing the file, and the
# peak memory of vexlo-report, in all and per component. Beside them stands the floor of the
# fetch, measured in the same run: the design's stream read once from the memory file the
# simulator hands over, every byte touched (stream-floor, best of five), with the wall time as a
# multiple of it.
#
#   bash bench/e2e.sh [COUNT ...]        (builds what it runs with the dev preset first)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VEXLO_BUILD:-$root/build}"
if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ] || [ -z "${VEXLO_BENCH_BUS:-}" ]; then
    [ -n "${VEXLO_BUILD:-}" ] || "$root/scripts/build.sh" dev generate-design stream-floor vexlo-report \
        schemora-sim >&2
    exec env VEXLO_BENCH_BUS=1 dbus-run-session -- "$0" "$@"
fi
counts=("$@")
[ ${#counts[@]} -gt 0 ] || counts=(10000 100000 1000000)

work="$(mktemp -d)"
sim_pid=""
cleanup() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

columns=(--column REFDES --column "Part Number" --column Value --column Footprint
         --column Description --column Manufacturer --column Tolerance --column "Stock Code"
         --column "Symbol Library" --column Assembly --compress --key "Stock Code")
# The row "csv, 2 keys" adds a second key.

echo "| components | format | wall s | floor s | wall / floor | µs per component | fetch s | table s |" \
    "write s | peak MB | bytes per component | stream MB | rows |"
echo "|---:|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
for count in "${counts[@]}"; do
    project="$work/p$count"
    mkdir -p "$project/sch"
    "$build/bench/generate-design" "$count" "$work/design.json" "$project"
    fifo="$work/ready"
    mkfifo "$fifo"
    "$build/tools/schemora-sim/schemora-sim" "$work/design.json" >"$fifo" &
    sim_pid=$!
    read -r _ <"$fifo"
    rm -f "$fifo"
    read -r floor stream_bytes < <("$build/bench/stream-floor")
    for run in csv "csv, 2 keys" excel; do
        format="${run%%,*}"
        keys=()
        [ "$run" = "csv, 2 keys" ] && keys=(--key Footprint)
        if ! /usr/bin/time -f "%e %M" -o "$work/time" \
            "$build/src/cli/vexlo-report" "${columns[@]}" "${keys[@]}" --format "$format" \
            --timings >"$work/out" 2>"$work/err"; then
            printf '| %s | %s | failed: %s |\n' "$count" "$run" "$(head -n 1 "$work/err")"
            continue
        fi
        read -r wall peak <"$work/time"
        timings="$(grep '^timings:' "$work/err")"
        fetch="$(echo "$timings" | awk '{print $3}')"
        table="$(echo "$timings" | awk '{print $6}')"
        write="$(echo "$timings" | awk '{print $9}')"
        report="$(cat "$work/out")"
        rows="-"
        [ "$format" = csv ] && rows="$(($(wc -l <"$report") - 1))"
        per="$(awk -v wall="$wall" -v count="$count" 'BEGIN {printf "%.2f", wall * 1e6 / count}')"
        times="$(awk -v wall="$wall" -v floor="$floor" 'BEGIN {printf "%.0f", wall / floor}')"
        bytes="$(awk -v peak="$peak" -v count="$count" 'BEGIN {printf "%.0f", peak * 1024 / count}')"
        printf '| %s | %s | %s | %.3f | %s | %s | %.2f | %.2f | %.2f | %d | %s | %d | %s |\n' \
            "$count" "$run" "$wall" "$floor" "$times" "$per" "$fetch" "$table" "$write" \
            "$((peak / 1024))" "$bytes" "$((stream_bytes / 1000000))" "$rows"
        rm -f "$report"
    done
    kill "$sim_pid"
    wait "$sim_pid" 2>/dev/null || true
    sim_pid=""
done
