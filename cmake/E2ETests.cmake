# The real tavrel binary under Xvfb, driven through XTest like a user's keyboard and mouse.
if(TARGET tavrel AND TARGET tavrel-testclient)
  include(cmake/E2ESupport.cmake)
  file(GLOB TAVREL_E2E_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/e2e/*Test.cpp)
  add_executable(tavrel_e2e_tests ${TAVREL_E2E_TESTS} tests/e2e/SessionFixture.cpp
  tests/e2e/WindowManagerSuite.cpp)
  target_link_libraries(tavrel_e2e_tests PRIVATE tavrel_e2e_support GTest::gtest GTest::gtest_main)
  # A StatusNotifier watcher and host that comes and goes on a private session bus.
  add_executable(tavrel-sniwatcher tests/support/sniwatcher.cpp)
  set_target_properties(tavrel-sniwatcher PROPERTIES AUTOMOC ON)
  target_link_libraries(tavrel-sniwatcher PRIVATE Qt6::DBus)
  target_compile_definitions(tavrel_e2e_tests PRIVATE
    TAVREL_SNIWATCHER_PATH="$<TARGET_FILE:tavrel-sniwatcher>")
  add_dependencies(tavrel_e2e_tests tavrel-sniwatcher)
  # One ctest test per suite: the tests of a suite share one desktop and one tavrel (the window
  # managers' suites start one desktop per window manager).
  foreach(suite IN ITEMS Switching Crowd Launch Tray StatusNotifier Screens
          StackingWindowManagers GnomeWindowManagers TilingWindowManagers)
    add_test(NAME e2e_${suite} COMMAND tavrel_e2e_tests --gtest_filter=*${suite}Test.*)
    set_tests_properties(e2e_${suite} PROPERTIES LABELS e2e TIMEOUT 180
      ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/tests/qt/lsan.supp")
  endforeach()
endif()
