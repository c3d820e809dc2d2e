# Cross build for 64-bit Windows with Debian's MinGW-w64:
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# The -posix compilers: the default ones have no std::thread in GCC 12.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Windows 8 and later: the calls the platform code makes (SetFileInformationByHandle, ...).
add_compile_definitions(_WIN32_WINNT=0x0602 WINVER=0x0602 UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX)
# Run under Wine from the Linux side; scripts/run-windows-tests gives it a prefix of its own.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
