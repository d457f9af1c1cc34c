# Builds FILE into TARGET through Qt's resource system as the resource NAME, under
# the prefix where the framework's LookupResource looks ("/resources").
function(darkfill_add_resource target name file)
    set_source_files_properties(${file} PROPERTIES QT_RESOURCE_ALIAS ${name})
    qt_add_resources(${target} "resource_${name}" PREFIX "/resources" FILES ${file})
endfunction()

# Compiles the readable form description SOURCE and builds it into TARGET as NAME.
function(darkfill_add_form target name source)
    set(stream ${CMAKE_CURRENT_BINARY_DIR}/forms/${name})
    add_custom_command(OUTPUT ${stream}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/forms
        COMMAND formc ${source} ${stream}
        DEPENDS formc ${source}
        COMMENT "Compiling form description ${name}"
        VERBATIM)
    darkfill_add_resource(${target} ${name} ${stream})
endfunction()
