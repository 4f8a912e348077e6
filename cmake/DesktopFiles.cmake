# What a desktop and a shell need beside the programs: the desktop entry, the icon and the
# software-centre metadata under the application id, the manual pages and the bash completion.
include(GNUInstallDirs)
set(LUMIVA_APP_ID io.github.lumiva.Lumiva)
# The date of the release that PROJECT_VERSION names, for the metadata's release list.
set(LUMIVA_RELEASE_DATE 2026-12-07)

set(generated ${CMAKE_BINARY_DIR}/data)
configure_file(${CMAKE_SOURCE_DIR}/data/${LUMIVA_APP_ID}.metainfo.xml.in ${generated}/${LUMIVA_APP_ID}.metainfo.xml @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/data/lumiva.1 ${generated}/lumiva.1 @ONLY)

# lumiva-batch.1 is made from the program's own --help and --version, so it cannot drift.
find_program(LUMIVA_HELP2MAN help2man)
set(man_pages ${generated}/lumiva.1)
if(LUMIVA_HELP2MAN)
  add_custom_command(OUTPUT ${generated}/lumiva-batch.1
    COMMAND ${LUMIVA_HELP2MAN} --no-info --no-discard-stderr --section 1
            --name "convert text files between character encodings in batches"
            --include ${CMAKE_SOURCE_DIR}/data/lumiva-batch.h2m --output ${generated}/lumiva-batch.1
            $<TARGET_FILE:lumiva-batch>
    DEPENDS lumiva-batch ${CMAKE_SOURCE_DIR}/data/lumiva-batch.h2m
    VERBATIM)
  list(APPEND man_pages ${generated}/lumiva-batch.1)
else()
  message(WARNING "help2man not found: no manual page for lumiva-batch (scripts/deps.sh installs it)")
endif()
set(compressed)
foreach(page ${man_pages})
  add_custom_command(OUTPUT ${page}.gz COMMAND gzip -9nkf ${page} DEPENDS ${page} VERBATIM)
  list(APPEND compressed ${page}.gz)
endforeach()
# The completion is printed by the program from the table its --help comes from.
set(completion ${generated}/lumiva-batch.bash-completion)
add_custom_command(OUTPUT ${completion}
  COMMAND sh -c "\"$1\" --bash-completion > \"$2\"" sh $<TARGET_FILE:lumiva-batch> ${completion}
  DEPENDS lumiva-batch
  VERBATIM)
add_custom_target(lumiva_man ALL DEPENDS ${compressed} ${completion})

install(FILES ${CMAKE_SOURCE_DIR}/data/${LUMIVA_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/ui/images/lumiva.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${LUMIVA_APP_ID}.svg)
install(FILES ${generated}/${LUMIVA_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${completion}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME lumiva-batch)
