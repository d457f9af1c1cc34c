#!/usr/bin/env bash
# Builds the Debian packages from a build folder and checks them as Debian would:
# lintian finds nothing but the maintainer's address (the project's to choose);
# each package holds what it is for, with stripped binaries, manual pages that
# man reads, a menu entry that desktop-file-validate accepts, and dependencies
# worked out from the binaries.
#   package_test.sh BUILD_FOLDER
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
fail() { echo "$*"; exit 1; }

# package, then the files it must hold
expected=(
    "darkfill usr/bin/darkfill usr/bin/darkfill-cli usr/share/applications/darkfill.desktop
     usr/share/icons/hicolor/32x32/apps/darkfill.png usr/share/icons/hicolor/256x256/apps/darkfill.png
     usr/share/man/man1/darkfill.1.gz usr/share/man/man1/darkfill-cli.1.gz"
    "libdarkfill1 usr/lib/*/libdarkfill.so.1"
    "libdarkfill-dev usr/include/darkfill/darkfill.h usr/lib/*/libdarkfill.so usr/lib/*/libdarkfill.a
     usr/lib/*/pkgconfig/darkfill.pc usr/lib/*/cmake/darkfill/darkfillConfig.cmake"
    "python3-darkfill usr/lib/python3/dist-packages/darkfill/__init__.py
     usr/lib/python3/dist-packages/darkfill/batch.py usr/lib/python3/dist-packages/darkfill/_darkfill.*.so"
)
for row in "${expected[@]}"; do
    read -r -a words <<<"$(echo $row)"
    name=${words[0]}
    package=$(ls "$work/${name}"_*.deb) || fail "no package $name"
    dpkg-deb -x "$package" "$work/$name"
    for pattern in "${words[@]:1}"; do
        compgen -G "$work/$name/$pattern" >/dev/null || fail "$name lacks /$pattern"
    done
    for doc in copyright changelog.gz; do
        [ -f "$work/$name/usr/share/doc/$name/$doc" ] || fail "$name lacks /usr/share/doc/$name/$doc"
    done
    while IFS= read -r binary; do
        file -b "$binary" | grep -q ', stripped' || fail "$name: ${binary#$work/} is not stripped"
    done < <(find "$work/$name" -type f \( -perm -u+x -o -name '*.so*' \) -exec sh -c 'file -b "$1" | grep -q ELF' _ {} \; -print)
    echo "$name: $(dpkg-deb -f "$package" Depends)"
done

root=$work/darkfill
for page in darkfill darkfill-cli; do
    lexgrog "$root/usr/share/man/man1/$page.1.gz" | grep -q "$page - fill" || fail "$page's manual page has no whatis line"
done
desktop-file-validate "$root/usr/share/applications/darkfill.desktop"
command=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$root/usr/share/applications/darkfill.desktop")
[ -x "$root/usr/bin/$command" ] || fail "the menu entry runs $command, which the package lacks"
depends=$(dpkg-deb -f "$work"/darkfill_*.deb Depends)
for needed in libqt6widgets6 qt6-qpa-plugins 'libc6 (>='; do
    [[ "$depends" == *"$needed"* ]] || fail "darkfill does not depend on $needed: $depends"
done
"$root/usr/bin/darkfill-cli" --version

command -v lintian >/dev/null || fail "lintian is not installed"
lintian --tag-display-limit 0 "$work"/*.deb >"$work/lintian.log" 2>&1 || true
if grep -E '^[EW]: ' "$work/lintian.log" | grep -v 'bogus-mail-host'; then
    fail "lintian finds the faults above"
fi
echo "four packages, lintian clean but for the maintainer's address"
