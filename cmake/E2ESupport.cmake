# The end-to-end helpers shared by the e2e tests and the e2e benchmarks.
#   tavrel_e2e_common   the tavrel binary as a process and what a picture of its panel tells
#   tavrel_e2e_support  a private X11 desktop (the X11 tests' Xvfb, openbox and test client
#                       helpers) driven through XTest
include_guard(GLOBAL)
add_library(tavrel_e2e_common STATIC
  tests/e2e/TavrelProcess.cpp tests/e2e/PanelPicture.cpp tests/x11/ChildProcess.cpp)
target_include_directories(tavrel_e2e_common PUBLIC tests/e2e tests/x11)
target_compile_definitions(tavrel_e2e_common PUBLIC TAVREL_PATH="$<TARGET_FILE:tavrel>")
add_dependencies(tavrel_e2e_common tavrel)

pkg_check_modules(TAVREL_E2E_DEPS REQUIRED IMPORTED_TARGET xcb xcb-xtest xcb-randr x11)
add_library(tavrel_e2e_support STATIC
  tests/e2e/Desktop.cpp tests/e2e/Session.cpp tests/x11/XServer.cpp tests/x11/TestClient.cpp)
target_compile_definitions(tavrel_e2e_support PUBLIC
  TAVREL_TESTCLIENT_PATH="$<TARGET_FILE:tavrel-testclient>")
target_link_libraries(tavrel_e2e_support PUBLIC tavrel_e2e_common PkgConfig::TAVREL_E2E_DEPS)
add_dependencies(tavrel_e2e_support tavrel-testclient)
