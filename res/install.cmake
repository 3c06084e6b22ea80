# Desktop integration: the menu entry and the program icon (icon resource
# 128, the window's icon too), so that the program appears in the desktop's
# application menu after `cmake --install`.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/tolvar.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/icons/128.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME tolvar.svg)
