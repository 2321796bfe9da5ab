# Shared part of the MinGW-w64 cross toolchains; the including file sets LODEX_MINGW_TRIPLET.
#
# Debian ships each MinGW-w64 compiler in two thread models. The "-posix" one (winpthreads)
# is the one whose libstdc++ has std::thread and std::mutex, which the engine's tests use.
# Everything the compiler brings (libgcc, libstdc++, winpthreads) is linked statically, so
# Lodex32.dll and the test programs need only the system's own DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${LODEX_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LODEX_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${LODEX_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${LODEX_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# GCC 12 misreads std::string's inlined copies at -O2 and above as overlapping (GCC bug
# 105329); the warning is noise on every test file.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")

# ctest runs the cross-built programs under Wine.
find_program(LODEX_WINE wine)
if(LODEX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${LODEX_WINE})
endif()
