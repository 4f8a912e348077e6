# The Debian package, made by CPack from the install rules (scripts/package.sh):
# dist/lumiva_<version>_amd64.deb, its Depends worked out by dpkg-shlibdeps.
include(GNUInstallDirs)

set(docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/lumiva)
configure_file(${CMAKE_SOURCE_DIR}/data/changelog.in ${CMAKE_BINARY_DIR}/data/changelog @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/data/changelog.gz
  COMMAND gzip -9nkf ${CMAKE_BINARY_DIR}/data/changelog
  DEPENDS ${CMAKE_BINARY_DIR}/data/changelog VERBATIM)
add_custom_target(lumiva_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/data/changelog.gz)
install(FILES ${CMAKE_SOURCE_DIR}/data/copyright ${CMAKE_BINARY_DIR}/data/changelog.gz DESTINATION ${docdir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumiva)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Lumiva developers")
set(CPACK_PACKAGE_CONTACT "The Lumiva developers <lumiva@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert text files between character encodings in batches")
set(CPACK_PACKAGE_DESCRIPTION "Lumiva converts text files from one character encoding to another, many files
in one run, with every encoding that the C library's iconv knows. Characters
the target cannot hold stop the file, are dropped or are transliterated;
results go to an output folder, beside each source, or over the source after
an optional backup. A failed conversion never touches its destination.

The package holds the window program lumiva and its command-line twin
lumiva-batch.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/lumiva/lumiva)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
include(CPack)
