# Installation: the program, its shipped record folder files (copied into the
# user's record folder on first start), the menu entry, icon, AppStream
# metainfo and man page. The program finds the shipped files at
# ../share/dzq/演奏记录 from its own folder.
include(GNUInstallDirs)
set(DZQ_APP_ID io.github.quorvane.dzq)

install(TARGETS dzq RUNTIME DESTINATION bin)
install(DIRECTORY data/演奏记录 DESTINATION share/dzq)
install(FILES dist/${DZQ_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES dist/${DZQ_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES dist/${DZQ_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES dist/dzq.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/dzq)
