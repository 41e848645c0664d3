# The cabinets of the extraction tests are made by gcab on the build host, for the native and the
# Windows build alike (the Windows test program runs under Wine and cannot start gcab).
set(cab_fixture_dir ${CMAKE_BINARY_DIR}/cab-fixtures)
add_custom_command(
  OUTPUT ${cab_fixture_dir}/one.cab
  COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/cab/make_fixtures.sh ${cab_fixture_dir}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/cab/make_fixtures.sh
  COMMENT "Making the test cabinets with gcab")
add_custom_target(cab_fixtures ALL DEPENDS ${cab_fixture_dir}/one.cab)
add_dependencies(test_cab cab_fixtures)
if(WIN32)
  # Cabinets store local times; pin the zone so that nothing converts them differently.
  set_tests_properties(cab PROPERTIES ENVIRONMENT "TZ=UTC")
endif()
