# Installs the library as other programs find it: the header, the shared and the
# static library, a CMake package (find_package(darkfill) gives darkfill::darkfill
# and darkfill::darkfill_static) and darkfill.pc for pkg-config.
include(CMakePackageConfigHelpers)
include(GNUInstallDirs)

function(darkfill_install_library)
    install(TARGETS ${ARGN} EXPORT darkfillTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library NAMELINK_COMPONENT development
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
    install(FILES ${PROJECT_SOURCE_DIR}/include/darkfill/darkfill.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/darkfill COMPONENT development)

    set(package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/darkfill)
    install(EXPORT darkfillTargets NAMESPACE darkfill:: DESTINATION ${package_dir} COMPONENT development)
    configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/darkfillConfig.cmake.in
        ${PROJECT_BINARY_DIR}/darkfillConfig.cmake INSTALL_DESTINATION ${package_dir})
    write_basic_package_version_file(${PROJECT_BINARY_DIR}/darkfillConfigVersion.cmake
        COMPATIBILITY SameMajorVersion)
    install(FILES ${PROJECT_BINARY_DIR}/darkfillConfig.cmake ${PROJECT_BINARY_DIR}/darkfillConfigVersion.cmake
        DESTINATION ${package_dir} COMPONENT development)

    # The prefix as seen from the .pc file's own folder, so that the installed tree
    # may be moved.
    file(RELATIVE_PATH pc_to_prefix /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
    set(pc_prefix "\${pcfiledir}/${pc_to_prefix}")
    configure_file(${PROJECT_SOURCE_DIR}/cmake/darkfill.pc.in ${PROJECT_BINARY_DIR}/darkfill.pc @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/darkfill.pc
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)
endfunction()
