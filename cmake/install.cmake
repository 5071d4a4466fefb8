# What `cmake --install` puts under the prefix (DESTDIR honoured): the tool,
# both stubs where the installed tool looks for them (PREFIX/lib/kestrum, found
# from the tool's own path), the manual page and the bash completion. The stubs
# are built by the Windows presets: `make deb` builds them first.
set(KESTRUM_INSTALL_STUB32 ${CMAKE_SOURCE_DIR}/build/win32/bin/kestrum-sfx.exe
    CACHE FILEPATH "The 32-bit stub to install (the tool's default)")
set(KESTRUM_INSTALL_STUB64 ${CMAKE_SOURCE_DIR}/build/win64/bin/kestrum-sfx.exe
    CACHE FILEPATH "The 64-bit stub to install")

# Man page, changelog: compressed without a name or time stamp (gzip -n), so
# that the package is the same on every build.
set(KESTRUM_PACKAGING ${CMAKE_SOURCE_DIR}/packaging)
configure_file(${KESTRUM_PACKAGING}/kestrum.1 ${CMAKE_BINARY_DIR}/packaging/kestrum.1 @ONLY)
configure_file(${KESTRUM_PACKAGING}/changelog ${CMAKE_BINARY_DIR}/packaging/changelog @ONLY)
set(KESTRUM_GZIPPED)
foreach(doc kestrum.1 changelog)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/${doc}.gz
    COMMAND gzip -9nkf ${CMAKE_BINARY_DIR}/packaging/${doc}
    DEPENDS ${CMAKE_BINARY_DIR}/packaging/${doc} VERBATIM)
  list(APPEND KESTRUM_GZIPPED ${CMAKE_BINARY_DIR}/packaging/${doc}.gz)
endforeach()
add_custom_target(kestrum_docs ALL DEPENDS ${KESTRUM_GZIPPED})

install(TARGETS kestrum RUNTIME DESTINATION bin)
install(FILES ${KESTRUM_INSTALL_STUB32} DESTINATION lib/kestrum RENAME kestrum-sfx.exe)
install(FILES ${KESTRUM_INSTALL_STUB64} DESTINATION lib/kestrum RENAME kestrum-sfx-win64.exe)
install(FILES ${CMAKE_BINARY_DIR}/packaging/kestrum.1.gz DESTINATION share/man/man1)
install(FILES ${KESTRUM_PACKAGING}/kestrum.bash-completion
        DESTINATION share/bash-completion/completions RENAME kestrum)
install(FILES ${KESTRUM_PACKAGING}/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION share/doc/kestrum)
