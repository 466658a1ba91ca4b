# Shared by the scripts here: what the build needs, installing what is missing, building.
# Sourcing defines; each script calls install_missing and build itself.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${WINGTRAIL_BUILD_DIR:-$ROOT/build}

PACKAGES=(cmake make g++ pkg-config qt6-base-dev libgl-dev libsqlite3-dev libgtest-dev sqlite3
          fonts-dejavu-core xvfb xauth openbox xdotool x11-utils locales)

install_missing() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
}

# Configures BUILD (extra arguments go to cmake) and builds it, or only the targets named
# in BUILD_TARGETS.
build() {
    cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    local targets=()
    for t in ${BUILD_TARGETS:-}; do targets+=(--target "$t"); done
    cmake --build "$BUILD" -j "$(nproc)" "${targets[@]}"
}
