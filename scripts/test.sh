#!/usr/bin/env bash
# Installs what is missing, builds with tests (warnings are errors) and runs every test on a
# private session bus with the offscreen Qt platform. Exits non-zero on any failure.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" -DVEXLO_BUILD_TESTS=ON -DVEXLO_WERROR=ON
cd "${VEXLO_BUILD:-$root/build}"
export QT_QPA_PLATFORM=offscreen
dbus-run-session -- ctest --output-on-failure --timeout 600 -j"$(nproc)"
