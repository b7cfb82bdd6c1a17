# Cross build of the Windows x86 executable with MinGW-w64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# x86 functions of the installer's calling convention are decorated
# (ConfigDSN@16); Windows' DLLs export them plain, and plain names are what
# GetProcAddress and the installer look up; a .def file's plain name is
# meant to match the decorated one.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-Wl,--kill-at -Wl,--enable-stdcall-fixup")
