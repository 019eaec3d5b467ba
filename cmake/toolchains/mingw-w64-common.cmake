# Shared part of the mingw-w64 toolchains; the including file sets
# ZEPHRAN_MINGW_TRIPLET and CMAKE_SYSTEM_PROCESSOR first.
set(CMAKE_SYSTEM_NAME Windows)

# The "-posix" compilers: with the "-win32" thread model, GCC 12's libstdc++
# has no std::thread or std::mutex, which GoogleTest and the tests use.
set(CMAKE_C_COMPILER ${ZEPHRAN_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZEPHRAN_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ZEPHRAN_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZEPHRAN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything linked in, so that a program runs on a bare Windows (or Wine)
# without the compiler's libgcc, libstdc++ and winpthread DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
