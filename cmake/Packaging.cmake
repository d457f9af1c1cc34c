# cpack -G DEB: a Debian package of the program and darkfill-cli, installed under
# /usr, that depends on Debian's Qt runtime packages.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME darkfill)
set(CPACK_PACKAGE_VENDOR "darkfill")
set(CPACK_PACKAGE_CONTACT "darkfill developers <darkfill@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "fills the holes of depth maps, scans and grey pictures")
set(CPACK_PACKAGE_DESCRIPTION
    "darkfill paints each dark region of a grey picture with the one grey that surrounds it and fills the
 remaining holes from the nearest value on the same row or column. The window program analyses 8-bit
 pictures of up to 512 x 384 pixels; darkfill-cli fills pictures of any size at 8 or 16 bits, in batches.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The window needs Qt's platform plugins (qt6-qpa-plugins) besides the libraries.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6, libstdc++6, libgcc-s1, libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-image-formats-plugins, qt6-translations-l10n")
include(CPack)
