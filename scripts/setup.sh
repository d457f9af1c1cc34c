# Sourced by the start, test and fuzz commands: installs what is missing, then
# configures and builds. Quick when nothing changed.

set -euo pipefail

top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

packages=(cmake g++ ninja-build qt6-base-dev libgtest-dev libgmock-dev libbenchmark-dev
          xvfb xdotool imagemagick x11-utils clang libclang-rt-14-dev)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null; then
            sudo=(sudo)
        else
            echo "darkfill needs these packages; as root, run:" >&2
            echo "  apt-get install -y ${missing[*]}" >&2
            exit 1
        fi
    fi
    echo "Installing ${missing[*]}"
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
}

# Configures the named preset once, then builds it (all targets, or those given).
build_preset() {
    local preset=$1
    shift
    local dir="$top/build"
    [ "$preset" = default ] || dir="$top/build-$preset"
    if [ ! -f "$dir/CMakeCache.txt" ]; then
        (cd "$top" && cmake --preset "$preset" >/dev/null)
    fi
    if [ $# -gt 0 ]; then
        cmake --build "$dir" --target "$@"
    else
        cmake --build "$dir"
    fi
}

# The sanitizers' settings for every run in the sanitizer and fuzzing builds.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$top/tests/sanitizer/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
