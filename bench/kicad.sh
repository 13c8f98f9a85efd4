#!/usr/bin/env bash
# KiCad reader benchmark: a generated KiCad 8 project of COUNT placed symbols (100,000 unless
# given) over 100 sheet instances. Prints the size of its files, the seconds the design reader
# takes to read it (best of three, in process) and the wall time and peak memory of a compressed
# CSV report of it by vexlo-report, each beside the figure it should stay under.
#
#   bash bench/kicad.sh [COUNT]        (builds what it runs with the dev preset first)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VEXLO_BUILD:-$root/build}"
count="${1:-100000}"
[ -n "${VEXLO_BUILD:-}" ] ||
    "$root/scripts/build.sh" dev generate-kicad kicad_read_bench vexlo-report >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
project="$work/bench"
"$build/bench/generate-kicad" "$project" "$count"

files=$(find "$project" -name '*.kicad_sch' | wc -l)
bytes=$(cat "$project"/*.kicad_sch | wc -c)
largest=$(find "$project" -name '*.kicad_sch' -printf '%s\n' | sort -n | tail -n 1)
awk -v files="$files" -v bytes="$bytes" -v largest="$largest" 'BEGIN {
    printf "files: %d sheets, %.1f MB in all, the largest %.1f MB\n", files, bytes / 1048576,
        largest / 1048576 }'

"$build/bench/kicad_read_bench" "$project/bench.kicad_pro" 3 | sed 's/^/reader /'

if ! /usr/bin/time -f '%e %M' -o "$work/time" "$build/src/cli/vexlo-report" \
    --design "$project/bench.kicad_pro" --column Value --column Footprint --column REFDES \
    --compress --key Value --format csv --timings >"$work/out" 2>"$work/err"; then
    echo "end to end: failed: $(head -n 1 "$work/err")"
    exit 1
fi
read -r wall peak <"$work/time"
report="$(head -n 1 "$work/out")"
echo "end to end: $wall s (target under 2 s), peak $((peak / 1024)) MB (target under 500 MB)," \
    "$(($(wc -l <"$report") - 1)) rows"
grep '^timings:' "$work/err" | sed 's/^/end to end /'
