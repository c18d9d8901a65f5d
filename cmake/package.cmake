# The Debian package, made by `cpack -G DEB` from a build configured with the prefix /usr: the
# two programs, their manual pages compressed where Debian keeps them, and the copyright and
# changelog that every Debian package carries. The programs are linked statically, so nothing
# is required.
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/${PROJECT_NAME})
configure_file(packaging/debian/changelog.in changelog @ONLY)
add_custom_command(OUTPUT norvane.1.gz norvane-check.1.gz changelog.gz
  COMMAND gzip -9nkf norvane.1 norvane-check.1 changelog
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/norvane.1 ${CMAKE_CURRENT_BINARY_DIR}/norvane-check.1
    ${CMAKE_CURRENT_BINARY_DIR}/changelog)
add_custom_target(debian_files ALL DEPENDS norvane.1.gz norvane-check.1.gz changelog.gz)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/norvane.1.gz ${CMAKE_CURRENT_BINARY_DIR}/norvane-check.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES packaging/debian/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
  DESTINATION ${doc_dir})
install(FILES packaging/debian/lintian-overrides
  DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ${PROJECT_NAME})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE amd64)
# The project has no mail address, and Debian's packages must name one: one under the reserved
# domain .invalid says so.
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "the norvane project <nobody@norvane.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "turn a DOS batch script into a C program of system() calls")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "norvane reads the lines of a DOS batch script, typed, pasted or redirected,
up to a line that reads end, and writes the source of a C program that runs
the same commands in the same order, one system() call each, for DOS and
Windows C compilers. Quotes, backslashes, trigraphs, control bytes and
double-byte text are escaped so that the compiled program runs exactly the
bytes that were typed. norvane-check reads a batch script and names each line
that does something else once it runs alone through system(): a cd, a set, a
block, a goto.")
include(CPack)
