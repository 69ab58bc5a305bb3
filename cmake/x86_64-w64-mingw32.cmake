# Cross build for 64-bit Windows with Debian's mingw-w64 (posix threads), against the SDL 2,
# FreeType and GoogleTest that tools/windows-deps.sh builds from Debian's sources into
# build/windows-deps. KV_WINDOWS_DEPS names another folder. Test programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

if(NOT KV_WINDOWS_DEPS)
    set(KV_WINDOWS_DEPS ${CMAKE_CURRENT_LIST_DIR}/../build/windows-deps)
endif()
get_filename_component(KV_WINDOWS_DEPS ${KV_WINDOWS_DEPS} ABSOLUTE)
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KV_WINDOWS_DEPS)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${KV_WINDOWS_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# pkg-config sees the cross-built packages alone, never the host's.
set(ENV{PKG_CONFIG_LIBDIR} ${KV_WINDOWS_DEPS}/lib/pkgconfig)
unset(ENV{PKG_CONFIG_PATH})
unset(ENV{PKG_CONFIG_SYSROOT_DIR})

# The C and C++ runtimes go into each program, so that it needs no DLL of the compiler's.
# The posix threads library too, which the C++ runtime would otherwise load as a DLL.
set(CMAKE_EXE_LINKER_FLAGS_INIT
    "-static-libgcc -static-libstdc++ -Wl,-Bstatic,--whole-archive -lwinpthread -Wl,--no-whole-archive,-Bdynamic")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")

find_program(KV_WINE wine)
if(KV_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KV_WINE})
endif()
