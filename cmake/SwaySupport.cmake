# A private headless sway for the e2e tests, the e2e benchmark and the demo: the scriptable
# Wayland test client, a keyboard and pointer that stay connected (also as a tool for
# scripts), sway's IPC, screenshots through grim, and tavrel running on it.
include_guard(GLOBAL)
include(cmake/E2ESupport.cmake)
find_package(Qt6 REQUIRED COMPONENTS Core)
pkg_check_modules(TAVREL_SWAY_TEST_DEPS REQUIRED IMPORTED_TARGET wayland-client xkbcommon)

add_executable(tavrel-waylandclient tests/support/waylandclient.cpp)
tavrel_wayland_protocol(tavrel-waylandclient
  ${TAVREL_WAYLAND_PROTOCOLS_DIR}/stable/viewporter/viewporter.xml)
target_link_libraries(tavrel-waylandclient PRIVATE tavrel_wayland_protocols)

add_library(tavrel_virtual_seat STATIC tests/e2e/sway/VirtualSeat.cpp)
tavrel_wayland_protocol(tavrel_virtual_seat
  ${TAVREL_WLR_PROTOCOL_DIR}/wlr-virtual-pointer-unstable-v1.xml)
target_include_directories(tavrel_virtual_seat PUBLIC tests/e2e/sway)
target_link_libraries(tavrel_virtual_seat PUBLIC PkgConfig::TAVREL_SWAY_TEST_DEPS)

add_executable(tavrel-virtualinput tests/support/virtualinput.cpp)
target_link_libraries(tavrel-virtualinput PRIVATE tavrel_virtual_seat)

add_library(tavrel_sway_support STATIC
  tests/e2e/sway/SwayServer.cpp tests/e2e/sway/SwayIpc.cpp tests/e2e/sway/WaylandClient.cpp
  tests/e2e/sway/Screenshot.cpp tests/e2e/sway/SwaySession.cpp)
target_compile_definitions(tavrel_sway_support PUBLIC
  TAVREL_WAYLANDCLIENT_PATH="$<TARGET_FILE:tavrel-waylandclient>")
target_link_libraries(tavrel_sway_support PUBLIC tavrel_e2e_common tavrel_virtual_seat Qt6::Core)
add_dependencies(tavrel_sway_support tavrel-waylandclient)
