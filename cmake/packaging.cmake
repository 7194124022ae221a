# Installs the tool's manual page and bash completion, and describes the
# Debian package that `cpack -G DEB` builds from an install of this project:
# vorn-b32_<version>_<arch>.deb with the library and its soname link, the
# header, the tool, the CMake package, vorn_b32.pc, the manual page and the
# completion.  Its dependencies come from dpkg-shlibdeps.

# The manual page is installed compressed, as Debian keeps them; -n leaves
# the name and time out of the gzip head, so the package is reproducible.
find_program(VORN_GZIP gzip)
set(VORN_MAN_PAGE ${PROJECT_SOURCE_DIR}/doc/vorn.1)
if(VORN_GZIP)
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/vorn.1.gz
    COMMAND ${VORN_GZIP} -9 -n -c ${VORN_MAN_PAGE} > ${PROJECT_BINARY_DIR}/vorn.1.gz
    DEPENDS ${VORN_MAN_PAGE} VERBATIM)
  add_custom_target(vorn_man_page ALL DEPENDS ${PROJECT_BINARY_DIR}/vorn.1.gz)
  install(FILES ${PROJECT_BINARY_DIR}/vorn.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  install(FILES ${VORN_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/tools/vorn/vorn.bash-completion
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME vorn)

set(CPACK_PACKAGE_NAME vorn-b32)
# The four numbers of the library's own version text, not only three.
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Vorn_B32")
set(CPACK_PACKAGE_CONTACT "Vorn_B32 developers <vorn-b32@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "configuration and service library of the Vorn-Box ISDN router, and its tool")
set(CPACK_PACKAGE_DESCRIPTION
  "libvorn_b32 compiles the ASCII configuration of the Vorn-Box, an ISDN
least-cost router, into the binary table the box loads and back, and
converts the box's event log, call log and protocol trace into text.
The tool vorn does the same jobs from the command line.  The package also
holds the C header, the CMake package and the pkg-config file.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A shlibs file for packages that link the library, and the ldconfig
# trigger that makes the new soname known.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
include(CPack)
