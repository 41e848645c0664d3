# The POSIX-only tests drive the built tools as real processes.
add_dependencies(test_posix zreg)
# The publisher's tool's rules are tested through its library.
target_link_libraries(test_posix PRIVATE zrelease_core)
