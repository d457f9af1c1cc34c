set(DARKFILL_EMBED_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/EmbedResource.cmake)

# Builds FILE into TARGET as the resource NAME.
function(darkfill_add_resource target name file)
    set(source ${CMAKE_CURRENT_BINARY_DIR}/resources/${name}.cpp)
    add_custom_command(OUTPUT ${source}
        COMMAND ${CMAKE_COMMAND} -DNAME=${name} -DINPUT=${file} -DOUTPUT=${source} -P ${DARKFILL_EMBED_SCRIPT}
        DEPENDS ${file} ${DARKFILL_EMBED_SCRIPT}
        COMMENT "Embedding resource ${name}"
        VERBATIM)
    target_sources(${target} PRIVATE ${source})
endfunction()

# Compiles the readable form description SOURCE and builds it into TARGET as NAME.
function(darkfill_add_form target name source)
    set(stream ${CMAKE_CURRENT_BINARY_DIR}/forms/${name}.form)
    add_custom_command(OUTPUT ${stream}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/forms
        COMMAND formc ${source} ${stream}
        DEPENDS formc ${source}
        COMMENT "Compiling form description ${name}"
        VERBATIM)
    darkfill_add_resource(${target} ${name} ${stream})
endfunction()
