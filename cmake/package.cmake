# `make deb`: a Debian package of what cmake/install.cmake installs, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrum)
set(CPACK_PACKAGE_VENDOR "The Kestrum developers")
set(CPACK_PACKAGE_CONTACT "The Kestrum developers <kestrum@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "self-extracting archives for Windows, packed on Linux")
# The long description; CPack indents its lines under the summary and marks
# the empty line as Debian's paragraph break.
set(CPACK_PACKAGE_DESCRIPTION
    "kestrum packs a folder into a self-extracting archive for Windows: one
executable that shows the archive's files in a window, in one of nine
languages, and extracts them, or extracts them unattended from a script.
The tool also lists, tests and extracts such archives on Linux.

Archives can be split into volumes, carry a SHA-256 manifest of their files
and can be made reproducible: the same folder gives the same bytes. The
package holds the tool and the 32- and 64-bit Windows stubs.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_SOURCE_DIR}/build/package)
include(CPack)
