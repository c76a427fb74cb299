#!/usr/bin/env bash
# Builds the Debian package in build-package/ from an optimised build without
# the tests, checks what it installs, and lets lintian look at it when it is
# there. Prints the package's name at the end.
set -euo pipefail
ORBA_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
. "$ORBA_ROOT/scripts/common.sh"

orba_install_packages
cmake -S "$ORBA_ROOT" -B "$ORBA_ROOT/build-package" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DORBA_BUILD_TESTS=OFF -DORBA_WERROR=ON >/dev/null
cmake --build "$ORBA_ROOT/build-package" -j"$(nproc)"
(cd "$ORBA_ROOT/build-package" && cpack -G DEB >/dev/null)
package=$(ls "$ORBA_ROOT"/build-package/orba_*.deb)
"$ORBA_ROOT/scripts/check-install.sh" --deb "$package"
if command -v lintian >/dev/null; then
    lintian "$package" || true
fi
echo "$package"
