# tarvex_install_manpage(<page.1>): installs the page compressed into man1, as Debian keeps them.
function(tarvex_install_manpage page)
    get_filename_component(name "${page}" NAME)
    set(compressed "${CMAKE_CURRENT_BINARY_DIR}/${name}.gz")
    add_custom_command(OUTPUT "${compressed}"
        COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" sh "${page}" "${compressed}"
        DEPENDS "${page}"
        COMMENT "Compressing ${name}"
        VERBATIM)
    add_custom_target(manpage_${name} ALL DEPENDS "${compressed}")
    install(FILES "${compressed}" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
