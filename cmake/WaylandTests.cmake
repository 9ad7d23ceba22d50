# Unit tests of the sway backend's own logic: no compositor needed.
if(TARGET tavrel_wayland)
  file(GLOB TAVREL_WAYLAND_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/wayland/*.cpp)
  add_executable(tavrel_wayland_tests ${TAVREL_WAYLAND_TESTS})
  target_link_libraries(tavrel_wayland_tests PRIVATE tavrel_wayland GTest::gtest GTest::gtest_main)
  gtest_discover_tests(tavrel_wayland_tests DISCOVERY_MODE PRE_TEST PROPERTIES LABELS unit)
endif()
