# The forms of the analysis's vector loops that this machine runs, each named as
# DARKFILL_SIMD takes it: plain always, avx2 where a check program says so (not
# when cross-compiling, where the build machine is not the one that runs).
function(darkfill_vector_forms out)
    set(forms plain)
    if(NOT CMAKE_CROSSCOMPILING AND CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64")
        try_run(avx2_runs avx2_compiles ${CMAKE_BINARY_DIR}/avx2-check ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/HasAvx2.cpp)
        if(avx2_compiles AND avx2_runs EQUAL 0)
            list(APPEND forms avx2)
        endif()
    endif()
    set(${out} ${forms} PARENT_SCOPE)
endfunction()
