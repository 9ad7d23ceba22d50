# Tests of the X11 backend against a private Xvfb, with and without a window manager.
pkg_check_modules(TAVREL_X11_TEST_DEPS REQUIRED IMPORTED_TARGET xcb xcb-xtest)

add_executable(tavrel-testclient tests/support/testclient.cpp)
target_link_libraries(tavrel-testclient PRIVATE PkgConfig::TAVREL_X11_TEST_DEPS)

file(GLOB TAVREL_X11_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/x11/*.cpp)
add_executable(tavrel_x11_tests ${TAVREL_X11_TESTS})
target_compile_definitions(tavrel_x11_tests PRIVATE
  TAVREL_TESTCLIENT_PATH="$<TARGET_FILE:tavrel-testclient>")
target_link_libraries(tavrel_x11_tests PRIVATE
  tavrel_x11 PkgConfig::TAVREL_X11_TEST_DEPS GTest::gtest GTest::gtest_main)
add_dependencies(tavrel_x11_tests tavrel-testclient)
gtest_discover_tests(tavrel_x11_tests DISCOVERY_MODE PRE_TEST PROPERTIES LABELS x11)
