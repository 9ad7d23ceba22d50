# Keypress to panel painted and release to window active, with the real tavrel under Xvfb and
# openbox; not a test (run it from a release build, see bench/README.md).
if(TARGET tavrel AND TARGET tavrel-testclient)
  include(cmake/E2ESupport.cmake)
  pkg_check_modules(TAVREL_E2E_BENCH_DEPS REQUIRED IMPORTED_TARGET xcb-damage)
  file(GLOB TAVREL_E2E_BENCH CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/bench/e2e/*.cpp)
  add_executable(tavrel_e2e_bench ${TAVREL_E2E_BENCH})
  target_link_libraries(tavrel_e2e_bench PRIVATE
    tavrel_e2e_support PkgConfig::TAVREL_E2E_BENCH_DEPS benchmark::benchmark)
endif()
