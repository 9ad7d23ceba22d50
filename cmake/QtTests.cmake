# Qt shell tests: one binary, one private Xvfb for all of its tests.
if(TARGET tavrel_qt)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  file(GLOB TAVREL_QT_TESTS CONFIGURE_DEPENDS tests/qt/*.cpp)
  add_executable(tavrel_qt_tests ${TAVREL_QT_TESTS})
  set_target_properties(tavrel_qt_tests PROPERTIES AUTOMOC ON)
  target_link_libraries(tavrel_qt_tests PRIVATE tavrel_core tavrel_fake tavrel_qt Qt6::Test GTest::gtest PkgConfig::XCB_QT)
  add_test(NAME qt_shell COMMAND tavrel_qt_tests)
  set_tests_properties(qt_shell PROPERTIES LABELS qt TIMEOUT 120
    ENVIRONMENT "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/tests/qt/lsan.supp")
endif()
