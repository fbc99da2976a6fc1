list(APPEND PLATFORM_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/FreedesktopBackends.cpp
  # desktop entries, opener, session controls, sounds, clipboard
  ${CMAKE_CURRENT_LIST_DIR}/FreedesktopServices.cpp
  # login item
  ${CMAKE_CURRENT_LIST_DIR}/AutostartLoginItem.cpp
)
