# zstd, the library behind the file patches, as the target zarn_zstd.
#
# POSIX: the system's library (Debian's libzstd-dev), through pkg-config.
# Windows: Debian builds no mingw zstd, so scripts/install-deps fetches Debian's own source package
# into build/deps/zstd and its lib/ is compiled here for the Windows target as a static library:
# the common, compression and decompression parts only (no legacy formats, no threads, no
# assembly). The repository holds none of it.
if(WIN32)
  set(ZARN_ZSTD_SOURCE "${CMAKE_SOURCE_DIR}/build/deps/zstd" CACHE PATH
      "zstd source tree for the Windows build (fetched by scripts/install-deps)")
  if(NOT EXISTS "${ZARN_ZSTD_SOURCE}/lib/zstd.h")
    message(FATAL_ERROR "zstd source not found in ${ZARN_ZSTD_SOURCE}: run scripts/install-deps")
  endif()
  file(GLOB zstd_sources
    ${ZARN_ZSTD_SOURCE}/lib/common/*.c
    ${ZARN_ZSTD_SOURCE}/lib/compress/*.c
    ${ZARN_ZSTD_SOURCE}/lib/decompress/*.c)
  add_library(zarn_zstd STATIC ${zstd_sources})
  target_include_directories(zarn_zstd SYSTEM PUBLIC ${ZARN_ZSTD_SOURCE}/lib)
  target_compile_definitions(zarn_zstd PRIVATE ZSTD_LEGACY_SUPPORT=0 ZSTD_DISABLE_ASM=1
                                               XXH_NAMESPACE=ZSTD_)
  # Someone else's code: built as its authors build it, without the project's warning set.
  set_target_properties(zarn_zstd PROPERTIES COMPILE_WARNING_AS_ERROR OFF C_STANDARD 99)
  target_compile_options(zarn_zstd PRIVATE -O2 -w)
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(ZSTD REQUIRED IMPORTED_TARGET libzstd)
  add_library(zarn_zstd INTERFACE)
  target_link_libraries(zarn_zstd INTERFACE PkgConfig::ZSTD)
endif()
