# Installed like a desktop program: the binary, its icon and a desktop entry in the XDG places.
# The entry doubles as an autostart entry (copy it to ~/.config/autostart/).
include(GNUInstallDirs)
install(TARGETS tavrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES data/tavrel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/tavrel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# cpack -G DEB: the Debian package, its dependencies read from the binary's libraries.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrel)
set(CPACK_PACKAGE_VENDOR tavrel)
set(CPACK_PACKAGE_CONTACT "tavrel maintainers <tavrel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keyboard-driven window switcher for X11 desktops")
set(CPACK_PACKAGE_DESCRIPTION
    "Hold Super and press Tab to get a panel of the other applications' windows; Tab moves, typing filters, releasing Super raises the chosen window. Lives in the system tray.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
