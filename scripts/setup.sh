# Sourced by the start, test and fuzz commands: installs what is missing. The
# builds themselves are CMake presets (CMakePresets.json).

set -euo pipefail

top="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$top"

packages=(cmake g++ ninja-build qt6-base-dev libspng-dev libtiff-dev libdeflate-dev zlib1g-dev libgtest-dev libgmock-dev libbenchmark-dev
          qt6-image-formats-plugins qt6-translations-l10n desktop-file-utils pkg-config
          python3-dev pybind11-dev python3-numpy python3-pytest python3-pil python3-dask python3-distributed lintian xvfb xauth xdotool imagemagick x11-utils clang libclang-rt-14-dev g++-mingw-w64-x86-64-posix)

# Only the benchmarks use OpenCV (the quality benchmark's inpaintings and its
# colour-guided smoother, the file benchmarks' codecs are what they measure
# against), Eigen (the quality benchmark's direct solve of the guided rule's
# system) and GNU time (a process's peak memory); the test command installs
# them, the start command does not.
benchmark_packages=(libopencv-dev libopencv-contrib-dev python3-opencv libeigen3-dev time)

# Installs the packages above, and those named as arguments, where missing.
install_missing() {
    local missing=()
    for p in "${packages[@]}" "$@"; do
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
