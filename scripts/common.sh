# Shared by run.sh and test.sh: install what is missing, configure, build.

ORBA_PACKAGES="cmake ninja-build g++ qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libgl-dev libgtest-dev librapidcheck-dev qt6-translations-l10n desktop-file-utils appstream poppler-utils"

orba_install_packages() {
    local missing=()
    for pkg in $ORBA_PACKAGES; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

# orba_build BUILD_DIR [extra cmake arguments...]
orba_build() {
    local dir="$1"; shift
    cmake -S "$ORBA_ROOT" -B "$ORBA_ROOT/$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORBA_WERROR=ON "$@" >/dev/null
    cmake --build "$ORBA_ROOT/$dir" -j"$(nproc)"
}

# orba_build_targets TARGET...: configures the plain build directory with the
# tests and builds only these targets.
orba_build_targets() {
    cmake -S "$ORBA_ROOT" -B "$ORBA_ROOT/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORBA_WERROR=ON \
          -DORBA_BUILD_TESTS=ON >/dev/null
    cmake --build "$ORBA_ROOT/build" -j"$(nproc)" --target "$@"
}
