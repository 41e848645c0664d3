# The version fixtures, made on the build host (also for the Windows build, whose tests read them
# under Wine).
set(fixture_src ${CMAKE_CURRENT_SOURCE_DIR}/manifest/fixtures)
set(fixture_dir ${CMAKE_CURRENT_BINARY_DIR}/manifest-fixtures)
file(MAKE_DIRECTORY ${fixture_dir})
set(fixture_files)
include(${fixture_src}/version_fixtures.cmake)

zarn_pe_fixture(strings.exe ${fixture_src}/strings.rc exe32)
zarn_pe_fixture(strings64.dll ${fixture_src}/strings.rc dll64)
zarn_pe_fixture(two_languages.dll ${fixture_src}/two_languages.rc dll32)
zarn_pe_fixture(no_translation.dll ${fixture_src}/no_translation.rc dll32)
zarn_pe_fixture(resource_languages.dll ${fixture_src}/resource_languages.rc dll32)
zarn_pe_fixture(neutral_language.dll ${fixture_src}/neutral_language.rc dll32)
zarn_pe_fixture(binary_strings.dll ${fixture_src}/binary_strings.rc dll32)
zarn_file_version_fixture(v41.dll "4.1" 040904B0 "0x409, 1200")
zarn_file_version_fixture(v41dot.dll "4.1." 040904B0 "0x409, 1200")
zarn_file_version_fixture(v100.dll "1.2.3.100" 040904B0 "0x409, 1200")
# A version the comparison ranks above the newer 1.2.4.0 (its last field carries).
zarn_file_version_fixture(v123150.dll "1.2.3.150" 040904B0 "0x409, 1200")
zarn_file_version_fixture(v124.dll "1.2.4.0" 040904B0 "0x409, 1200")
zarn_file_version_fixture(commas.dll "4,1,0,5" 040904B0 "0x409, 1200")
zarn_file_version_fixture(japanese.dll "2.0.0.0" 041103A4 "0x411, 932")
add_custom_command(
  OUTPUT ${fixture_dir}/plain.exe
  COMMAND ${ZARN_MINGW_GCC} -o ${fixture_dir}/plain.exe ${fixture_src}/main.c
  DEPENDS ${fixture_src}/main.c
  COMMENT "Version fixture plain.exe (no version resource)"
  VERBATIM)
list(APPEND fixture_files ${fixture_dir}/plain.exe)

add_custom_target(manifest_fixtures DEPENDS ${fixture_files})
add_dependencies(test_manifest manifest_fixtures)
target_compile_definitions(test_manifest PRIVATE ZARN_VERSION_FIXTURES="${fixture_dir}")

# The POSIX readers of INI files and version resources are plain C++; the Windows test program
# compiles them in too, so that under Wine they are compared with the platform's own readers.
if(WIN32)
  target_sources(test_manifest PRIVATE
    ${CMAKE_SOURCE_DIR}/platform/posix/ini_document.cpp
    ${CMAKE_SOURCE_DIR}/platform/posix/pe_version_resource.cpp
    ${CMAKE_SOURCE_DIR}/platform/posix/ansi_text.cpp)
endif()

# The driver of bench/manifest.sh: the POSIX reader at work on one file.
if(NOT WIN32)
  add_executable(profile_lookup ${CMAKE_SOURCE_DIR}/bench/profile_lookup.cpp)
  target_link_libraries(profile_lookup PRIVATE zarn_platform)
endif()
