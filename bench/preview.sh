#!/usr/bin/env bash
# Preview benchmark: a generated design of COUNT components (200,000 unless given), read from
# its file, then the Preview window opened on it three times for each of two selections; prints
# the best seconds to build the table and to show the window, beside the target.
#
#   bash bench/preview.sh [COUNT]      (builds what it runs with the dev preset first)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${VEXLO_BUILD:-$root/build}"
count="${1:-200000}"
[ -n "${VEXLO_BUILD:-}" ] || "$root/scripts/build.sh" dev generate-design preview_bench >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$build/bench/generate-design" "$count" "$work/big.json" "$work/project"
QT_QPA_PLATFORM=offscreen "$build/bench/preview_bench" "$work/big.json" 3
