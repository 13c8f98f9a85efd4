#!/usr/bin/env bash
# Installs what is missing, builds with tests (warnings are errors) and runs every test on a
# private session bus with the offscreen Qt platform; then runs the core's unit tests once more
# in a build with the address and undefined-behaviour sanitizers. Exits non-zero on any failure.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" -DVEXLO_BUILD_TESTS=ON -DVEXLO_WERROR=ON
export QT_QPA_PLATFORM=offscreen
(cd "${VEXLO_BUILD:-$root/build}" && dbus-run-session -- ctest --output-on-failure --timeout 600 -j"$jobs")

core_tests=(common_test design_test operations_test saved_test options_settings_test
            report_test workbook_test cli_test)
sanitized="$root/build-sanitize"
cmake -S "$root" -B "$sanitized" -DCMAKE_BUILD_TYPE=Debug -DVEXLO_BUILD_TESTS=ON \
    -DVEXLO_WERROR=ON -DVEXLO_SANITIZE=ON >/dev/null
cmake --build "$sanitized" -j"$jobs" --target "${core_tests[@]}"
pattern="^($(IFS='|'; echo "${core_tests[*]}"))\\."
(cd "$sanitized" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    ctest --output-on-failure --timeout 600 -j"$jobs" -R "$pattern")
