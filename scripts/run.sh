#!/usr/bin/env bash
# Installs what is missing, builds, and runs Vexlo on the simulator's built-in sample board, or
# on DESIGN (a KiCad project or root sheet, KiCad's XML netlist or a JSON design) when one is
# given: scripts/run.sh [DESIGN]. With a display the window opens, and the simulator stops when
# it closes. Without one, the window is shown on a virtual display, a screenshot of it is saved,
# and the design's reports are written in all four formats with vexlo-report.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build"
if [ $# -gt 1 ]; then
    echo "Usage: scripts/run.sh [DESIGN]" >&2
    exit 2
fi
design=()
if [ $# -eq 1 ]; then
    design=("$(realpath -- "$1")")
fi

if [ -z "${VEXLO_RUN_ON_BUS:-}" ]; then
    echo "== Installing the Debian packages Vexlo needs (when any is missing)"
    "$root/scripts/install-deps.sh"
    # The dev preset's folder, so that scripts/test.sh goes on from this build.
    "$root/scripts/build.sh" dev vexlo vexlo-report schemora-sim
    echo "== Starting the schematic tool simulator and Vexlo"
    if [ -z "${DBUS_SESSION_BUS_ADDRESS:-}" ]; then
        # A private session bus, gone when this run ends.
        exec env VEXLO_RUN_ON_BUS=1 dbus-run-session -- "$0" "${design[@]}"
    fi
fi

out="$root/out"
mkdir -p "$out"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
}
trap cleanup EXIT

# The simulator says when it owns the bus name; wait for that line.
fifo="$(mktemp -u)"
mkfifo "$fifo"
if [ ${#design[@]} -eq 0 ]; then
    "$build/tools/schemora-sim/schemora-sim" --root "$out" >"$fifo" &
else
    "$build/tools/schemora-sim/schemora-sim" "${design[0]}" >"$fifo" &
fi
pids+=($!)
# A design that cannot be served says why on stderr, and no line comes.
read -r ready <"$fifo" || { echo "schemora-sim did not start" >&2; exit 1; }
rm -f "$fifo"
echo "$ready"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    "$build/src/main/vexlo"
    exit 0
fi

# No display: a virtual one for the window's screenshot.
display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY="$display"
for _ in $(seq 50); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done
"$build/src/main/vexlo" &
vexlo_pid=$!
pids+=("$vexlo_pid")
window=""
for _ in $(seq 100); do
    window="$(xwininfo -root -tree 2>/dev/null | awk '/"Vexlo - / {print $1; exit}')"
    [ -n "$window" ] && break
    sleep 0.1
done
shot="$out/vexlo-main-window.png"
if [ -n "$window" ]; then
    sleep 1
    import -window "$window" "$shot"
    echo "Screenshot of the main window: $shot"
else
    echo "The main window did not appear" >&2
fi
kill "$vexlo_pid" 2>/dev/null || true

status=0
: >"$out/report-paths.txt"
if [ ${#design[@]} -eq 0 ]; then
    echo "Reports of the sample board:"
    columns=(--column REFDES --column "Part Number" --column Value --column Footprint
             --column Description --compress --key "Part Number")
else
    # A KiCad design's parts merged by value, the parts not to be fitted left out.
    echo "Reports of ${design[0]}:"
    columns=(--column REFDES --column Value --column Footprint --compress --key Value
             --exclude DNP=DNP)
fi
for format in excel text html csv; do
    "$build/src/cli/vexlo-report" --format "$format" "${columns[@]}" \
        >>"$out/report-paths.txt" || status=1
done
cat "$out/report-paths.txt"
text_report="$(grep '\.txt$' "$out/report-paths.txt" | head -n 1)"
if [ -n "$text_report" ]; then
    echo
    echo "== $text_report"
    cat "$text_report"
fi
exit "$status"
