# Whole passes against the scripted server: the FTP dialogue pieces of the network tests and the
# companion programs' test lock come along.
target_sources(test_run PRIVATE ${CMAKE_SOURCE_DIR}/tests/net/ftp_session_harness.cpp
                                ${CMAKE_SOURCE_DIR}/tests/companions/fake_companion.cpp)
# A pass ends the application's message loop for good, so every test needs a process of its own.
# Natively each test is its own ctest test already; under Wine the program is split into shards
# of one test each (more shards than tests: the spare ones run nothing).
if(WIN32)
  set(run_shards 80)  # at least the number of tests in the program (two in one shard fail)
  set_tests_properties(run PROPERTIES ENVIRONMENT "GTEST_TOTAL_SHARDS=${run_shards};GTEST_SHARD_INDEX=0")
  math(EXPR last_shard "${run_shards} - 1")
  foreach(shard RANGE 1 ${last_shard})
    add_test(NAME run.shard_${shard} COMMAND test_run)
    set_tests_properties(run.shard_${shard} PROPERTIES
      ENVIRONMENT "GTEST_TOTAL_SHARDS=${run_shards};GTEST_SHARD_INDEX=${shard}")
  endforeach()
endif()
# The full-disk rows serve a cabinet that the cabinet tests' fixtures hold.
add_dependencies(test_run cab_fixtures)
