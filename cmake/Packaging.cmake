# Installed desktop integration and the Debian packages (scripts/package).
include(GNUInstallDirs)

set(RONDIX_HOMEPAGE "https://rondix.org" CACHE STRING "Project home page, named in the package metadata")
set(RONDIX_SCREENSHOT_BASE "${RONDIX_HOMEPAGE}/screenshots" CACHE STRING "Where the AppStream screenshots are published")
set(RONDIX_MAINTAINER "Rondix developers <packages@rondix.org>" CACHE STRING "Package maintainer")
# No licence has been granted for Rondix yet; AppStream's term for that.
set(RONDIX_LICENSE "LicenseRef-proprietary" CACHE STRING "SPDX licence expression of the project")

set(_res ${CMAKE_SOURCE_DIR}/resources)
set(_gen ${CMAKE_BINARY_DIR}/packaging)

# --- the app -----------------------------------------------------------------
configure_file(${_res}/dbus/org.rondix.Rondix.service.in ${_gen}/org.rondix.Rondix.service @ONLY)
configure_file(${_res}/metainfo/org.rondix.Rondix.metainfo.xml.in ${_gen}/org.rondix.Rondix.metainfo.xml @ONLY)
set(VERSION ${PROJECT_VERSION})
foreach(page rondix rondix-market)
  configure_file(${_res}/man/${page}.1 ${_gen}/${page}.1 @ONLY)
  execute_process(COMMAND gzip -9nkf ${_gen}/${page}.1)
endforeach()
unset(VERSION)

install(FILES ${_gen}/org.rondix.Rondix.service DESTINATION ${CMAKE_INSTALL_DATADIR}/dbus-1/services COMPONENT rondix)
install(FILES ${_gen}/org.rondix.Rondix.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT rondix)
install(FILES ${_gen}/rondix.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT rondix)
install(FILES ${_gen}/rondix-market.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT rondix-market)
install(FILES ${_res}/completions/rondix.bash RENAME rondix
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT rondix)
install(FILES ${_res}/completions/_rondix DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions COMPONENT rondix)
foreach(size 16 22 24 32 48 64 128 256 512)
  install(FILES ${_res}/icons/hicolor/${size}x${size}/org.rondix.Rondix.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps COMPONENT rondix)
endforeach()

# Debian wants a copyright file and a compressed changelog in each package's doc folder.
foreach(PACKAGE rondix rondix-market)
  configure_file(${_res}/packaging/changelog.in ${_gen}/${PACKAGE}/changelog.Debian @ONLY)
  execute_process(COMMAND gzip -9nf ${_gen}/${PACKAGE}/changelog.Debian)
  install(FILES ${_gen}/${PACKAGE}/changelog.Debian.gz ${_res}/packaging/copyright
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${PACKAGE} COMPONENT ${PACKAGE})
endforeach()
unset(PACKAGE)

# --- Debian packages -------------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rondix)
set(CPACK_PACKAGE_VENDOR "The Rondix developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${RONDIX_MAINTAINER}")
set(CPACK_PACKAGE_HOMEPAGE_URL "${RONDIX_HOMEPAGE}")
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL rondix)
if(TARGET rondix-market)
  list(APPEND CPACK_COMPONENTS_ALL rondix-market)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${RONDIX_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_RONDIX_PACKAGE_NAME rondix)
set(CPACK_DEBIAN_RONDIX_PACKAGE_SECTION utils)
# What the app opens at run time rather than links: the xcb platform and SVG
# plugins, the symbol and CJK fonts, colour emoji, the sound theme, D-Bus.
set(CPACK_DEBIAN_RONDIX_PACKAGE_DEPENDS
  "qt6-qpa-plugins, libqt6svg6, fonts-material-design-icons-iconfont, fonts-noto-cjk, fonts-noto-color-emoji, sound-theme-freedesktop, dbus-user-session | dbus-x11")
set(CPACK_DEBIAN_RONDIX_PACKAGE_RECOMMENDS "xdg-utils, hicolor-icon-theme, qt6-wayland")
set(CPACK_COMPONENT_RONDIX_DESCRIPTION
  "Radial ring of eight actions, summoned at the pointer
A global hotkey or an extra mouse button pops up a ring of eight actions around
the pointer. Move toward a sector and click: Rondix sends a key combination,
pastes stored text, launches an application, opens an address or a folder,
runs a script of yours or controls volume, brightness, media and the session,
in the application that was in front. Every application can have its own
ring; rings are edited in a settings window, shared as files and installed
from a signed market.")

set(CPACK_DEBIAN_RONDIX-MARKET_PACKAGE_NAME rondix-market)
set(CPACK_DEBIAN_RONDIX-MARKET_PACKAGE_SECTION net)
set(CPACK_COMPONENT_RONDIX-MARKET_DESCRIPTION
  "Ring market server for Rondix
Serves a folder of signed ready-made rings to Rondix over HTTP, and signs
rings offline with a key it never holds while serving. Stateless: run several
copies behind a reverse proxy or load balancer.")

include(CPack)
