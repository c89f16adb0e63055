# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DBRINDLE_TESTS=OFF -DBRINDLE_BENCH=OFF
# gives build-win/brindle.dll and build-win/Tormel.exe, which run under Wine. The DLL also works
# in the real host, which is built with MSVC: GCC builds for Windows declare the plug-in base so
# that its virtual table is the one the host calls (src/host/plugin_interface.h).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(BRINDLE_MINGW_PREFIX x86_64-w64-mingw32)

# The "-posix" compilers use the POSIX thread model (winpthreads); plain names are whatever
# the alternatives system points at.
find_program(BRINDLE_MINGW_CXX NAMES ${BRINDLE_MINGW_PREFIX}-g++-posix ${BRINDLE_MINGW_PREFIX}-g++ REQUIRED)
find_program(BRINDLE_MINGW_CC NAMES ${BRINDLE_MINGW_PREFIX}-gcc-posix ${BRINDLE_MINGW_PREFIX}-gcc REQUIRED)
find_program(BRINDLE_MINGW_RC NAMES ${BRINDLE_MINGW_PREFIX}-windres)
set(CMAKE_CXX_COMPILER ${BRINDLE_MINGW_CXX})
set(CMAKE_C_COMPILER ${BRINDLE_MINGW_CC})
if(BRINDLE_MINGW_RC)
  set(CMAKE_RC_COMPILER ${BRINDLE_MINGW_RC})
endif()

# Headers and libraries come from the MinGW tree only; programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${BRINDLE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C++ runtime, libgcc and winpthreads are linked in, so the DLL and the program need
# nothing beyond what every Windows (and Wine) has: KERNEL32.dll and msvcrt.dll.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

