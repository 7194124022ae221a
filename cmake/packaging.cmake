# Installs the manual pages, the bash completion and the package's
# documentation, and describes the Debian package that `cpack -G DEB` builds
# from an install of this project: vorn-b32_<version>_<arch>.deb with the
# library and its soname link, the header, the tool, the CMake package,
# vorn_b32.pc, the manual pages vorn(1) and vorn-config(5), the completion,
# and in /usr/share/doc/vorn-b32 the copyright (machine-readable), the
# Debian changelog and the examples.  Its dependencies come from
# dpkg-shlibdeps.

# The manual pages and the changelog are installed compressed, as Debian
# keeps them; -n leaves the name and time out of the gzip head, so the
# package is reproducible.
find_program(VORN_GZIP gzip)
function(vorn_install_gzipped source name destination)
  if(VORN_GZIP)
    add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/${name}.gz
      COMMAND ${VORN_GZIP} -9 -n -c ${source} > ${PROJECT_BINARY_DIR}/${name}.gz
      DEPENDS ${source} VERBATIM)
    add_custom_target(vorn_gzip_${name} ALL DEPENDS ${PROJECT_BINARY_DIR}/${name}.gz)
    install(FILES ${PROJECT_BINARY_DIR}/${name}.gz DESTINATION ${destination})
  else()
    install(FILES ${source} DESTINATION ${destination} RENAME ${name})
  endif()
endfunction()
vorn_install_gzipped(${PROJECT_SOURCE_DIR}/doc/vorn.1 vorn.1 ${CMAKE_INSTALL_MANDIR}/man1)
vorn_install_gzipped(${PROJECT_SOURCE_DIR}/doc/vorn-config.5 vorn-config.5
  ${CMAKE_INSTALL_MANDIR}/man5)
install(FILES ${PROJECT_SOURCE_DIR}/tools/vorn/vorn.bash-completion
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME vorn)

# The package's documentation folder, named after the package.
set(VORN_PACKAGE_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/vorn-b32)
install(FILES ${PROJECT_SOURCE_DIR}/doc/debian/copyright DESTINATION ${VORN_PACKAGE_DOCDIR})
vorn_install_gzipped(${PROJECT_SOURCE_DIR}/doc/debian/changelog changelog.Debian
  ${VORN_PACKAGE_DOCDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${VORN_PACKAGE_DOCDIR}/examples)

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
# trigger that makes the new soname known (cpack's postinst and postrm
# call ldconfig as well, which lintian only warns about).
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
file(WRITE ${PROJECT_BINARY_DIR}/debian/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/triggers)
include(CPack)
