# CLI11 for a cross build: Debian's CLI11 headers are the same for every target, but its own package
# file adds all of /usr/include, whose C library headers would hide the target's. This one copies
# the CLI11 headers alone into the build tree. Chosen with -DCLI11_DIR=<this folder>.
set(_tarvex_cli11_include "${CMAKE_BINARY_DIR}/cli11/include")
file(COPY /usr/include/CLI DESTINATION "${_tarvex_cli11_include}")
if(NOT TARGET CLI11::CLI11)
    add_library(CLI11::CLI11 INTERFACE IMPORTED)
    set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${_tarvex_cli11_include}")
endif()
unset(_tarvex_cli11_include)
