#!/usr/bin/env bash
# Installs what is missing, builds with tests (warnings are errors) and runs every test on a
# private session bus with the offscreen Qt platform; then runs the core's unit tests once more
# in a build with the address and undefined-behaviour sanitizers, and last builds the fuzz targets
# and runs each over its corpus for 5 seconds. Exits non-zero on any failure.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc)"
echo "== Installing the Debian packages Vexlo needs (when any is missing)"
# The demo projects: real designs to read; clang and its runtimes: the fuzz targets.
"$root/scripts/install-deps.sh" kicad-demos clang libclang-rt-dev
"$root/scripts/build.sh" dev
echo "== Running every test on a private session bus"
export QT_QPA_PLATFORM=offscreen
(cd "$root/build" && dbus-run-session -- ctest --output-on-failure --timeout 600 -j"$jobs")

core_tests=(common_test design_test dbus_test operations_test saved_test settings_test
            report_test workbook_test cli_test designfile_test)
"$root/scripts/build.sh" asan "${core_tests[@]}"
echo "== Running the core's unit tests under the address and undefined-behaviour sanitizers"
pattern="^($(IFS='|'; echo "${core_tests[*]}"))\\."
(cd "$root/build-asan" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    ctest --output-on-failure --timeout 600 -j"$jobs" -R "$pattern")

echo "== Building the fuzz targets and running each from its corpus for 5 seconds"
VEXLO_JOBS="$jobs" "$root/scripts/fuzz.sh" 5
