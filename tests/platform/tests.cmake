# What only Windows shows of the platform layer: its test sources, the program's resources and
# manifest (so that the test program answers version queries and draws its window as the program
# does) and a small child program
# for the process tests, built beside the test program.
if(WIN32)
  file(GLOB win32_platform_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/win32/*.cpp)
  target_sources(test_platform PRIVATE ${win32_platform_tests})
  target_link_libraries(test_platform PRIVATE zarn_resources zarn_manifest)

  add_executable(platform_child ${CMAKE_CURRENT_LIST_DIR}/win32/child/platform_child.cpp)
  target_link_libraries(platform_child PRIVATE zarn_platform)
  set_target_properties(platform_child PROPERTIES WIN32_EXECUTABLE ON)
  add_dependencies(test_platform platform_child)
endif()

# A patch made by zstd's own tool on the build host, which both back ends' patch code must apply.
set(patch_fixture_dir ${CMAKE_BINARY_DIR}/patch-fixtures)
add_custom_command(
  OUTPUT ${patch_fixture_dir}/new.bin.zst
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/make_patch_fixtures.sh ${patch_fixture_dir}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/make_patch_fixtures.sh
  COMMENT "Making a patch with zstd's tool")
add_custom_target(patch_fixtures ALL DEPENDS ${patch_fixture_dir}/new.bin.zst)
add_dependencies(test_platform patch_fixtures)
