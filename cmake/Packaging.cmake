# cpack -G DEB: four Debian packages, installed under /usr, with the dependencies
# that dpkg-shlibdeps finds in their binaries, the binaries stripped, and in
# each a copyright file and the changelog:
#   darkfill          the window program and darkfill-cli, their menu entry,
#                     icons and manual pages (install component "programs")
#   libdarkfill1      the shared library ("library")
#   libdarkfill-dev   its header, the static library, the CMake package and
#                     darkfill.pc ("development")
#   python3-darkfill  the Python module and its Dask batch runner ("python")
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_PACKAGE_NAME darkfill)
set(CPACK_PACKAGE_VENDOR "darkfill")
set(CPACK_PACKAGE_CONTACT "darkfill developers <darkfill@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_COMPONENTS_ALL programs library development)
if(TARGET _darkfill)
    list(APPEND CPACK_COMPONENTS_ALL python)
endif()

# Each line of a long description is at most 80 columns; CPack indents them.
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME darkfill)
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PROGRAMS_DESCRIPTION "fill the holes of depth maps, scans and grey pictures
darkfill paints each dark region of a grey picture with the one grey level
that surrounds it and fills the remaining holes from the nearest value on the
same row or column. The window program analyses 8-bit pictures of up to
512 x 384 pixels; darkfill-cli fills pictures of any size at 8 or 16 bits,
one file or thousands, and never writes over an input.")
# The window needs Qt's platform plugins besides the libraries.
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_RECOMMENDS "qt6-image-formats-plugins, qt6-translations-l10n")

set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME libdarkfill1)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_LIBRARY_DESCRIPTION "library that fills the holes of depth maps and grey rasters
libdarkfill fills the holes (0, and NaN in floats) of uint8, uint16, int32
and float32 rasters at any row and column steps: each dark region that one
value surrounds takes that value, and the rest are filled from the nearest
value on the same row or column.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libdarkfill-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libdarkfill1 (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "development files for libdarkfill
The header darkfill/darkfill.h, the static library, a CMake package
(find_package(darkfill) gives darkfill::darkfill) and darkfill.pc for
pkg-config.")

set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-darkfill)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "${DARKFILL_PYTHON_DEPENDS}, python3-numpy")
set(CPACK_DEBIAN_PYTHON_PACKAGE_RECOMMENDS "python3-dask, python3-distributed")
set(CPACK_DEBIAN_PYTHON_DESCRIPTION "fill the holes of depth maps in numpy arrays
The module darkfill fills the holes of 2-D numpy arrays of uint8, uint16,
int32 and float32, at any strides, in place or not, with the interpreter lock
released; it reads and writes picture files as darkfill-cli does, and runs
batches of files on a Dask cluster.")

# The copyright file and the changelog, compressed as Debian wants it, in each
# package's documentation folder.
set(changelog ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${changelog}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/packaging
    COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/changelog > ${changelog}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog VERBATIM)
add_custom_target(changelog ALL DEPENDS ${changelog})
foreach(component IN LISTS CPACK_COMPONENTS_ALL)
    string(TOUPPER ${component} upper)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${changelog}
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME} COMPONENT ${component})
endforeach()
# CPack's maintainer scripts call ldconfig themselves; Debian's packages leave
# that to dpkg's trigger, which the finished library package gets instead.
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/LdconfigTrigger.cmake)
include(CPack)
