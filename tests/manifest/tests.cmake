# Windows executables and libraries with version resources, made by the mingw-w64 tools on the
# build host (also for the Windows build, whose tests read them under Wine). Resource-only
# libraries are linked by ld without code; PE32+ ones come from the x86-64 binutils.
find_program(ZARN_WINDRES i686-w64-mingw32-windres REQUIRED)
find_program(ZARN_MINGW_GCC i686-w64-mingw32-gcc REQUIRED)
find_program(ZARN_MINGW_LD i686-w64-mingw32-ld REQUIRED)
find_program(ZARN_WINDRES64 x86_64-w64-mingw32-windres REQUIRED)
find_program(ZARN_MINGW_LD64 x86_64-w64-mingw32-ld REQUIRED)

set(fixture_src ${CMAKE_CURRENT_SOURCE_DIR}/manifest/fixtures)
set(fixture_dir ${CMAKE_CURRENT_BINARY_DIR}/manifest-fixtures)
file(MAKE_DIRECTORY ${fixture_dir})
set(fixture_files)

# zarn_pe_fixture(OUTPUT RC KIND): KIND is exe32 (a program with code), dll32 or dll64.
function(zarn_pe_fixture output rc kind)
  get_filename_component(stem ${output} NAME_WE)
  set(res ${fixture_dir}/${stem}.res)
  set(obj ${fixture_dir}/${stem}.o)
  if(kind STREQUAL "dll64")
    set(to_object ${ZARN_WINDRES64} -i ${res} -O coff -o ${obj})
    set(link ${ZARN_MINGW_LD64} -shared --entry=0 -o ${fixture_dir}/${output} ${obj})
  elseif(kind STREQUAL "dll32")
    set(to_object ${ZARN_WINDRES} -i ${res} -O coff -o ${obj})
    set(link ${ZARN_MINGW_LD} -shared --entry=0 -o ${fixture_dir}/${output} ${obj})
  else()
    set(to_object ${ZARN_WINDRES} -i ${res} -O coff -o ${obj})
    set(link ${ZARN_MINGW_GCC} -o ${fixture_dir}/${output} ${fixture_src}/main.c ${obj})
  endif()
  add_custom_command(
    OUTPUT ${fixture_dir}/${output}
    COMMAND ${ZARN_WINDRES} -i ${rc} -O res -o ${res}
    COMMAND ${to_object}
    COMMAND ${link}
    DEPENDS ${rc} ${fixture_src}/main.c
    COMMENT "Version fixture ${output}"
    VERBATIM)
  set(fixture_files ${fixture_files} ${fixture_dir}/${output} PARENT_SCOPE)
endfunction()

# zarn_file_version_fixture(OUTPUT VERSION TABLE TRANSLATION)
function(zarn_file_version_fixture output version table translation)
  set(FIXTURE_VERSION ${version})
  set(FIXTURE_TABLE ${table})
  set(FIXTURE_TRANSLATION ${translation})
  get_filename_component(stem ${output} NAME_WE)
  configure_file(${fixture_src}/file_version.rc.in ${fixture_dir}/${stem}.rc @ONLY)
  zarn_pe_fixture(${output} ${fixture_dir}/${stem}.rc dll32)
  set(fixture_files ${fixture_files} PARENT_SCOPE)
endfunction()

zarn_pe_fixture(strings.exe ${fixture_src}/strings.rc exe32)
zarn_pe_fixture(strings64.dll ${fixture_src}/strings.rc dll64)
zarn_pe_fixture(two_languages.dll ${fixture_src}/two_languages.rc dll32)
zarn_pe_fixture(no_translation.dll ${fixture_src}/no_translation.rc dll32)
zarn_file_version_fixture(v41.dll "4.1" 040904B0 "0x409, 1200")
zarn_file_version_fixture(v41dot.dll "4.1." 040904B0 "0x409, 1200")
zarn_file_version_fixture(v100.dll "1.2.3.100" 040904B0 "0x409, 1200")
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

# The POSIX version-resource reader is plain C++; the Windows test program compiles it in too, so
# that its robustness tests also run there.
if(WIN32)
  target_sources(test_manifest PRIVATE
    ${CMAKE_SOURCE_DIR}/platform/posix/pe_version_resource.cpp
    ${CMAKE_SOURCE_DIR}/platform/posix/ansi_text.cpp)
endif()
