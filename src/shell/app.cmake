# rondix_shell: start-up order, summon sequence, tray menu, windows, D-Bus
# single instance. The rondix executable adds the shared managers and main().
set(_d ${CMAKE_CURRENT_LIST_DIR})
include(GNUInstallDirs)
add_library(rondix_shell STATIC
  ${_d}/AppDelegate.cpp ${_d}/AppDelegate.h
  ${_d}/CommandLine.cpp ${_d}/CommandLine.h
  ${_d}/MenuBarManager.cpp ${_d}/MenuBarManager.h
  ${_d}/PermissionGuideWindow.cpp ${_d}/PermissionGuideWindow.h
  ${_d}/RondixDBusService.cpp ${_d}/RondixDBusService.h
  ${_d}/SettingsWindow.cpp ${_d}/SettingsWindow.h
  ${_d}/ShellServices.h
  ${_d}/SummonSequence.cpp ${_d}/SummonSequence.h
  ${_d}/WindowHints.cpp ${_d}/WindowHints.h
  ${_d}/rondix.qrc
)
target_link_libraries(rondix_shell
  PUBLIC rondix_triggers rondix_model rondix_l10n rondix_platform rondix_common Qt6::Widgets Qt6::DBus
  PRIVATE PkgConfig::XCB)

add_executable(rondix
  ${_d}/main.cpp
  ${_d}/SharedShellServices.cpp ${_d}/SharedShellServices.h)
target_compile_definitions(rondix PRIVATE RONDIX_VERSION="${PROJECT_VERSION}")
target_link_libraries(rondix PRIVATE
  rondix_shell rondix_triggers rondix_model rondix_l10n rondix_hud rondix_actions rondix_settings rondix_cli
  rondix_market_view
  PkgConfig::XCB)
install(TARGETS rondix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# KWin grants its fake input and window list only to a program whose desktop
# entry names it with an absolute Exec.
configure_file(${CMAKE_SOURCE_DIR}/resources/desktop/org.rondix.Rondix.desktop.in
  ${CMAKE_BINARY_DIR}/packaging/org.rondix.Rondix.desktop @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/packaging/org.rondix.Rondix.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/resources/icons/org.rondix.Rondix.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The interface sounds are installed with the ring (src/hud).
