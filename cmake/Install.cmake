# Installation: the program, its shipped record folder files (copied into the
# user's record folder on first start), the menu entry, icon, AppStream
# metainfo, man page, copyright and licence. The program finds the shipped
# files at ../share/dzq/演奏记录 from its own folder.
#
# Components: what has none is "Unspecified". The full licence text
# ("licence") goes with every `cmake --install`; the Debian package names
# the system's copy in its copyright file instead and takes the Debian
# changelog ("debian", installed only when asked for) in its place.
include(GNUInstallDirs)
set(DZQ_APP_ID io.github.quorvane.dzq)
set(DZQ_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/dzq)

# Compressed as Debian ships them: at the highest level and without a
# time stamp, so the same text always gives the same file.
find_program(DZQ_GZIP gzip REQUIRED)
set(dzq_compressed)
foreach(text dzq.1 changelog.Debian)
  set(copy ${CMAKE_CURRENT_BINARY_DIR}/dist/${text})
  add_custom_command(OUTPUT ${copy}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/dist/${text} ${copy}
    COMMAND ${DZQ_GZIP} -9nf ${copy}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/dist/${text}
    COMMENT "Compressing ${text}"
    VERBATIM)
  list(APPEND dzq_compressed ${copy}.gz)
endforeach()
add_custom_target(dzq_compressed_docs ALL DEPENDS ${dzq_compressed})

install(TARGETS dzq RUNTIME DESTINATION bin)
install(DIRECTORY data/演奏记录 DESTINATION share/dzq)
install(FILES dist/${DZQ_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES dist/${DZQ_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES dist/${DZQ_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/dist/dzq.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES dist/copyright DESTINATION ${DZQ_DOC_DIR})
install(FILES LICENSE DESTINATION ${DZQ_DOC_DIR} COMPONENT licence)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/dist/changelog.Debian.gz DESTINATION ${DZQ_DOC_DIR}
        COMPONENT debian EXCLUDE_FROM_ALL)
