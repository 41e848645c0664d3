# Seeds: real executables and libraries with version resources, made by windres and the mingw
# linkers into the corpus folder.
set(fixture_src ${CMAKE_SOURCE_DIR}/tests/manifest/fixtures)
set(fixture_dir ${corpus})
set(fixture_files)
include(${fixture_src}/version_fixtures.cmake)
zarn_pe_fixture(strings.exe ${fixture_src}/strings.rc exe32)
zarn_pe_fixture(strings64.dll ${fixture_src}/strings.rc dll64)
zarn_pe_fixture(two_languages.dll ${fixture_src}/two_languages.rc dll32)
add_custom_target(pe_version_fuzz_seeds ALL DEPENDS ${fixture_files})
