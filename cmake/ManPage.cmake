# Writes a manual page from a manual in plain text: sections headed by a line in
# capitals, their text indented by four spaces, as darkfill-cli --help prints it.
# The NAME section becomes the page's whatis line; every other section keeps its
# lines as they stand (no filling), so that the tables and option lists stay
# aligned.
#   cmake -D PROGRAM=prog -D ARGUMENT=--help | -D TEXT=file
#         -D PAGE=name -D VERSION=1.0.0 -D OUTPUT=name.1 -P ManPage.cmake
cmake_policy(VERSION 3.25)
if(DEFINED PROGRAM)
    execute_process(COMMAND ${PROGRAM} ${ARGUMENT} OUTPUT_VARIABLE manual RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${PROGRAM} ${ARGUMENT} failed: ${status}")
    endif()
else()
    file(READ ${TEXT} manual)
endif()

# Characters that troff would take for its own: backslashes, hyphens (a minus
# in options), and a dot or quote at the start of a line.
string(REPLACE "\\" "\\e" manual "${manual}")
string(REPLACE "-" "\\-" manual "${manual}")
string(REPLACE ";" "\\;" manual "${manual}")
string(REGEX REPLACE "\n" ";" lines "${manual}")

set(page ".TH ${PAGE} 1 \"\" \"${PAGE} ${VERSION}\" \"User Commands\"\n")
set(section "")
foreach(line IN LISTS lines)
    string(REPLACE "\\;" ";" line "${line}")
    if(line MATCHES "^[A-Z][A-Z ]*$")
        if(section AND NOT section STREQUAL "NAME")
            string(APPEND page ".fi\n")
        endif()
        set(section "${line}")
        string(APPEND page ".SH ${line}\n")
        if(NOT section STREQUAL "NAME")
            string(APPEND page ".nf\n")
        endif()
        continue()
    endif()
    if(line MATCHES "^    ")
        string(SUBSTRING "${line}" 4 -1 line)
    endif()
    if(line MATCHES "^[.']")
        set(line "\\&${line}")
    endif()
    if(line STREQUAL "")
        if(NOT section STREQUAL "NAME")
            string(APPEND page "\n")
        endif()
    else()
        string(APPEND page "${line}\n")
    endif()
endforeach()
if(section AND NOT section STREQUAL "NAME")
    string(APPEND page ".fi\n")
endif()
file(WRITE ${OUTPUT} "${page}")
