#!/usr/bin/env bash
# Installs the build into a folder of its own and builds a small program against
# it three ways: find_package with the shared library, with the static one, and
# pkg-config. Each must run and fill its frames.
#   consumer_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
here=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build" --prefix "$work/prefix" >/dev/null
libdir=$(dirname "$(find "$work/prefix" -name 'libdarkfill.so.1' | head -n 1)")
test -f "$work/prefix/include/darkfill/darkfill.h"
test -L "$libdir/libdarkfill.so"
readelf -d "$libdir/libdarkfill.so.1" | grep -q 'SONAME.*libdarkfill.so.1'
# Only the library's private headers are missing from the installed tree.
! find "$work/prefix/include" -name '*.h' | grep -v 'darkfill/darkfill.h'

for target in darkfill darkfill_static; do
    cmake -S "$here/consumer" -B "$work/$target" -G Ninja -DCMAKE_PREFIX_PATH="$work/prefix" \
          -DDARKFILL_TARGET=$target >/dev/null
    cmake --build "$work/$target" >/dev/null
    LD_LIBRARY_PATH="$libdir" "$work/$target/consumer"
done
# The static build needs no library at run time.
! ldd "$work/darkfill_static/consumer" | grep -q libdarkfill

export PKG_CONFIG_PATH="$libdir/pkgconfig"
c++ -std=c++20 "$here/consumer/consumer.cpp" -o "$work/pkg-consumer" $(pkg-config --cflags --libs darkfill)
LD_LIBRARY_PATH="$libdir" "$work/pkg-consumer"
echo "consumer built and ran against the installed library three ways"
