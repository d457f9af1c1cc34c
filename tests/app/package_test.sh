#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks what it holds: the two
# programs, a menu entry that desktop-file-validate accepts and whose command is in
# the package, the icons, and dependencies on Debian's Qt runtime packages.
#   package_test.sh BUILD_FOLDER
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
package=$(ls "$work"/darkfill_*.deb)
dpkg-deb -x "$package" "$work/root"

for file in usr/bin/darkfill usr/bin/darkfill-cli usr/share/applications/darkfill.desktop \
            usr/share/icons/hicolor/32x32/apps/darkfill.png usr/share/icons/hicolor/256x256/apps/darkfill.png; do
    [ -f "$work/root/$file" ] || { echo "the package lacks /$file"; exit 1; }
done
desktop-file-validate "$work/root/usr/share/applications/darkfill.desktop"
command=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$work/root/usr/share/applications/darkfill.desktop")
[ -x "$work/root/usr/bin/$command" ] || { echo "the menu entry runs $command, which the package lacks"; exit 1; }
depends=$(dpkg-deb -f "$package" Depends)
for needed in libqt6widgets6 libqt6gui6 qt6-qpa-plugins; do
    case "$depends" in *"$needed"*) ;; *) echo "the package does not depend on $needed: $depends"; exit 1 ;; esac
done
"$work/root/usr/bin/darkfill-cli" --version
echo "package $(basename "$package"): programs, menu entry and icons in place; depends on $depends"
