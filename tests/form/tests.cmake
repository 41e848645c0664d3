# The window tests run the message loop to its end, so they have a program of their own.
target_compile_definitions(test_form PRIVATE ZARN_TEST_VERSION="${PROJECT_VERSION}")
if(WIN32)
  # The window reads its own version resource, so the test program carries the program's.
  target_link_libraries(test_form PRIVATE zarn_resources)
endif()
# The installation tests make cabinets with the cabinet tests' writer and install a versioned
# fixture library.
target_sources(test_form PRIVATE ${CMAKE_SOURCE_DIR}/tests/cab/cab_writer.cpp)
add_dependencies(test_form manifest_fixtures)
if(WIN32)
  # Cabinets store local times; pin the zone so that nothing converts them differently.
  set_tests_properties(form PROPERTIES ENVIRONMENT "TZ=UTC")
endif()
