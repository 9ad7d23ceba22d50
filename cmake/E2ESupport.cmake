# The end-to-end helpers shared by the e2e tests and the e2e benchmark: a private desktop
# (the X11 tests' Xvfb, openbox and test client helpers) driven through XTest, and the
# tavrel binary running on it.
include_guard(GLOBAL)
pkg_check_modules(TAVREL_E2E_DEPS REQUIRED IMPORTED_TARGET xcb xcb-xtest xcb-randr x11)
add_library(tavrel_e2e_support STATIC
  tests/e2e/Desktop.cpp tests/e2e/Session.cpp tests/e2e/TavrelProcess.cpp
  tests/x11/XServer.cpp tests/x11/ChildProcess.cpp tests/x11/TestClient.cpp)
target_include_directories(tavrel_e2e_support PUBLIC tests/e2e tests/x11)
target_compile_definitions(tavrel_e2e_support PUBLIC
  TAVREL_TESTCLIENT_PATH="$<TARGET_FILE:tavrel-testclient>"
  TAVREL_PATH="$<TARGET_FILE:tavrel>")
target_link_libraries(tavrel_e2e_support PUBLIC PkgConfig::TAVREL_E2E_DEPS)
add_dependencies(tavrel_e2e_support tavrel tavrel-testclient)
