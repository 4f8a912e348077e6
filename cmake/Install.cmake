# One program folder holds the executables, their conversion library and Help/ (the executables
# find the library beside themselves); <prefix>/bin gets links to both programs, and the desktop
# entry and icon make Lumiva appear in the desktop's menu.
include(GNUInstallDirs)
set(LUMIVA_PROGRAM_DIR ${CMAKE_INSTALL_LIBDIR}/lumiva)

install(TARGETS lumiva lumiva-batch RUNTIME DESTINATION ${LUMIVA_PROGRAM_DIR})
install(TARGETS lumiva-iconv LIBRARY DESTINATION ${LUMIVA_PROGRAM_DIR} NAMELINK_SKIP)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/Help DESTINATION ${LUMIVA_PROGRAM_DIR})

# The links are relative, so the installed tree may be moved or staged with DESTDIR; the folders
# are taken at install time, under the prefix given then (cmake --install --prefix).
install(CODE "set(LUMIVA_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
set(LUMIVA_PROGRAM_DIR \"${LUMIVA_PROGRAM_DIR}\")")
install(CODE [[
  set(lumiva_bindir "${LUMIVA_BINDIR}")
  set(lumiva_programdir "${LUMIVA_PROGRAM_DIR}")
  foreach(dir lumiva_bindir lumiva_programdir)
    if(NOT IS_ABSOLUTE "${${dir}}")
      set(${dir} "${CMAKE_INSTALL_PREFIX}/${${dir}}")
    endif()
  endforeach()
  file(RELATIVE_PATH lumiva_target "${lumiva_bindir}" "${lumiva_programdir}")
  file(MAKE_DIRECTORY "$ENV{DESTDIR}${lumiva_bindir}")
  foreach(program lumiva lumiva-batch)
    set(link "$ENV{DESTDIR}${lumiva_bindir}/${program}")
    message(STATUS "Installing: ${link} -> ${lumiva_target}/${program}")
    file(CREATE_LINK "${lumiva_target}/${program}" "${link}" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${link}")
  endforeach()
]])

# The desktop entry, icon, metadata, manual pages and completion.
include(${CMAKE_CURRENT_LIST_DIR}/DesktopFiles.cmake)
