# Cross build of the Windows x64 plug-in and command-line host with Debian's mingw-w64.
# The posix-threads variant is the one whose standard library has std::thread and std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(SEAVAST_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${SEAVAST_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SEAVAST_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${SEAVAST_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${SEAVAST_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Keep pkg-config from offering the build machine's libraries (FFTW among them).
set(ENV{PKG_CONFIG_LIBDIR} /usr/${SEAVAST_MINGW_PREFIX}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")

# libgcc, libstdc++ and winpthreads linked in, so the DLL and the program need no files beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
