# The Wayland backend: Rondix's own connection to the compositor, with the
# protocols it uses turned into code by wayland-scanner.
# wayland-client and WAYLAND_SCANNER come from the top-level CMakeLists.txt.
set(_wl_gen ${CMAKE_CURRENT_BINARY_DIR}/wayland-protocols)
file(MAKE_DIRECTORY ${_wl_gen})
foreach(proto
    wlr-layer-shell-unstable-v1
    wlr-foreign-toplevel-management-unstable-v1
    virtual-keyboard-unstable-v1
    wlr-data-control-unstable-v1
    fake-input
    xdg-output-unstable-v1
    fractional-scale-v1
    viewporter
    plasma-window-management)
  set(_xml ${CMAKE_CURRENT_LIST_DIR}/protocols/${proto}.xml)
  add_custom_command(
    OUTPUT ${_wl_gen}/${proto}-client-protocol.h ${_wl_gen}/${proto}-protocol.c
    COMMAND ${WAYLAND_SCANNER} client-header ${_xml} ${_wl_gen}/${proto}-client-protocol.h
    COMMAND ${WAYLAND_SCANNER} private-code ${_xml} ${_wl_gen}/${proto}-protocol.c
    DEPENDS ${_xml}
    VERBATIM)
  list(APPEND PLATFORM_SOURCES ${_wl_gen}/${proto}-client-protocol.h ${_wl_gen}/${proto}-protocol.c)
endforeach()

list(APPEND PLATFORM_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/WaylandBackends.cpp
  ${CMAKE_CURRENT_LIST_DIR}/WaylandConnection.cpp ${CMAKE_CURRENT_LIST_DIR}/WaylandConnection.h
  ${CMAKE_CURRENT_LIST_DIR}/WaylandCapabilities.cpp ${CMAKE_CURRENT_LIST_DIR}/WaylandCapabilities.h
  ${CMAKE_CURRENT_LIST_DIR}/LayerShellRingSurface.cpp ${CMAKE_CURRENT_LIST_DIR}/LayerShellRingSurface.h
  ${CMAKE_CURRENT_LIST_DIR}/CompositorWindowSystem.cpp ${CMAKE_CURRENT_LIST_DIR}/CompositorWindowSystem.h
  ${CMAKE_CURRENT_LIST_DIR}/WlrWindowSystem.cpp ${CMAKE_CURRENT_LIST_DIR}/WlrWindowSystem.h
  ${CMAKE_CURRENT_LIST_DIR}/PlasmaWindowSystem.cpp ${CMAKE_CURRENT_LIST_DIR}/PlasmaWindowSystem.h
  ${CMAKE_CURRENT_LIST_DIR}/WaylandKeyInjector.cpp ${CMAKE_CURRENT_LIST_DIR}/WaylandKeyInjector.h
  ${CMAKE_CURRENT_LIST_DIR}/WaylandClipboard.cpp ${CMAKE_CURRENT_LIST_DIR}/WaylandClipboard.h
  ${CMAKE_CURRENT_LIST_DIR}/SwayIpc.cpp ${CMAKE_CURRENT_LIST_DIR}/SwayIpc.h
  ${CMAKE_CURRENT_LIST_DIR}/SwayHotkeyGrabber.cpp ${CMAKE_CURRENT_LIST_DIR}/SwayHotkeyGrabber.h
  ${CMAKE_CURRENT_LIST_DIR}/SwayInputMonitor.cpp ${CMAKE_CURRENT_LIST_DIR}/SwayInputMonitor.h
  ${CMAKE_CURRENT_LIST_DIR}/DesktopShortcutGrabber.cpp ${CMAKE_CURRENT_LIST_DIR}/DesktopShortcutGrabber.h
)
set(RONDIX_WAYLAND_INCLUDE ${_wl_gen})
