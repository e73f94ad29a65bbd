# The Debian package: `cmake --build build --target package` (or `make
# package`) writes build/zentabula_<version>_amd64.deb. CPack installs the
# project's own install rules under /usr; this file adds what only a Debian
# package carries (the copyright file and the changelog) and the control
# fields; there is no Homepage field, as the project has no home page yet.
# The run-time dependencies are not listed here: dpkg-shlibdeps
# reads them off the programs.

set(qz_doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/zentabula)
set(qz_changelog_gz ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${qz_changelog_gz}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/changelog > ${qz_changelog_gz}
  DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog
  COMMENT "Compressing the Debian changelog")
add_custom_target(qz_changelog ALL DEPENDS ${qz_changelog_gz})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${qz_changelog_gz} DESTINATION ${qz_doc_dir})

# The project has no mail domain of its own yet: the default is a
# placeholder in a domain reserved for examples (RFC 2606), which lintian
# accepts. Whoever publishes a package sets their own address here, and in
# packaging/changelog and packaging/copyright.
set(QZ_PACKAGE_MAINTAINER "Zentabula maintainers <maintainers@example.org>"
    CACHE STRING "The Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zentabula)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zentabula developers")
set(CPACK_PACKAGE_CONTACT "${QZ_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QZ_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The first line is the synopsis; CPack indents the rest and writes the
# empty line as " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[desktop calculator for programmers
Zentabula computes on 128-bit integers, shown as signed decimal, binary,
octal or hexadecimal numbers or as IPv4 and IPv6 addresses, and on 80-bit
extended-precision floats. Expressions are evaluated strictly from left to
right as they are typed, with parentheses up to 254 deep; the keypad carries
bit operations, shifts and rotations, power, rounding, square root, sine and
cosine.

Sixteen registers and a tape, whose lines bring their values back on a
click, are kept between runs. The package also holds qzcalc, the same
calculator on the command line.]=])

include(CPack)
