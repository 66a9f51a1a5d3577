# Cross-build for Windows with Debian's MinGW-w64 (posix thread model, which
# GoogleTest needs for std::mutex). KORV_MINGW_TARGET picks the architecture:
# i686 (the program users get) or x86_64 (the same sources, for machines
# whose Wine runs no 32-bit code).
if(NOT KORV_MINGW_TARGET)
  set(KORV_MINGW_TARGET i686)
endif()
set(triplet ${KORV_MINGW_TARGET}-w64-mingw32)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${KORV_MINGW_TARGET})
set(CMAKE_C_COMPILER ${triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${triplet}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Packages too (GoogleTest's, say) come from the target's root, never the host's.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
