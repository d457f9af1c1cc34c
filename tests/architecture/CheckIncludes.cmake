# Checks that every include of the product's folders names its folder from the
# top of the tree and follows the direction of the dependencies, so that no file
# can include its way back into a circle:
#   include/darkfill           nothing else: the library's public interface
#   analysis                   the public interface it implements
#   files                      nothing else: picture files without a window system
#   tasks                      files, the public interface: darkfill-cli's work
#   framework/core             nothing else
#   framework/forms            core
#   framework/pictures         core, files
#   framework/controls         pictures, forms, core
#   framework/application      controls and what they use
#   app                        the framework, the public interface
#   cli                        tasks, files, the public interface
#   python                     tasks, files, the public interface
#   testing/...                what each shares (the reference: Plane, StartPixel and the public header only)
# The public header is included as its users include it, "darkfill/darkfill.h".
# Tests, the benchmark and the fuzzers may include anything.
#   cmake -DTOP=<source folder> -P CheckIncludes.cmake

set(rooms
    include/darkfill analysis files tasks python framework/core framework/forms framework/pictures framework/controls
    framework/application app cli testing/reference testing/planes testing/pictures testing/rasters testing/files testing/windows)

set(uses_include/darkfill include/darkfill)
set(uses_analysis analysis include/darkfill)
set(uses_files files)
set(uses_tasks tasks files include/darkfill)
set(uses_python python tasks files include/darkfill)
set(uses_framework/core framework/core)
set(uses_framework/forms framework/forms framework/core)
set(uses_framework/pictures framework/pictures framework/core files)
set(uses_framework/controls framework/controls framework/pictures framework/forms framework/core)
set(uses_framework/application framework/application ${uses_framework/controls})
set(uses_app app include/darkfill ${uses_framework/application})
set(uses_cli cli tasks files include/darkfill)
set(uses_testing/reference testing/reference analysis/Plane.h analysis/RegionStarts.h include/darkfill)
set(uses_testing/planes testing/planes analysis)
set(uses_testing/pictures testing/pictures)
set(uses_testing/rasters testing/rasters include/darkfill)
set(uses_testing/files testing/files)
set(uses_testing/windows testing/windows ${uses_framework/application})

# The room of a path: the longest room that it lies in, or nothing.
function(room_of path result)
    set(found "")
    foreach(room IN LISTS rooms)
        string(LENGTH "${room}" length)
        string(LENGTH "${found}" best)
        if((path MATCHES "^${room}/") AND length GREATER best)
            set(found ${room})
        endif()
    endforeach()
    set(${result} "${found}" PARENT_SCOPE)
endfunction()

set(faults "")
set(checked 0)
foreach(room IN LISTS rooms)
    file(GLOB_RECURSE files RELATIVE ${TOP} ${TOP}/${room}/*.h ${TOP}/${room}/*.cpp)
    foreach(file IN LISTS files)
        room_of(${file} own)
        if(NOT own STREQUAL room)
            continue()
        endif()
        math(EXPR checked "${checked} + 1")
        file(STRINGS ${TOP}/${file} includes REGEX "^#include \"")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" included "${line}")
            string(REGEX REPLACE "^darkfill/" "include/darkfill/" included "${included}")
            if(NOT EXISTS ${TOP}/${included})
                list(APPEND faults "${file}: \"${included}\" does not name its folder from the top")
                continue()
            endif()
            room_of(${included} target)
            set(allowed FALSE)
            foreach(use IN LISTS uses_${room})
                if(included STREQUAL use OR target STREQUAL use)
                    set(allowed TRUE)
                endif()
            endforeach()
            if(NOT allowed)
                list(APPEND faults "${file}: includes ${included}, against the direction of the dependencies")
            endif()
        endforeach()
    endforeach()
endforeach()

if(faults)
    list(JOIN faults "\n  " text)
    message(FATAL_ERROR "Includes out of place:\n  ${text}")
endif()
message(STATUS "${checked} files checked: every include names its folder and points the one way")
