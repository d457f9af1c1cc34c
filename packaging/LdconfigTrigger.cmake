# Run by cpack after it has built the packages (CPACK_PACKAGE_FILES): a package
# that holds a shared library gets the ldconfig trigger in place of the
# maintainer scripts that CPack wrote to call ldconfig, and is built again.
foreach(package IN LISTS CPACK_PACKAGE_FILES)
    execute_process(COMMAND dpkg-deb --control ${package} ${package}.control RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "cannot read ${package}")
    endif()
    if(EXISTS ${package}.control/shlibs)
        set(tree ${package}.tree)
        file(REMOVE_RECURSE ${tree})
        execute_process(COMMAND dpkg-deb --raw-extract ${package} ${tree} COMMAND_ERROR_IS_FATAL ANY)
        file(REMOVE ${tree}/DEBIAN/postinst ${tree}/DEBIAN/postrm)
        file(WRITE ${tree}/DEBIAN/triggers "activate-noawait ldconfig\n")
        execute_process(COMMAND dpkg-deb --root-owner-group --build ${tree} ${package}
                        OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
        file(REMOVE_RECURSE ${tree})
    endif()
    file(REMOVE_RECURSE ${package}.control)
endforeach()
