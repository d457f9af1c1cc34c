# Manual pages, made at build time from a manual in plain text (cmake/ManPage.cmake
# says the layout): a program's own --help, or a text file.
#   darkfill_manual_page(NAME PROGRAM target | TEXT file COMPONENT component)
include(GNUInstallDirs)

function(darkfill_manual_page name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "PROGRAM;TEXT;COMPONENT" "")
    set(page ${CMAKE_CURRENT_BINARY_DIR}/${name}.1)
    if(arg_PROGRAM)
        set(source -D PROGRAM=$<TARGET_FILE:${arg_PROGRAM}> -D ARGUMENT=--help)
        set(depends ${arg_PROGRAM})
    else()
        set(source -D TEXT=${arg_TEXT})
        set(depends ${arg_TEXT})
    endif()
    add_custom_command(OUTPUT ${page}.gz
        COMMAND ${CMAKE_COMMAND} ${source} -D PAGE=${name} -D VERSION=${PROJECT_VERSION} -D OUTPUT=${page}
                -P ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
        COMMAND gzip -9nf ${page}
        DEPENDS ${depends} ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake VERBATIM)
    add_custom_target(${name}_manual ALL DEPENDS ${page}.gz)
    install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${arg_COMPONENT})
endfunction()
