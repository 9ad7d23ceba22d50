# The real tavrel binary under a headless sway, driven through a virtual keyboard and pointer.
# The cases share one sway and one tavrel, as a user's session goes on from switch to switch.
if(TARGET tavrel AND TARGET tavrel_wayland_protocols)
  include(cmake/SwaySupport.cmake)
  add_executable(tavrel_sway_tests tests/e2e/sway/SwitchingTest.cpp)
  target_include_directories(tavrel_sway_tests PRIVATE tests/support)
  target_link_libraries(tavrel_sway_tests PRIVATE tavrel_sway_support GTest::gtest GTest::gtest_main)
  add_test(NAME sway_switching COMMAND tavrel_sway_tests)
  set_tests_properties(sway_switching PROPERTIES LABELS sway TIMEOUT 300
    ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/tests/qt/lsan.supp")
endif()
