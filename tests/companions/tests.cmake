# A stand-in for the suite's programs under Windows: a window of the companion's class that closes
# a while after WM_CLOSE. The tests copy it into place as zarn4.exe and zarn4net.exe.
if(WIN32)
  add_executable(fake_companion WIN32 ${CMAKE_CURRENT_LIST_DIR}/fake_companion_program.c)
  add_dependencies(test_companions fake_companion)
endif()
