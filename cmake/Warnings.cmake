# Every target of ours compiles with the same warnings, set per target.
function(darkfill_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()
