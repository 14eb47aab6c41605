# `make install` (cmake --install): the two programs, the desktop entry with
# its icon, and the README with the pages and pictures it links to, in the
# same places relative to it. `make uninstall` removes what the install
# recorded in install_manifest.txt.
include(GNUInstallDirs)

install(TARGETS tavolin tavolin-render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/tavolin.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/tavolin.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/CONTRIBUTING.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tavolin)
install(FILES ${PROJECT_SOURCE_DIR}/docs/ARCHITECTURE.md ${PROJECT_SOURCE_DIR}/docs/note-path.svg
              ${PROJECT_SOURCE_DIR}/docs/screenshot.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tavolin/docs)
