# Cross-builds the Windows programs from Linux with Debian's mingw-w64 (posix threads, so
# std::thread works) and links its runtimes statically: the .exe files need no DLLs beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TRESSIMO_MINGW x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${TRESSIMO_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TRESSIMO_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${TRESSIMO_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TRESSIMO_MINGW} ${CMAKE_CURRENT_LIST_DIR}/../build-windows-deps/prefix)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run through wine (a persistent wineserver, see scripts/wine-run).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
