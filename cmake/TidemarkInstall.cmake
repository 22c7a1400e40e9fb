# What `cmake --install` puts beside the program: the desktop entry, the icon in the hicolor
# theme and the AppStream metainfo. The program itself is installed by src/app.
include(GNUInstallDirs)

set(TIDEMARK_APP_ID org.example.Tidemark)
set(TIDEMARK_RESOURCES ${CMAKE_CURRENT_LIST_DIR}/../resources)

install(FILES ${TIDEMARK_RESOURCES}/${TIDEMARK_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${TIDEMARK_RESOURCES}/tidemark.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${TIDEMARK_APP_ID}.svg)
install(FILES ${TIDEMARK_RESOURCES}/${TIDEMARK_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
