# Shared by the scripts here: what the build needs, installing what is missing, building.
# Sourcing defines; each script calls install_missing and build itself.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${WINGTRAIL_BUILD_DIR:-$ROOT/build}

PACKAGES=(cmake make g++ pkg-config qt6-base-dev libgl-dev libsqlite3-dev libgtest-dev sqlite3
          fonts-dejavu-core xvfb xauth openbox xdotool x11-utils locales
          libcli11-dev nlohmann-json3-dev libcsv-dev chromium
          desktop-file-utils appstream dpkg-dev imagemagick librsvg2-bin
          dbus at-spi2-core python3-pyatspi adwaita-qt6)

# What scripts/sanitize and scripts/fuzz build with. GCC leaves float-to-integer overflow
# out of "undefined", so it is named.
SANITIZERS=address,undefined,float-cast-overflow
# Their runtime settings: stop at the first report of any kind, with its stack. Leaks are
# looked for; the suppressions file lets pass only leaks inside third-party libraries.
sanitizer_options() {
    export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:print_summary=1
    export LSAN_OPTIONS=suppressions=$ROOT/tests/sanitizers/lsan.supp:print_suppressions=0
    export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1:report_error_type=1
}

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
