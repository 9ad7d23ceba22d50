# The real tavrel binary under Xvfb, driven through XTest like a user's keyboard and mouse.
if(TARGET tavrel AND TARGET tavrel-testclient)
  include(cmake/E2ESupport.cmake)
  file(GLOB TAVREL_E2E_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/e2e/*Test.cpp)
  add_executable(tavrel_e2e_tests ${TAVREL_E2E_TESTS} tests/e2e/SessionFixture.cpp
  tests/e2e/WindowManagerSuite.cpp)
  target_link_libraries(tavrel_e2e_tests PRIVATE tavrel_e2e_support GTest::gtest GTest::gtest_main)
  # One ctest test per suite: the tests of a suite share one desktop and one tavrel (the window
  # managers' suites start one desktop per window manager).
  foreach(suite IN ITEMS Switching Crowd Launch Tray Screens
          StackingWindowManagers GnomeWindowManagers TilingWindowManagers)
    add_test(NAME e2e_${suite} COMMAND tavrel_e2e_tests --gtest_filter=*${suite}Test.*)
    set_tests_properties(e2e_${suite} PROPERTIES LABELS e2e TIMEOUT 180
      ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/tests/qt/lsan.supp")
  endforeach()
endif()
