# Cross-compiles for 64-bit Windows with mingw-w64 on Debian and runs what the build executes
# (tests, test discovery) under Wine.
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The posix thread model: GCC 12's win32 model has no std::mutex or std::thread.
set(OV_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${OV_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${OV_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${OV_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${OV_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The runtime (libgcc, libstdc++, winpthread) is linked in, so a program runs without DLLs beside
# it, under Wine as on a clean Windows machine.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Debian's wine64 package installs its loader outside the PATH; the wine package adds a wrapper.
find_program(OV_WINE NAMES wine64 wine PATHS /usr/lib/wine /usr/bin NO_DEFAULT_PATH)
if(NOT OV_WINE)
  find_program(OV_WINE NAMES wine64 wine)
endif()
if(OV_WINE)
  # Through a wrapper that tries again when Wine fails to start the program (see cmake/wine-run).
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run ${OV_WINE})
endif()
