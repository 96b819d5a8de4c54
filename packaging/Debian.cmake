# The Debian package: cpack -G DEB in a build folder packs what cmake --install installs (the
# command, its compressed manual page, its message catalogs, the copyright and the changelog)
# with its dependencies found by dpkg-shlibdeps. Included by the top CMakeLists.txt.
include(GNUInstallDirs)
find_program(HOROFU_GZIP gzip REQUIRED)

# Debian's places and forms: the licence as /usr/share/doc/horofu/copyright in the
# machine-readable format, the changelog gzipped without a name or a time stamp so that two
# builds give the same bytes.
set(horofu_doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/horofu)
# The package's version is the project's with a Debian revision (1.0.0-1), as the changelog's
# first line says: a package with a changelog.Debian is not a native one.
set(HOROFU_DEBIAN_REVISION 1)
# The copyright file is the licence itself, under a line naming the package (plain text, which
# Debian's policy allows as well as the machine-readable form).
file(READ ${PROJECT_SOURCE_DIR}/LICENSE horofu_license)
file(WRITE ${CMAKE_BINARY_DIR}/packaging/copyright
"horofu, by the Horofu developers, is under the MIT (Expat) licence:

${horofu_license}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in
    ${CMAKE_BINARY_DIR}/packaging/changelog.Debian @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz
    COMMAND ${HOROFU_GZIP} -9nkf ${CMAKE_BINARY_DIR}/packaging/changelog.Debian
    DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.Debian VERBATIM)
add_custom_target(horofu-changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz)
install(FILES ${CMAKE_BINARY_DIR}/packaging/copyright
    ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz DESTINATION ${horofu_doc_dir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME horofu)
set(CPACK_PACKAGE_VENDOR "Horofu developers")
set(CPACK_PACKAGE_CONTACT "Horofu developers <horofu@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "convert saved Shift-JIS bulletin-board threads into HTML pages")
# Debian wants the description's lines within 80 columns, the leading space included.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "horofu turns a bulletin-board thread saved as text (Shift-JIS, UTF-8 or a\n\
board's .dat file) into one HTML page: the classic page keeps the thread's\n\
bytes, the modern one is UTF-8 HTML5 with reply previews. Pages are written\n\
beside their target and moved into place only when complete.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${HOROFU_DEBIAN_REVISION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
