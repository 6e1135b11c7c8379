# Cross-build for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-mingw -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# libgcc and libstdc++ are linked in statically so the DLL and the programs need no DLLs of the
# compiler next to them (under Wine or on a Windows machine).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(SCENEAPI_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${SCENEAPI_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SCENEAPI_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${SCENEAPI_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${SCENEAPI_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")

# Programs built here run under Wine when tests are run on Linux.
find_program(SCENEAPI_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(SCENEAPI_WINE64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${SCENEAPI_WINE64})
endif()
