#!/usr/bin/env bash
# Configures Vexlo with a CMake preset (dev, asan or release; dev when none is given) and builds
# the named targets, or everything, showing the build's progress.
#
#   bash scripts/build.sh [PRESET [TARGET ...]]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
preset="${1:-dev}"
shift || true
cd "$root"
echo "== Configuring (preset $preset)"
# CMake's own output is shown only when configuring fails.
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
if ! cmake --preset "$preset" >"$log" 2>&1; then
    cat "$log" >&2
    exit 1
fi
targets=()
for target in "$@"; do
    targets+=(--target "$target")
done
echo "== Building ${*:-everything} (preset $preset)"
cmake --build --preset "$preset" -j"$(nproc)" "${targets[@]}"
