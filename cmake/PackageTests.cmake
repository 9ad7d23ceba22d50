# The Debian package as lintian sees it, packed from this build tree.
if(TARGET tavrel)
  add_test(NAME package_deb
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/tests/package/check-deb ${CMAKE_BINARY_DIR})
  set_tests_properties(package_deb PROPERTIES LABELS package TIMEOUT 240)
endif()
