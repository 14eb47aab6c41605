# `make install` of tavolin-headless, with or without Qt: the program, its
# systemd user unit where `systemctl --user` finds units under the prefix
# (share/systemd/user, for ~/.local as for /usr/local), and the example
# environment file beside the README.
include(GNUInstallDirs)

install(TARGETS tavolin-headless RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The unit names the installed program by its full path, so it is written at
# install time: `cmake --install --prefix` may name another prefix than the
# configured one.
set(tavolin_unit ${PROJECT_BINARY_DIR}/resources/tavolin-headless.service)
install(CODE "
  set(BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  set(DOCDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/doc/tavolin\")
  configure_file(\"${PROJECT_SOURCE_DIR}/resources/tavolin-headless.service\" \"${tavolin_unit}\" @ONLY)
")
install(FILES ${tavolin_unit} DESTINATION ${CMAKE_INSTALL_DATADIR}/systemd/user)
install(FILES ${PROJECT_SOURCE_DIR}/resources/headless.env DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tavolin)
