# Shared by the toolchain files: cross-compiles for Windows with mingw-w64.
# The including file sets MINGW_TRIPLET. MINGW_THREADS chooses the compiler's thread model:
# posix (the default: GoogleTest needs std::mutex) or win32 (the shipped add-in: its runtime
# imports nothing newer than Windows XP).
set(CMAKE_SYSTEM_NAME Windows)
if(NOT MINGW_THREADS)
    set(MINGW_THREADS posix)
endif()
# try_compile re-reads this file in a project of its own: hand it the same choice.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MINGW_THREADS)

set(CMAKE_C_COMPILER ${MINGW_TRIPLET}-gcc-${MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-${MINGW_THREADS})
set(CMAKE_RC_COMPILER ${MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The compiler cache, where the machine has it (scripts/bootstrap.sh installs it): a rebuild, or a
# fresh clone's first build on a machine that built before, takes the unchanged results from it.
find_program(CCACHE_PROGRAM ccache)
if(CCACHE_PROGRAM)
    set(CMAKE_C_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
    set(CMAKE_CXX_COMPILER_LAUNCHER ${CCACHE_PROGRAM})
endif()
