# Keypress to panel painted and release to window active, with the real tavrel under Xvfb and
# openbox; not a test (run it from a release build, see bench/README.md).
if(TARGET tavrel AND TARGET tavrel-testclient)
  include(cmake/E2ESupport.cmake)
  pkg_check_modules(TAVREL_E2E_BENCH_DEPS REQUIRED IMPORTED_TARGET xcb-damage)
  add_executable(tavrel_e2e_bench bench/e2e/SwitchLatencyBench.cpp)
  target_link_libraries(tavrel_e2e_bench PRIVATE
    tavrel_e2e_support PkgConfig::TAVREL_E2E_BENCH_DEPS benchmark::benchmark)
endif()

# The same under a headless sway at 240 Hz, the frame seen through screencopy.
if(TARGET tavrel AND TARGET tavrel_wayland_protocols)
  include(cmake/SwaySupport.cmake)
  add_executable(tavrel_sway_bench bench/e2e/SwaySwitchLatencyBench.cpp)
  tavrel_wayland_protocol(tavrel_sway_bench
    ${TAVREL_WLR_PROTOCOL_DIR}/wlr-screencopy-unstable-v1.xml)
  target_link_libraries(tavrel_sway_bench PRIVATE tavrel_sway_support benchmark::benchmark)
endif()
