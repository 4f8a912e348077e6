# One program folder holds the executables, their conversion library and Help/ (the executables
# find the library beside themselves); <prefix>/bin gets links to both programs, and the desktop
# entry and icon make Lumiva appear in the desktop's menu.
include(GNUInstallDirs)
set(LUMIVA_PROGRAM_DIR ${CMAKE_INSTALL_LIBDIR}/lumiva)

install(TARGETS lumiva lumiva-batch RUNTIME DESTINATION ${LUMIVA_PROGRAM_DIR})
install(TARGETS lumiva-iconv LIBRARY DESTINATION ${LUMIVA_PROGRAM_DIR} NAMELINK_SKIP)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/Help DESTINATION ${LUMIVA_PROGRAM_DIR})

foreach(program lumiva lumiva-batch)
  install(CODE "
    set(bindir \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(MAKE_DIRECTORY \"\${bindir}\")
    file(CREATE_LINK \"../${LUMIVA_PROGRAM_DIR}/${program}\" \"\${bindir}/${program}\" SYMBOLIC)
  ")
endforeach()

install(FILES ${CMAKE_SOURCE_DIR}/data/lumiva.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/ui/images/lumiva.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME lumiva.svg)
