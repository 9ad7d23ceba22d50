# Window listing under Xvfb: time and round trips per enumeration.
pkg_check_modules(TAVREL_X11_BENCH_DEPS REQUIRED IMPORTED_TARGET xcb)
if(NOT TARGET tavrel-testclient)
  add_executable(tavrel-testclient tests/support/testclient.cpp)
  target_link_libraries(tavrel-testclient PRIVATE PkgConfig::TAVREL_X11_BENCH_DEPS)
endif()
file(GLOB TAVREL_X11_BENCH CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/bench/x11/*.cpp)
add_executable(tavrel_x11_bench ${TAVREL_X11_BENCH}
  tests/x11/XServer.cpp tests/x11/ChildProcess.cpp tests/x11/TestClient.cpp)
target_include_directories(tavrel_x11_bench PRIVATE tests/x11)
target_compile_definitions(tavrel_x11_bench PRIVATE
  TAVREL_TESTCLIENT_PATH="$<TARGET_FILE:tavrel-testclient>")
target_link_libraries(tavrel_x11_bench PRIVATE
  tavrel_x11 PkgConfig::TAVREL_X11_BENCH_DEPS benchmark::benchmark_main)
add_dependencies(tavrel_x11_bench tavrel-testclient)
