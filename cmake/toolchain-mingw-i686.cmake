# The shipped product: the 32-bit DLL, built and linked only (no 32-bit Wine here).
#   cmake -S . -B build/windows-i686 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake
set(LPT_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)

# The .def file names the exports undecorated; ld then resolves each to its
# stdcall-decorated symbol (_DllGetClassObject@12) and would warn about it.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${CMAKE_SHARED_LINKER_FLAGS_INIT} -Wl,--enable-stdcall-fixup")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${CMAKE_MODULE_LINKER_FLAGS_INIT} -Wl,--enable-stdcall-fixup")
