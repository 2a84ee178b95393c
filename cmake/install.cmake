# What `cmake --install BUILD --prefix PREFIX` puts where, in the usual
# layout of a desktop program:
#   bin/                               pellux, pellux-headless, pellux-disasm
#   share/pellux/ti92p.rom             the demo ROM (when the build made it)
#   share/applications/pellux.desktop  the menu entry
#   share/icons/hicolor/...            the icon, scalable and as pixels
#   share/doc/pellux/                  README.md and LICENSE
include(GNUInstallDirs)

install(TARGETS pellux-headless pellux-disasm RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(PELLUX_BUILD_GUI)
  install(TARGETS pellux RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  set(icons ${PROJECT_SOURCE_DIR}/host/icons)
  set(hicolor ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
  install(FILES ${PROJECT_SOURCE_DIR}/host/pellux.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${icons}/pellux.svg DESTINATION ${hicolor}/scalable/apps)
  install(FILES ${icons}/pellux-64.png DESTINATION ${hicolor}/64x64/apps RENAME pellux.png)
  install(FILES ${icons}/pellux-256.png DESTINATION ${hicolor}/256x256/apps RENAME pellux.png)
endif()
if(PELLUX_BUILD_FIRMWARE AND PELLUX_DEMO_ROM)
  install(FILES ${PELLUX_DEMO_ROM} DESTINATION ${CMAKE_INSTALL_DATADIR}/pellux)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pellux)
