#!/usr/bin/env bash
# Builds the Debian package build-release/vexlo_VERSION_ARCH.deb with CPack (release build,
# Debian's hardening flags, dependencies from dpkg-shlibdeps) and checks it with lintian, which
# must find no errors. Prints the package's path last.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-release"
"$root/scripts/install-deps.sh" dpkg-dev file lintian

# The compiler and linker flags Debian builds its own packages with; CMake reads them from the
# environment when it first configures the folder.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
export CXXFLAGS="$CXXFLAGS ${CPPFLAGS:-}"
# The release optimisation is Debian's -O2 from those flags, not CMake's -O3.
(cd "$root" && cmake --preset release -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG >/dev/null)
(cd "$root" && cmake --build --preset release -j"$(nproc)")
rm -f "$build"/vexlo_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
package="$(ls "$build"/vexlo_*.deb)"

status=0
lintian --fail-on error --display-info "$package" >"$build/lintian.txt" 2>&1 || status=$?
echo "lintian:"
grep -v '^running with root privileges' "$build/lintian.txt" || echo "(nothing to report)"
if [ "$status" -ne 0 ]; then
    echo "lintian found errors (status $status)" >&2
    exit 1
fi
echo "$package"
