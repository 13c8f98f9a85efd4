#!/usr/bin/env bash
# Installs what is missing, builds, and runs Vexlo on the simulator's built-in sample board, or
# on DESIGN (a KiCad project or root sheet, KiCad's XML netlist or a JSON design) when one is
# given: scripts/run.sh [DESIGN]. With a display the window opens, and the simulator stops when
# it closes. Without one, the window is shown on a virtual display, the sample board is loaded
# with the keyboard, screenshots of the window and its Preview are saved, and the design's
# reports are written in all four formats with vexlo-report.
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
# This run's own files (the simulator's ready line, the virtual display's number), gone with it.
work="$(mktemp -d)"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

# The simulator says when it owns the bus name; wait for that line.
fifo="$work/ready"
mkfifo "$fifo"
if [ ${#design[@]} -eq 0 ]; then
    "$build/tools/schemora-sim/schemora-sim" --root "$out" >"$fifo" &
else
    "$build/tools/schemora-sim/schemora-sim" "${design[0]}" >"$fifo" &
fi
pids+=($!)
# A design that cannot be served says why on stderr, and no line comes.
read -r ready <"$fifo" || { echo "schemora-sim did not start" >&2; exit 1; }
echo "$ready"

# The sample board's project folder, which the simulator has just created, gets one saved
# selection when it has none yet, for "Load Choices" to load.
project=""
selection_name=""
if [ ${#design[@]} -eq 0 ]; then
    project="$(sed -n 's/.*(project \(.*\), [0-9]* components; the built-in sample board)$/\1/p' \
        <<<"$ready")"
    project="${project%/}"
    selections="$project/vexloattributes.qzv"
    if [ -d "$project" ] && [ ! -e "$selections" ] && [ ! -L "$selections" ]; then
        # The file's own CR LF lines: the name, the columns, the key (Compress checked).
        printf '%s\r\n' "** Parts list" REFDES "Part Number" Value Footprint Description QTY \
            "==Part Number" >"$selections"
    fi
    if [ -f "$selections" ]; then
        selection_name="$(grep -m 1 '^\*\* ' "$selections" | tr -d '\r' | cut -c 4-)" || true
    fi
fi
# Without a session (a bare virtual display, a container) Qt would make a folder of its own in
# /tmp; this run's is removed with it.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    mkdir -m 700 "$work/runtime"
    export XDG_RUNTIME_DIR="$work/runtime"
fi

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    "$build/src/main/vexlo"
    exit 0
fi

# No display: a virtual one for the window's screenshot, on a display number the X server finds
# free and writes out when it is ready.
: >"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
display=""
for _ in $(seq 100); do
    display="$(head -n 1 "$work/display")"
    [ -n "$display" ] && break
    sleep 0.1
done
vexlo_pid=""
window=""
if [ -n "$display" ]; then
    export DISPLAY=":$display"
    "$build/src/main/vexlo" &
    vexlo_pid=$!
    pids+=("$vexlo_pid")
    for _ in $(seq 100); do
        window="$(xwininfo -root -tree 2>/dev/null | awk '/"Vexlo - / {print $1; exit}')"
        [ -n "$window" ] && break
        sleep 0.1
    done
else
    echo "The virtual display (Xvfb) did not start" >&2
fi

# A checksum of what the window shows.
window_image() {
    { import -window "$window" rgb:- 2>/dev/null || true; } | md5sum
}
# Waits up to ten seconds for the window to show something other than $1, then for it to settle.
# Fails when it did not change.
wait_for_change() {
    local before="$1" now="" previous=""
    for _ in $(seq 50); do
        now="$(window_image)"
        [ "$now" != "$before" ] && break
        sleep 0.2
    done
    [ "$now" != "$before" ] || return 1
    for _ in $(seq 10); do
        sleep 0.2
        previous="$now"
        now="$(window_image)"
        [ "$now" = "$previous" ] && break
    done
}
# Loads the attributes and the first saved selection as a user does with the keyboard: Alt+L
# presses "Load Design Attributes", Alt+H "Load Choices", which also writes the report. There is
# no window manager on the virtual display, so the window is given the keyboard directly.
load_with_keyboard() {
    echo "Loading the sample board's attributes (Alt+L) and the saved selection" \
        "\"$selection_name\" (Alt+H)"
    if ! timeout 5 xdotool windowfocus --sync "$window" 2>/dev/null; then
        echo "The main window could not be given the keyboard: the screenshot shows it as it" \
            "started" >&2
        return
    fi
    local before
    before="$(window_image)"
    xdotool key alt+l || true
    if ! wait_for_change "$before"; then
        echo "Alt+L changed nothing in the window" >&2
        return
    fi
    # The report "Load Choices" writes is the sign that it is done; its temporary starts with ".".
    touch "$work/before-load"
    sleep 0.1
    before="$(window_image)"
    xdotool key alt+h || true
    local report=""
    for _ in $(seq 50); do
        report="$(find "$project" -maxdepth 1 -type f -newer "$work/before-load" ! -name '.*' \
            -print -quit)"
        [ -n "$report" ] && break
        sleep 0.2
    done
    if [ -z "$report" ]; then
        echo "Alt+H wrote no report within ten seconds" >&2
    fi
    wait_for_change "$before" || echo "Alt+H changed nothing in the window" >&2
}

# Opens the Preview window of the loaded selection with Alt+V, saves a screenshot of it and
# closes it again with Escape.
preview_with_keyboard() {
    xdotool key alt+v || true
    local preview=""
    for _ in $(seq 50); do
        preview="$(xwininfo -root -tree 2>/dev/null | awk '/"Preview - / {print $1; exit}')"
        [ -n "$preview" ] && break
        sleep 0.2
    done
    if [ -z "$preview" ]; then
        echo "Alt+V opened no Preview window" >&2
        return
    fi
    sleep 1
    import -window "$preview" "$out/vexlo-preview.png"
    echo "Screenshot of the Preview window: $out/vexlo-preview.png"
    xdotool key Escape || true
}

shot="$out/vexlo-main-window.png"
if [ -n "$window" ]; then
    sleep 1
    if [ -n "$selection_name" ]; then
        load_with_keyboard
    fi
    import -window "$window" "$shot"
    echo "Screenshot of the main window: $shot"
    if [ -n "$selection_name" ]; then
        preview_with_keyboard
    fi
elif [ -n "$display" ]; then
    echo "The main window did not appear" >&2
fi
[ -z "$vexlo_pid" ] || kill "$vexlo_pid" 2>/dev/null || true

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
