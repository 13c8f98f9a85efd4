#!/usr/bin/env bash
# Installs the Debian 12 packages Vexlo needs to build, test and run, when any is missing, and
# those named as arguments.
set -euo pipefail

packages=(
    g++ cmake make pkg-config git
    qt6-base-dev libgl-dev libzip-dev libpugixml-dev libgtest-dev libqt6svg6
    dbus dbus-bin dbus-daemon
    xvfb xauth x11-utils imagemagick
    python3 python3-openpyxl clang-format time
    desktop-file-utils appstream groff-base
    "$@"
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
