# One update pass against real FTP servers on 127.0.0.1, each started with generated settings by
# ftp_interop.py around the FtpInterop test of test_net. The Windows program runs under Wine
# against the Linux-side pyftpdlib, through wsock32.dll. The script needs Debian's python3, which
# has pyftpdlib; exit code 77 marks a server that cannot run here (vsftpd without root).
find_program(ZARN_SYSTEM_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH REQUIRED)
set(interop_script ${dir}/ftp_interop.py)
if(WIN32)
  add_test(NAME net.interop.pyftpdlib
    COMMAND ${ZARN_SYSTEM_PYTHON} ${interop_script} pyftpdlib
            ${CMAKE_SOURCE_DIR}/scripts/wine-run $<TARGET_FILE:test_net> --gtest_filter=FtpInterop.*)
  set_tests_properties(net.interop.pyftpdlib PROPERTIES SKIP_RETURN_CODE 77)
else()
  foreach(server pyftpdlib vsftpd)
    add_test(NAME net.interop.${server}
      COMMAND ${ZARN_SYSTEM_PYTHON} ${interop_script} ${server}
              $<TARGET_FILE:test_net> --gtest_filter=FtpInterop.*)
    set_tests_properties(net.interop.${server} PROPERTIES SKIP_RETURN_CODE 77)
  endforeach()
endif()

# The address parser of the zftp tool.
target_link_libraries(test_net PRIVATE zftp_core)
