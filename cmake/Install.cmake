# Installed like a desktop program: the binary, its icon and a desktop entry in the XDG places.
# The entry doubles as an autostart entry (copy it to ~/.config/autostart/).
include(GNUInstallDirs)
install(TARGETS tavrel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES data/tavrel.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/tavrel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The manual page and the Debian changelog go in compressed, as Debian's policy has them: at
# the highest level and without a time stamp, so that every build packs the same bytes.
set(TAVREL_PACKED_DOCS ${CMAKE_CURRENT_BINARY_DIR}/packed-docs)
foreach(doc IN ITEMS tavrel.1 debian/changelog)
  get_filename_component(name ${doc} NAME)
  add_custom_command(
    OUTPUT ${TAVREL_PACKED_DOCS}/${name}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TAVREL_PACKED_DOCS}
    COMMAND sh -c "gzip -9n -c \"$0\" > \"$1\"" ${CMAKE_CURRENT_SOURCE_DIR}/data/${doc}
            ${TAVREL_PACKED_DOCS}/${name}.gz
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/data/${doc}
    VERBATIM)
endforeach()
add_custom_target(tavrel_packed_docs ALL
  DEPENDS ${TAVREL_PACKED_DOCS}/tavrel.1.gz ${TAVREL_PACKED_DOCS}/changelog.gz)
install(FILES ${TAVREL_PACKED_DOCS}/tavrel.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${TAVREL_PACKED_DOCS}/changelog.gz data/debian/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# cpack -G DEB: the Debian package. Its library dependencies are read from the binary; what
# it loads by name at run time is declared: Qt's SVG plugin draws the scalable theme icons it
# looks up (its own included), in hicolor and, last, in Adwaita.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavrel)
set(CPACK_PACKAGE_VENDOR "tavrel developers")
set(CPACK_PACKAGE_CONTACT "tavrel developers <devel@tavrel.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "keyboard-driven window switcher for X11 desktops")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Hold Super and press Tab to get a panel of the other applications' windows:\n"
  "Tab moves, typing filters, releasing Super raises the chosen window.\n"
  "tavrel lives in the system tray.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, hicolor-icon-theme")
# qt6-wayland: Qt's own Wayland connection, which carries the tray icon on sway.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "adwaita-icon-theme, qt6-wayland")
set(CPACK_STRIP_FILES ON)
include(CPack)
