# Cross-compiles for 64-bit Windows with MinGW-w64 and runs what it builds under wine (Debian:
# apt-get install g++-mingw-w64-x86-64-posix wine64). For the zone engine's tests:
#   .ci/wine-setup
#   cmake -S . -B build-mingw -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
#   cmake --build build-mingw -j2 --target tagpress_zone_tests
#   TZDIR=/usr/share/zoneinfo ctest --test-dir build-mingw -R 'Tz|Zone'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The posix thread model, whose C++ library has std::thread and std::mutex.
set(TAGPRESS_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TAGPRESS_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TAGPRESS_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TAGPRESS_MINGW}-windres)

# Linked statically, so that the programs run without the MinGW run-time DLLs beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Headers, libraries and packages come from the MinGW tree only (the host's GoogleTest must not
# be found: the build then compiles GoogleTest from source); programs are the host's.
set(CMAKE_FIND_ROOT_PATH /usr/${TAGPRESS_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under wine's 64-bit loader (Debian keeps it out of PATH), quietly.
find_program(TAGPRESS_WINE NAMES wine64 wine PATHS /usr/lib/wine)
if(TAGPRESS_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR env WINEDEBUG=-all ${TAGPRESS_WINE})
endif()
