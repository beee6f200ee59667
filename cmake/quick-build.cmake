# The test programs, the simulator and GoogleTest are compiled for speed of building: -Og (the
# quickest to compile here, quicker than -O0, and it keeps the warnings that need optimisation,
# such as maybe-uninitialized) and no debug information, with the heavy common headers
# precompiled once per group of targets. The shipped DLL (whose layer libraries the tests link)
# and the benchmarks keep the release flags (-O2 -g).
#
# Included by the folders whose targets are built this way (tests/, sim/): the options apply
# to every target made in that folder and below it.
add_compile_options($<$<COMPILE_LANGUAGE:CXX>:-Og> $<$<COMPILE_LANGUAGE:CXX>:-g0>)

# Gives `target` the precompiled header `header` (a path from the source root), for its C++
# sources; other targets take it with target_precompile_headers(<target> REUSE_FROM ...). The
# targets sharing one must be compiled with the same options and definitions, or GCC would
# ignore it (and only be slower).
function(vantrell_precompiled_headers target header)
    target_precompile_headers(${target} PRIVATE
        "$<$<COMPILE_LANGUAGE:CXX>:${CMAKE_SOURCE_DIR}/${header}>")
endfunction()
