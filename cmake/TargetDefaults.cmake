option(DARKFILL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(DARKFILL_FUZZ "Build the fuzz targets as well (needs clang)" OFF)

# How the analysis is compiled, and so everything that is measured against it
# side by side: at -O3 (the build type's own level comes first, so this wins).
function(darkfill_analysis_build target)
    target_compile_options(${target} PRIVATE -O3)
endfunction()

# What every target of ours compiles with: warnings, and the sanitizers when a
# sanitizer or fuzzing build asks for them.
function(darkfill_defaults target)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
    if(DARKFILL_SANITIZE OR DARKFILL_FUZZ)
        target_compile_options(${target} PRIVATE
            -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
    if(DARKFILL_FUZZ)
        target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
    endif()
endfunction()
