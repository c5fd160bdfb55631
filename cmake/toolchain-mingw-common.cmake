# Shared part of the mingw-w64 toolchains; the per-target files set LPT_MINGW_ARCH
# (i686 or x86_64) and include this one.
#
# The posix thread-model compilers are used: GoogleTest needs std::mutex, which the
# win32 thread-model libstdc++ of this distribution lacks. Everything is linked
# statically (C and C++ runtimes, winpthread), so the DLL and the test programs
# import nothing but system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${LPT_MINGW_ARCH})

set(LPT_MINGW_TRIPLE ${LPT_MINGW_ARCH}-w64-mingw32)
set(CMAKE_C_COMPILER ${LPT_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${LPT_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${LPT_MINGW_TRIPLE}-windres)
set(LPT_WIDL ${LPT_MINGW_TRIPLE}-widl)

set(CMAKE_FIND_ROOT_PATH /usr/${LPT_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# mingw's own printf family: the same text as the native build for the same format.
set(CMAKE_C_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1")
set(CMAKE_CXX_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
