# The POSIX-only tests drive the built tools as real processes.
add_dependencies(test_posix zreg)
