list(APPEND PLATFORM_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/FreedesktopBackends.cpp
  # desktop entries, opener, session controls, sounds, clipboard
  ${CMAKE_CURRENT_LIST_DIR}/FreedesktopServices.cpp ${CMAKE_CURRENT_LIST_DIR}/SessionBus.h
  ${CMAKE_CURRENT_LIST_DIR}/GioDesktopEntries.h ${CMAKE_CURRENT_LIST_DIR}/GioDesktopEntries.cpp
  ${CMAKE_CURRENT_LIST_DIR}/XdgOpener.h ${CMAKE_CURRENT_LIST_DIR}/XdgOpener.cpp
  ${CMAKE_CURRENT_LIST_DIR}/FreedesktopSessionControls.h ${CMAKE_CURRENT_LIST_DIR}/FreedesktopSessionControls.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CanberraSoundPlayer.h ${CMAKE_CURRENT_LIST_DIR}/CanberraSoundPlayer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/QtClipboard.h ${CMAKE_CURRENT_LIST_DIR}/QtClipboard.cpp
  # light or dark desktop
  ${CMAKE_CURRENT_LIST_DIR}/SystemAppearance.h ${CMAKE_CURRENT_LIST_DIR}/SystemAppearance.cpp
  # login item
  ${CMAKE_CURRENT_LIST_DIR}/AutostartLoginItem.cpp
)
