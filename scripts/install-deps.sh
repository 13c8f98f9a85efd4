#!/usr/bin/env bash
# Installs the Debian 12 packages Vexlo needs to build, test and run, when any is missing, and
# those named as arguments, showing apt's progress and download size. Not run as root, it
# installs through sudo; without sudo it stops before apt, naming the missing packages and the
# command to run as root (exit status 1).
set -euo pipefail

packages=(
    g++ cmake make pkg-config git
    qt6-base-dev libgl-dev libzip-dev libpugixml-dev libgtest-dev libqt6svg6
    dbus dbus-bin dbus-daemon
    xvfb xauth x11-utils imagemagick xdotool
    python3 python3-openpyxl clang-format time
    desktop-file-utils appstream groff-base shared-mime-info
    "$@"
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

noun=packages verb=are
[ ${#missing[@]} -eq 1 ] && noun=package verb=is

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
        {
            echo "Vexlo needs ${#missing[@]} Debian $noun that $verb not installed: ${missing[*]}"
            echo "Not root, and sudo is not installed: nothing can be installed from this account."
            echo "Run this as root (for example after \"su -\"), then run this script again:"
            echo "    apt-get install --no-install-recommends ${missing[*]}"
        } >&2
        exit 1
    fi
    sudo=(sudo)
fi

echo "Installing ${#missing[@]} Debian $noun: ${missing[*]}"
# sudo drops most of the environment, so the setting goes on apt's own command line.
apt=(env DEBIAN_FRONTEND=noninteractive apt-get)
echo "-- Updating the package lists (apt-get update)"
"${sudo[@]}" "${apt[@]}" update
echo "-- Downloading and installing (apt-get install)"
# On a new machine the daily upgrade may be installing: apt waits for its lock and says so.
"${sudo[@]}" "${apt[@]}" -o DPkg::Lock::Timeout=600 install -y --no-install-recommends \
    "${missing[@]}"
