# Cross build for 64-bit Windows with MinGW-w64 (posix thread model); tests run through Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(HV_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${HV_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${HV_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${HV_TRIPLET}-windres)
set(CMAKE_AR           ${HV_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB       ${HV_TRIPLET}-ranlib CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${HV_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No MinGW runtime DLLs beside the programs. (-municode, for the wide entry points, is set on the
# suite's own targets in Layers.cmake: the compiler checks build programs with a plain main.)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(HV_WINE wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${HV_WINE})
