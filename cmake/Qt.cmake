# The Qt 6 desktop shell: event loop, tray item, the panel window, and the tavrel program.
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets)
pkg_check_modules(XCB_QT REQUIRED IMPORTED_TARGET xcb xcb-xfixes xcb-shape xcb-shm)

file(GLOB TAVREL_QT_SOURCES CONFIGURE_DEPENDS src/platform/qt/*.cpp)
add_library(tavrel_qt STATIC ${TAVREL_QT_SOURCES})
set_target_properties(tavrel_qt PROPERTIES AUTOMOC ON)
target_link_libraries(tavrel_qt PUBLIC tavrel_platform Qt6::Widgets PRIVATE PkgConfig::XCB_QT)
# The session bus, where StatusNotifier tray hosts come and go.
find_package(Qt6 REQUIRED COMPONENTS DBus)
target_link_libraries(tavrel_qt PRIVATE Qt6::DBus)

# The headless demo's screenshots (scripts/demo).
add_executable(tavrel_screenshot tests/qt/tools/Screenshot.cpp)
target_link_libraries(tavrel_screenshot PRIVATE Qt6::Gui)

# The program itself needs both Linux backends next to the shell.
if(TARGET tavrel_x11 AND TARGET tavrel_wayland AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/src/main.cpp)
  add_executable(tavrel src/main.cpp)
  target_link_libraries(tavrel PRIVATE tavrel_core tavrel_qt tavrel_x11 tavrel_wayland)
  include(cmake/Install.cmake)
endif()

# The panel's show-to-painted time under a private Xvfb.
if(TAVREL_BUILD_BENCH)
  find_package(benchmark REQUIRED)
  add_executable(tavrel_qt_bench bench/qt/PanelShowBench.cpp tests/qt/ChildProcess.cpp)
  target_link_libraries(tavrel_qt_bench PRIVATE tavrel_core tavrel_fake tavrel_qt
                        benchmark::benchmark PkgConfig::XCB_QT)
endif()
