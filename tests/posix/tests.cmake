# The POSIX-only tests drive the built tools as real processes; the extraction tests among them
# make their cabinets with the cabinet tests' writer.
add_dependencies(test_posix zreg)
target_sources(test_posix PRIVATE ${CMAKE_SOURCE_DIR}/tests/cab/cab_writer.cpp
                                  ${CMAKE_SOURCE_DIR}/tests/cab/cab_files.cpp)
# The publisher's tool's rules are tested through its library.
target_link_libraries(test_posix PRIVATE zrelease_core)
