# The program's type library, compiled from res/zarn4update.idl with mingw-w64's widl for the
# target's processor: zarn4update.tlb (put into the program as TYPELIB resource 1) and the C++
# declarations of its interface, zarn4update_idl.h, both in the generated folder.
# The tool prefix comes from the compiler's name (i686-w64-mingw32-gcc-posix gives
# i686-w64-mingw32-widl), so every mingw-w64 toolchain gets its own widl.
get_filename_component(zarn_cc_name ${CMAKE_C_COMPILER} NAME)
string(REGEX MATCH "^[A-Za-z0-9_]+-w64-mingw32" zarn_mingw_prefix ${zarn_cc_name})
if(NOT zarn_mingw_prefix)
  message(FATAL_ERROR "Cannot tell the mingw-w64 tool prefix from ${CMAKE_C_COMPILER}")
endif()
find_program(ZARN_WIDL ${zarn_mingw_prefix}-widl REQUIRED)
# widl imports IDispatch's declarations from Wine's IDL files and stdole2.tlb from Wine's library.
find_path(ZARN_WINE_IDL_DIR oaidl.idl PATHS /usr/include/wine/wine/windows NO_CMAKE_FIND_ROOT_PATH
          REQUIRED)
find_path(ZARN_STDOLE_DIR stdole2.tlb
          PATHS /usr/lib/i386-linux-gnu/wine/i386-windows /usr/lib/x86_64-linux-gnu/wine/x86_64-windows
          NO_CMAKE_FIND_ROOT_PATH REQUIRED)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(zarn_widl_bits -m64)
else()
  set(zarn_widl_bits -m32)
endif()

set(ZARN_TYPELIB_FILE ${CMAKE_BINARY_DIR}/generated/zarn4update.tlb)
set(ZARN_TYPELIB_HEADER ${CMAKE_BINARY_DIR}/generated/zarn4update_idl.h)
add_custom_command(
  OUTPUT ${ZARN_TYPELIB_FILE} ${ZARN_TYPELIB_HEADER}
  COMMAND ${ZARN_WIDL} ${zarn_widl_bits} -I ${ZARN_WINE_IDL_DIR} -L ${ZARN_STDOLE_DIR}
          -t -T ${ZARN_TYPELIB_FILE} -h -H ${ZARN_TYPELIB_HEADER}
          ${CMAKE_SOURCE_DIR}/res/zarn4update.idl
  DEPENDS ${CMAKE_SOURCE_DIR}/res/zarn4update.idl
  COMMENT "Compiling the type library")
add_custom_target(zarn_type_library DEPENDS ${ZARN_TYPELIB_FILE} ${ZARN_TYPELIB_HEADER})
