# The warning set of every target. Each flag is here because it has caught real faults in code
# like ours; the build must stay free of warnings.
function(zarn_set_warnings target)
  target_compile_options(${target} INTERFACE
    -Wall                 # the common set
    -Wextra               # unused parameters, signed/unsigned comparisons, missing initialisers
    -Wpedantic            # no compiler extensions in portable code
    -Wshadow              # a local hiding a member is a bug waiting to happen
    -Wnon-virtual-dtor    # platform interfaces are deleted through base pointers
    -Wcast-qual           # casting away const on buffers from the network
    -Wformat=2            # printf-style formats of log lines and messages
    -Wimplicit-fallthrough
  )
endfunction()
