# One interface target carries the warning flags; every project target links it.
add_library(tarvex_warnings INTERFACE)
add_library(tarvex::warnings ALIAS tarvex_warnings)

if(MSVC)
    target_compile_options(tarvex_warnings INTERFACE /W4)
    if(TARVEX_WARNINGS_AS_ERRORS)
        target_compile_options(tarvex_warnings INTERFACE /WX)
    endif()
else()
    target_compile_options(tarvex_warnings INTERFACE
        -Wall -Wextra -Wpedantic -Wshadow -Wconversion
        -Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual)
    if(TARVEX_WARNINGS_AS_ERRORS)
        target_compile_options(tarvex_warnings INTERFACE -Werror)
    endif()
endif()
