# The real tavrel binary under Xvfb, driven through XTest like a user's keyboard and mouse.
# The X server, window manager, tray host and test clients are the X11 tests' helpers.
if(TARGET tavrel AND TARGET tavrel-testclient)
  pkg_check_modules(TAVREL_E2E_DEPS REQUIRED IMPORTED_TARGET xcb xcb-xtest xcb-randr x11)
  add_library(tavrel_e2e_support STATIC
    tests/e2e/Desktop.cpp tests/e2e/Session.cpp tests/e2e/SessionFixture.cpp tests/e2e/TavrelProcess.cpp
    tests/x11/XServer.cpp tests/x11/ChildProcess.cpp tests/x11/TestClient.cpp)
  target_include_directories(tavrel_e2e_support PUBLIC tests/e2e tests/x11)
  target_compile_definitions(tavrel_e2e_support PUBLIC
    TAVREL_TESTCLIENT_PATH="$<TARGET_FILE:tavrel-testclient>"
    TAVREL_PATH="$<TARGET_FILE:tavrel>")
  target_link_libraries(tavrel_e2e_support PUBLIC PkgConfig::TAVREL_E2E_DEPS GTest::gtest)
  add_dependencies(tavrel_e2e_support tavrel tavrel-testclient)

  file(GLOB TAVREL_E2E_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/e2e/*Test.cpp)
  add_executable(tavrel_e2e_tests ${TAVREL_E2E_TESTS})
  target_link_libraries(tavrel_e2e_tests PRIVATE tavrel_e2e_support GTest::gtest GTest::gtest_main)
  # One ctest test per suite: the tests of a suite share one desktop and one tavrel.
  foreach(suite IN ITEMS Switching Crowd Launch Tray Screens)
    add_test(NAME e2e_${suite} COMMAND tavrel_e2e_tests --gtest_filter=${suite}Test.*)
    set_tests_properties(e2e_${suite} PROPERTIES LABELS e2e TIMEOUT 180
      ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/tests/qt/lsan.supp")
  endforeach()
endif()
