# The Linux X11 backend: window list, applications, activation and keyboard over xcb.
pkg_check_modules(TAVREL_X11_DEPS REQUIRED IMPORTED_TARGET
  xcb xcb-res xcb-xkb xcb-xinput xkbcommon xkbcommon-x11 x11)
file(GLOB TAVREL_X11_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/src/platform/x11/*.cpp)
add_library(tavrel_x11 STATIC ${TAVREL_X11_SOURCES})
target_link_libraries(tavrel_x11 PUBLIC tavrel_platform tavrel_desktop PkgConfig::TAVREL_X11_DEPS)
